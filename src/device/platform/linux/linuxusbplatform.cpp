#include "device/platform/linux/linuxusbplatform.h"

#include "device/devicelog.h"
#include "device/platform/linux/hidapihandle.h"
#include "device/platform/linux/libusbhandle.h"
#include "device/platform/linux/udevinterfacereader.h"

#include <hidapi/hidapi.h>
#include <libudev.h>
#include <libusb.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace
{

bool isHidraw(udev_device* device)
{
    const char* subsystem = udev_device_get_subsystem(device);
    return subsystem && std::strcmp(subsystem, "hidraw") == 0;
}

bool isUsbInterface(udev_device* device)
{
    const char* subsystem = udev_device_get_subsystem(device);
    const char* type = udev_device_get_devtype(device);
    return subsystem && type && std::strcmp(subsystem, "usb") == 0 && std::strcmp(type, "usb_interface") == 0;
}

} // namespace

CVNLinuxUsbPlatform::CVNLinuxUsbPlatform()
{
    if (hid_init() != 0)
        qCWarning(lcDevice) << "hidapi could not be initialised";
    if (libusb_init(&m_usb) != 0) {
        qCWarning(lcDevice) << "libusb could not be initialised";
        m_usb = nullptr;
    }
}

CVNLinuxUsbPlatform::~CVNLinuxUsbPlatform()
{
    stopMonitoring();
    if (m_usb)
        libusb_exit(m_usb);
}

bool CVNLinuxUsbPlatform::readInterface(udev_device* device, CVNUsbInterfaceInfo& info)
{
    if (isHidraw(device))
        return CVNUdevInterfaceReader::readHidraw(device, info);
    if (isUsbInterface(device))
        return CVNUdevInterfaceReader::readUsbInterface(device, info);
    return false;
}

void CVNLinuxUsbPlatform::remember(udev_device* device, const QString& path)
{
    std::lock_guard<std::mutex> lock(m_knownMutex);
    m_known.insert(QString::fromUtf8(udev_device_get_syspath(device)), path);
}

QVector<CVNUsbInterfaceInfo> CVNLinuxUsbPlatform::enumerate()
{
    QVector<CVNUsbInterfaceInfo> interfaces;
    udev* context = udev_new();
    if (!context)
        return interfaces;
    // Vendor interfaces first, then HID: a controller whose bulk interface is
    // known keeps it, and its HID interface is then passed over at once.
    for (const char* subsystem : { "usb", "hidraw" }) {
        udev_enumerate* enumerate = udev_enumerate_new(context);
        udev_enumerate_add_match_subsystem(enumerate, subsystem);
        udev_enumerate_scan_devices(enumerate);
        udev_list_entry* entry = nullptr;
        udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate))
        {
            udev_device* device = udev_device_new_from_syspath(context, udev_list_entry_get_name(entry));
            CVNUsbInterfaceInfo info;
            if (device && readInterface(device, info)) {
                remember(device, info.path);
                interfaces.append(info);
            }
            if (device)
                udev_device_unref(device);
        }
        udev_enumerate_unref(enumerate);
    }
    udev_unref(context);
    return interfaces;
}

std::unique_ptr<CVNUsbHandle> CVNLinuxUsbPlatform::open(const QString& path)
{
    QString node;
    int interfaceNumber = -1;
    if (!CVNUdevInterfaceReader::splitPath(path, node, interfaceNumber))
        return nullptr;
    if (interfaceNumber < 0)
        return CVNHidapiHandle::open(node);
    return CVNLibusbHandle::open(m_usb, node, interfaceNumber);
}

bool CVNLinuxUsbPlatform::startMonitoring(ArrivalCallback arrival, RemovalCallback removal)
{
    stopMonitoring();
    m_monitorUdev = udev_new();
    udev_monitor* monitor = m_monitorUdev ? udev_monitor_new_from_netlink(m_monitorUdev, "udev") : nullptr;
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0
        || udev_monitor_filter_add_match_subsystem_devtype(monitor, "usb", "usb_interface") < 0
        || udev_monitor_enable_receiving(monitor) < 0) {
        if (monitor)
            udev_monitor_unref(monitor);
        if (m_monitorUdev)
            udev_unref(m_monitorUdev);
        m_monitorUdev = nullptr;
        return false;
    }
    m_wakeFd = eventfd(0, EFD_CLOEXEC);
    m_monitorThread = std::thread(
        &CVNLinuxUsbPlatform::monitorLoop, this, monitor, std::move(arrival), std::move(removal));
    return true;
}

void CVNLinuxUsbPlatform::stopMonitoring()
{
    if (m_monitorThread.joinable()) {
        const quint64 one = 1;
        if (::write(m_wakeFd, &one, sizeof(one)) < 0)
            qCWarning(lcDevice) << "could not wake the device monitor";
        m_monitorThread.join();
    }
    if (m_wakeFd >= 0)
        ::close(m_wakeFd);
    m_wakeFd = -1;
    if (m_monitorUdev)
        udev_unref(m_monitorUdev);
    m_monitorUdev = nullptr;
}

void CVNLinuxUsbPlatform::monitorLoop(udev_monitor* monitor, ArrivalCallback arrival, RemovalCallback removal)
{
    pollfd fds[2] = { { udev_monitor_get_fd(monitor), POLLIN, 0 }, { m_wakeFd, POLLIN, 0 } };
    for (;;) {
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[1].revents != 0)
            break;
        if (!(fds[0].revents & POLLIN))
            continue;
        udev_device* device = udev_monitor_receive_device(monitor);
        if (!device)
            continue;
        const char* action = udev_device_get_action(device);
        const QString sysPath = QString::fromUtf8(udev_device_get_syspath(device));
        CVNUsbInterfaceInfo info;
        if (action && std::strcmp(action, "add") == 0 && readInterface(device, info)) {
            remember(device, info.path);
            arrival(info);
        } else if (action && std::strcmp(action, "remove") == 0) {
            QString path;
            {
                std::lock_guard<std::mutex> lock(m_knownMutex);
                path = m_known.take(sysPath);
            }
            if (!path.isEmpty())
                removal(path);
        }
        udev_device_unref(device);
    }
    udev_monitor_unref(monitor);
}

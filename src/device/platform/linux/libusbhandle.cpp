#include "device/platform/linux/libusbhandle.h"

#include <QFile>

#include <fcntl.h>
#include <libusb.h>
#include <unistd.h>

std::unique_ptr<CVNLibusbHandle> CVNLibusbHandle::open(
    libusb_context* context, const QString& node, int interfaceNumber)
{
    if (!context || !node.startsWith(QLatin1String("/dev/bus/usb/")))
        return nullptr;
    // The node itself, not libusb's list of devices: that list follows
    // udevd on its own thread and may not hold a device that just arrived.
    const int fd = ::open(QFile::encodeName(node).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    libusb_device_handle* handle = nullptr;
    if (libusb_wrap_sys_device(context, static_cast<intptr_t>(fd), &handle) != 0 || !handle) {
        ::close(fd);
        return nullptr;
    }
    libusb_set_auto_detach_kernel_driver(handle, 1);
    if (libusb_claim_interface(handle, interfaceNumber) != 0) {
        libusb_close(handle);
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<CVNLibusbHandle>(new CVNLibusbHandle(handle, fd, interfaceNumber));
}

CVNLibusbHandle::CVNLibusbHandle(libusb_device_handle* handle, int fd, int interfaceNumber)
    : m_handle(handle)
    , m_fd(fd)
    , m_interface(interfaceNumber)
    , m_gate([this] {
        libusb_release_interface(m_handle, m_interface);
        libusb_close(m_handle);
        ::close(m_fd);
        m_handle = nullptr;
    })
{
}

CVNLibusbHandle::~CVNLibusbHandle()
{
    close();
}

// A stalled pipe stays stalled until the host clears it: the transfer has
// failed, the next attempt gets a clear pipe.
void CVNLibusbHandle::clearStall(int transferResult, quint8 endpoint)
{
    if (transferResult == LIBUSB_ERROR_PIPE)
        (void)libusb_clear_halt(m_handle, endpoint);
}

qint64 CVNLibusbHandle::bulkWrite(quint8 endpoint, const QByteArray& data, int timeoutMs)
{
    int transferred = 0;
    QByteArray copy = data;
    const bool written = m_gate.run([&] {
        const int rc = libusb_bulk_transfer(m_handle, endpoint & 0x7F, reinterpret_cast<unsigned char*>(copy.data()),
            copy.size(), &transferred, static_cast<unsigned int>(timeoutMs));
        clearStall(rc, endpoint & 0x7F);
        return rc == 0;
    });
    return written ? transferred : -1;
}

bool CVNLibusbHandle::bulkRead(quint8 endpoint, int maxLength, int timeoutMs, QByteArray& data)
{
    if (maxLength <= 0)
        return false;
    QByteArray buffer(maxLength, '\0');
    int transferred = 0;
    const bool read = m_gate.run([&] {
        const int rc = libusb_bulk_transfer(m_handle, endpoint | 0x80, reinterpret_cast<unsigned char*>(buffer.data()),
            maxLength, &transferred, static_cast<unsigned int>(timeoutMs));
        clearStall(rc, endpoint | 0x80);
        return rc == 0;
    });
    if (!read)
        return false;
    data = buffer.left(transferred);
    return true;
}

bool CVNLibusbHandle::controlTransfer(
    quint8 requestType, quint8 request, quint16 value, quint16 index, QByteArray& data, int timeoutMs)
{
    if (data.size() > 0xFFFF)
        return false;
    int rc = -1;
    const bool done = m_gate.run([&] {
        rc = libusb_control_transfer(m_handle, requestType, request, value, index,
            reinterpret_cast<unsigned char*>(data.data()), static_cast<quint16>(data.size()),
            static_cast<unsigned int>(timeoutMs));
        return rc >= 0;
    });
    if (!done)
        return false;
    if (requestType & 0x80)
        data.truncate(rc);
    return true;
}

void CVNLibusbHandle::close()
{
    m_gate.close();
}

#include "device/platform/linux/libusbhandle.h"

#include <QStringList>

#include <libusb.h>

namespace
{

// Bus and address from /dev/bus/usb/BBB/DDD.
bool busAndAddress(const QString& node, int& bus, int& address)
{
    const QStringList parts = node.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.size() < 2)
        return false;
    bool okBus = false;
    bool okAddress = false;
    bus = parts.at(parts.size() - 2).toInt(&okBus, 10);
    address = parts.last().toInt(&okAddress, 10);
    return okBus && okAddress;
}

libusb_device_handle* openAt(libusb_context* context, int bus, int address)
{
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    libusb_device_handle* handle = nullptr;
    for (ssize_t i = 0; i < count && !handle; ++i) {
        if (libusb_get_bus_number(list[i]) == bus && libusb_get_device_address(list[i]) == address
            && libusb_open(list[i], &handle) != 0)
            handle = nullptr;
    }
    if (list)
        libusb_free_device_list(list, 1);
    return handle;
}

} // namespace

std::unique_ptr<CVNLibusbHandle> CVNLibusbHandle::open(
    libusb_context* context, const QString& node, int interfaceNumber)
{
    int bus = 0;
    int address = 0;
    if (!context || !busAndAddress(node, bus, address))
        return nullptr;
    libusb_device_handle* handle = openAt(context, bus, address);
    if (!handle)
        return nullptr;
    libusb_set_auto_detach_kernel_driver(handle, 1);
    if (libusb_claim_interface(handle, interfaceNumber) != 0) {
        libusb_close(handle);
        return nullptr;
    }
    return std::unique_ptr<CVNLibusbHandle>(new CVNLibusbHandle(handle, interfaceNumber));
}

CVNLibusbHandle::~CVNLibusbHandle()
{
    close();
}

qint64 CVNLibusbHandle::bulkWrite(quint8 endpoint, const QByteArray& data, int timeoutMs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_handle)
        return -1;
    int transferred = 0;
    QByteArray copy = data;
    const int rc
        = libusb_bulk_transfer(m_handle, endpoint & 0x7F, reinterpret_cast<unsigned char*>(copy.data()),
            copy.size(), &transferred, static_cast<unsigned int>(timeoutMs));
    return rc == 0 ? transferred : -1;
}

bool CVNLibusbHandle::bulkRead(quint8 endpoint, int maxLength, int timeoutMs, QByteArray& data)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_handle || maxLength <= 0)
        return false;
    QByteArray buffer(maxLength, '\0');
    int transferred = 0;
    const int rc
        = libusb_bulk_transfer(m_handle, endpoint | 0x80, reinterpret_cast<unsigned char*>(buffer.data()),
            maxLength, &transferred, static_cast<unsigned int>(timeoutMs));
    if (rc != 0)
        return false;
    data = buffer.left(transferred);
    return true;
}

bool CVNLibusbHandle::controlTransfer(
    quint8 requestType, quint8 request, quint16 value, quint16 index, QByteArray& data, int timeoutMs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_handle || data.size() > 0xFFFF)
        return false;
    const int rc = libusb_control_transfer(m_handle, requestType, request, value, index,
        reinterpret_cast<unsigned char*>(data.data()), static_cast<quint16>(data.size()),
        static_cast<unsigned int>(timeoutMs));
    if (rc < 0)
        return false;
    if (requestType & 0x80)
        data.truncate(rc);
    return true;
}

void CVNLibusbHandle::close()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_handle)
        return;
    libusb_release_interface(m_handle, m_interface);
    libusb_close(m_handle);
    m_handle = nullptr;
}

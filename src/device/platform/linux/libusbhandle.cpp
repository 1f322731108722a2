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

CVNLibusbHandle::CVNLibusbHandle(libusb_device_handle* handle, int interfaceNumber)
    : m_handle(handle)
    , m_interface(interfaceNumber)
    , m_gate([this] {
        libusb_release_interface(m_handle, m_interface);
        libusb_close(m_handle);
        m_handle = nullptr;
    })
{
}

CVNLibusbHandle::~CVNLibusbHandle()
{
    close();
}

qint64 CVNLibusbHandle::bulkWrite(quint8 endpoint, const QByteArray& data, int timeoutMs)
{
    int transferred = 0;
    QByteArray copy = data;
    const bool written = m_gate.run([&] {
        return libusb_bulk_transfer(m_handle, endpoint & 0x7F, reinterpret_cast<unsigned char*>(copy.data()),
                   copy.size(), &transferred, static_cast<unsigned int>(timeoutMs))
            == 0;
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
        return libusb_bulk_transfer(m_handle, endpoint | 0x80, reinterpret_cast<unsigned char*>(buffer.data()),
                   maxLength, &transferred, static_cast<unsigned int>(timeoutMs))
            == 0;
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

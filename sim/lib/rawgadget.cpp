#include "rawgadget.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/usb/ch9.h>
#include <linux/usb/raw_gadget.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <vector>

namespace corvanesim {

namespace {

int result(int rc)
{
    return rc < 0 ? -errno : rc;
}

}  // namespace

CVNRawGadget::~CVNRawGadget()
{
    close();
}

int CVNRawGadget::start(const QString& driver, const QString& device, Speed speed)
{
    close();
    m_fd = ::open(DevicePath, O_RDWR | O_CLOEXEC);
    if (m_fd < 0)
        return -errno;
    usb_raw_init init = {};
    const QByteArray driverName = driver.toLatin1();
    const QByteArray deviceName = device.toLatin1();
    if (driverName.size() >= UDC_NAME_LENGTH_MAX || deviceName.size() >= UDC_NAME_LENGTH_MAX) {
        close();
        return -EINVAL;
    }
    std::memcpy(init.driver_name, driverName.constData(), size_t(driverName.size()));
    std::memcpy(init.device_name, deviceName.constData(), size_t(deviceName.size()));
    init.speed = speed == Speed::High ? USB_SPEED_HIGH : USB_SPEED_FULL;
    int rc = result(::ioctl(m_fd, USB_RAW_IOCTL_INIT, &init));
    if (rc >= 0)
        rc = result(::ioctl(m_fd, USB_RAW_IOCTL_RUN, 0));
    if (rc < 0)
        close();
    return rc < 0 ? rc : 0;
}

void CVNRawGadget::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

int CVNRawGadget::fetchEvent(Event* event)
{
    alignas(usb_raw_event) char buffer[sizeof(usb_raw_event) + sizeof(usb_ctrlrequest)] = {};
    auto* raw = reinterpret_cast<usb_raw_event*>(buffer);
    raw->length = sizeof(usb_ctrlrequest);
    const int rc = result(::ioctl(m_fd, USB_RAW_IOCTL_EVENT_FETCH, raw));
    if (rc < 0)
        return rc;
    *event = Event();
    if (raw->type == USB_RAW_EVENT_CONNECT) {
        event->type = EventType::Connect;
    } else if (raw->type == USB_RAW_EVENT_CONTROL && raw->length >= sizeof(usb_ctrlrequest)) {
        usb_ctrlrequest setup;
        std::memcpy(&setup, raw->data, sizeof(setup));
        event->type = EventType::Control;
        event->setup.requestType = setup.bRequestType;
        event->setup.request = setup.bRequest;
        event->setup.value = setup.wValue;
        event->setup.index = setup.wIndex;
        event->setup.length = setup.wLength;
    }
    return 0;
}

// One transfer through usb_raw_ep_io: `data` is sent (write) or filled
// with what arrived (read, at most `length` bytes).
int CVNRawGadget::io(unsigned long request, int endpoint, QByteArray* data, int length)
{
    const bool write = request == USB_RAW_IOCTL_EP0_WRITE || request == USB_RAW_IOCTL_EP_WRITE;
    const int size = write ? data->size() : length;
    std::vector<char> buffer(sizeof(usb_raw_ep_io) + size_t(size));
    auto* header = reinterpret_cast<usb_raw_ep_io*>(buffer.data());
    header->ep = quint16(endpoint);
    header->flags = 0;
    header->length = quint32(size);
    if (write && size > 0)
        std::memcpy(header->data, data->constData(), size_t(size));
    const int rc = result(::ioctl(m_fd, request, header));
    if (rc >= 0 && !write)
        *data = QByteArray(reinterpret_cast<const char*>(header->data), qMin(rc, size));
    return rc;
}

int CVNRawGadget::ep0Write(const QByteArray& data)
{
    QByteArray copy = data;
    return io(USB_RAW_IOCTL_EP0_WRITE, 0, &copy, 0);
}

int CVNRawGadget::ep0Read(int length, QByteArray* data)
{
    return io(USB_RAW_IOCTL_EP0_READ, 0, data, length);
}

int CVNRawGadget::ep0Stall()
{
    return result(::ioctl(m_fd, USB_RAW_IOCTL_EP0_STALL, 0));
}

int CVNRawGadget::enableEndpoint(const QByteArray& endpointDescriptor)
{
    usb_endpoint_descriptor descriptor = {};
    std::memcpy(&descriptor, endpointDescriptor.constData(),
                qMin(sizeof(descriptor), size_t(endpointDescriptor.size())));
    return result(::ioctl(m_fd, USB_RAW_IOCTL_EP_ENABLE, &descriptor));
}

int CVNRawGadget::configure(int milliamps)
{
    const int rc = result(::ioctl(m_fd, USB_RAW_IOCTL_VBUS_DRAW, milliamps));
    return rc < 0 ? rc : result(::ioctl(m_fd, USB_RAW_IOCTL_CONFIGURE, 0));
}

int CVNRawGadget::epWrite(int handle, const QByteArray& data)
{
    QByteArray copy = data;
    return io(USB_RAW_IOCTL_EP_WRITE, handle, &copy, 0);
}

int CVNRawGadget::epRead(int handle, int maxLength, QByteArray* data)
{
    return io(USB_RAW_IOCTL_EP_READ, handle, data, maxLength);
}

int CVNRawGadget::setHalt(int handle)
{
    return result(::ioctl(m_fd, USB_RAW_IOCTL_EP_SET_HALT, handle));
}

}  // namespace corvanesim

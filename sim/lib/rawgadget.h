// One USB device presented to the local kernel through /dev/raw-gadget: the
// ioctls of the raw gadget interface, each answering 0 (or a count or an
// endpoint handle) on success and a negative errno on failure.
#pragma once

#include <QByteArray>
#include <QString>

namespace corvanesim {

// The 8-byte setup packet of a control request.
struct SetupPacket {
    quint8 requestType = 0;
    quint8 request = 0;
    quint16 value = 0;
    quint16 index = 0;
    quint16 length = 0;

    bool isIn() const { return (requestType & 0x80) != 0; }
};

class CVNRawGadget {
public:
    enum class Speed { Full, High };
    enum class EventType { Connect, Control, Other };
    struct Event {
        EventType type = EventType::Other;
        SetupPacket setup;  // for Control
    };

    static constexpr const char* DevicePath = "/dev/raw-gadget";

    CVNRawGadget() = default;
    ~CVNRawGadget();
    CVNRawGadget(const CVNRawGadget&) = delete;
    CVNRawGadget& operator=(const CVNRawGadget&) = delete;

    // Opens the raw gadget file and binds it to the UDC `device` of `driver`
    // (dummy_hcd: "dummy_udc", "dummy_udc.0"); the device connects at once.
    [[nodiscard]] int start(const QString& driver, const QString& device, Speed speed);
    // Closing disconnects the device from the bus.
    void close();
    bool isOpen() const { return m_fd >= 0; }

    // Blocks until the next event; -EINTR when a signal interrupted it.
    [[nodiscard]] int fetchEvent(Event* event);
    [[nodiscard]] int ep0Write(const QByteArray& data);
    // Reads the data stage of a control OUT request (length 0 acknowledges).
    [[nodiscard]] int ep0Read(int length, QByteArray* data);
    [[nodiscard]] int ep0Stall();
    // Returns the handle of the enabled endpoint.
    [[nodiscard]] int enableEndpoint(const QByteArray& endpointDescriptor);
    [[nodiscard]] int configure(int milliamps);
    [[nodiscard]] int epWrite(int handle, const QByteArray& data);
    [[nodiscard]] int epRead(int handle, int maxLength, QByteArray* data);
    [[nodiscard]] int setHalt(int handle);

private:
    int io(unsigned long request, int endpoint, QByteArray* data, int length);

    int m_fd = -1;
};

}  // namespace corvanesim

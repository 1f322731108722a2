#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <functional>
#include <memory>

// The platform seam of device access: everything discovery and the channels
// need from USB, and nothing more. Recognition, probing and the channel
// protocols are written once above it.

enum class CVNUsbEndpointType { Control, Isochronous, Bulk, Interrupt };

struct CVNUsbEndpoint {
    quint8 address = 0; // bit 7 set: IN
    CVNUsbEndpointType type = CVNUsbEndpointType::Bulk;

    bool isIn() const { return (address & 0x80) != 0; }
    bool operator==(const CVNUsbEndpoint& o) const { return address == o.address && type == o.type; }
};

// Identity of one present USB interface.
struct CVNUsbInterfaceInfo {
    static constexpr quint8 HidClass = 3;

    // Unique per interface; carries "#vid_xxxx&pid_yyyy" in lower-case hex.
    QString path;
    quint16 vendorId = 0;
    quint16 productId = 0;
    quint16 releaseNumber = 0;
    QString serial;
    quint16 usagePage = 0; // HID only
    quint16 usage = 0; // HID only
    quint8 interfaceClass = 0;
    quint8 interfaceSubClass = 0;
    quint8 interfaceProtocol = 0;
    QVector<CVNUsbEndpoint> endpoints;

    bool isHid() const { return interfaceClass == HidClass; }
};

// An open interface. Transfers block the calling thread; a handle may be used
// from several threads (implementations serialise). Closed when destroyed.
class CVNUsbHandle
{
public:
    static constexpr int DefaultTimeoutMs = 1000;

    virtual ~CVNUsbHandle() = default;

    // report: first byte the report id.
    [[nodiscard]] virtual bool setFeature(const QByteArray& report) = 0;
    // report: sized to the expected length, first byte preset to the report id;
    // filled in on success.
    [[nodiscard]] virtual bool getFeature(QByteArray& report) = 0;
    [[nodiscard]] virtual bool getInputReport(QByteArray& report) = 0;
    // Bytes written, or -1.
    [[nodiscard]] virtual qint64 bulkWrite(quint8 endpoint, const QByteArray& data, int timeoutMs) = 0;
    // At most maxLength bytes into data.
    [[nodiscard]] virtual bool bulkRead(quint8 endpoint, int maxLength, int timeoutMs, QByteArray& data) = 0;
    // IN (bit 7 of requestType): data is resized to wLength before and to the
    // bytes read after; OUT: data is sent.
    [[nodiscard]] virtual bool controlTransfer(
        quint8 requestType, quint8 request, quint16 value, quint16 index, QByteArray& data, int timeoutMs)
        = 0;
    // Idempotent and safe from any thread; every later transfer fails.
    virtual void close() = 0;
};

class CVNUsbPlatform
{
public:
    using ArrivalCallback = std::function<void(const CVNUsbInterfaceInfo&)>;
    using RemovalCallback = std::function<void(const QString& path)>;

    virtual ~CVNUsbPlatform() = default;

    virtual QString name() const = 0;
    // The present interfaces of interest (vendor interfaces, HID interfaces).
    [[nodiscard]] virtual QVector<CVNUsbInterfaceInfo> enumerate() = 0;
    // nullptr when the path cannot be opened.
    [[nodiscard]] virtual std::unique_ptr<CVNUsbHandle> open(const QString& path) = 0;
    // Callbacks run on the platform's own thread, one at a time.
    [[nodiscard]] virtual bool startMonitoring(ArrivalCallback arrival, RemovalCallback removal) = 0;
    // Returns once no callback runs any more.
    virtual void stopMonitoring() = 0;
};

// The simulator client when CORVANE_SIM_SOCKET names a socket, else the Linux
// platform.
std::unique_ptr<CVNUsbPlatform> createUsbPlatform();

// "#vid_(\w+)&pid_(\w+)" matched on the lower-case path; false when absent
// or not hexadecimal.
[[nodiscard]] bool parseVidPidFromPath(const QString& path, quint16* vendorId, quint16* productId);

#pragma once

#include "device/platform/handlegate.h"
#include "device/platform/usbplatform.h"

#include <atomic>
#include <memory>

struct hid_device_;

// A hidraw node opened through hidapi. close() does not wait for a report
// transfer in flight: that one fails, and the node is closed when it ends.
class CVNHidapiHandle : public CVNUsbHandle
{
public:
    // nullptr when the node cannot be opened (missing, or no permission:
    // see the udev rule).
    static std::unique_ptr<CVNHidapiHandle> open(const QString& node);
    ~CVNHidapiHandle() override;

    bool setFeature(const QByteArray& report) override;
    bool getFeature(QByteArray& report) override;
    bool getInputReport(QByteArray& report) override;
    qint64 bulkWrite(quint8, const QByteArray&, int) override { return -1; }
    bool bulkRead(quint8, int, int, QByteArray&) override { return false; }
    bool controlTransfer(quint8, quint8, quint16, quint16, QByteArray&, int) override { return false; }
    void close() override;

private:
    enum Fault { Failed = 1, Short = 2 };

    CVNHidapiHandle(hid_device_* device, const QString& node);
    [[nodiscard]] bool readReport(QByteArray& report, bool feature);
    void logOnce(Fault fault, const QString& what);
    QString errorText() const;

    hid_device_* m_device;
    const QString m_node;
    std::atomic<int> m_logged { 0 }; // the Faults already logged
    CVNHandleGate m_gate;
};

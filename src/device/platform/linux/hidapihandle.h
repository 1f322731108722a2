#pragma once

#include "device/platform/usbplatform.h"

#include <memory>
#include <mutex>

struct hid_device_;

// A hidraw node opened through hidapi.
class CVNHidapiHandle : public CVNUsbHandle
{
public:
    // nullptr when the node cannot be opened (missing, or no permission:
    // see the udev rule).
    static std::unique_ptr<CVNHidapiHandle> open(const QString& node);
    ~CVNHidapiHandle() override;

    bool setFeature(const QByteArray& report) override;
    // A report shorter than `report` fails.
    bool getFeature(QByteArray& report) override;
    bool getInputReport(QByteArray& report) override;
    qint64 bulkWrite(quint8, const QByteArray&, int) override { return -1; }
    bool bulkRead(quint8, int, int, QByteArray&) override { return false; }
    bool controlTransfer(quint8, quint8, quint16, quint16, QByteArray&, int) override { return false; }
    void close() override;

private:
    enum Fault { Failed = 1, Short = 2 };

    CVNHidapiHandle(hid_device_* device, const QString& node)
        : m_device(device)
        , m_node(node)
    {
    }
    bool readReport(QByteArray& report, bool feature);
    void logOnce(Fault fault, const QString& what);
    QString errorText() const;

    hid_device_* m_device;
    const QString m_node;
    int m_logged = 0; // the Faults already logged
    std::mutex m_mutex;
};

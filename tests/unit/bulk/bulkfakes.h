#pragma once

// Bulk handles for tests in one process: one whose far end is a simulated
// controller (the simulator's own framing and records), one that plays back
// scripted packets and counts failures.

#include "device/devicebulk.h"
#include "device/platform/usbplatform.h"

#include "controllersetup.h"
#include "virtualcontroller.h"

#include <QList>

#include <memory>

class SimBulkHandle : public CVNUsbHandle
{
public:
    explicit SimBulkHandle(corvanesim::CVNVirtualController* controller)
        : m_controller(controller)
    {
    }

    bool setFeature(const QByteArray&) override { return false; }
    bool getFeature(QByteArray&) override { return false; }
    bool getInputReport(QByteArray&) override { return false; }
    qint64 bulkWrite(quint8 endpoint, const QByteArray& data, int) override
    {
        const auto result = m_controller->bulkWrite(endpoint, data);
        return result.status == corvanesim::TransferResult::Status::Ok ? data.size() : -1;
    }
    bool bulkRead(quint8 endpoint, int maxLength, int, QByteArray& data) override
    {
        const auto result = m_controller->bulkRead(endpoint, maxLength);
        if (result.status != corvanesim::TransferResult::Status::Ok)
            return false;
        data = result.data;
        return true;
    }
    bool controlTransfer(quint8, quint8, quint16, quint16, QByteArray&, int) override { return false; }
    void close() override { }

private:
    corvanesim::CVNVirtualController* m_controller;
};

// Reads play back `packets` in order; writes are kept. The first
// `failWrites` writes and `failReads` reads fail.
class ScriptedBulkHandle : public CVNUsbHandle
{
public:
    QList<QByteArray> packets;
    QList<QByteArray> written;
    int failWrites = 0;
    int failReads = 0;
    int reads = 0;

    bool setFeature(const QByteArray&) override { return false; }
    bool getFeature(QByteArray&) override { return false; }
    bool getInputReport(QByteArray&) override { return false; }
    qint64 bulkWrite(quint8, const QByteArray& data, int) override
    {
        if (failWrites > 0) {
            --failWrites;
            return -1;
        }
        written.append(data);
        return data.size();
    }
    bool bulkRead(quint8, int maxLength, int, QByteArray& data) override
    {
        ++reads;
        if (failReads > 0) {
            --failReads;
            return false;
        }
        if (packets.isEmpty())
            return false;
        data = packets.takeFirst().left(maxLength);
        return true;
    }
    bool controlTransfer(quint8, quint8, quint16, quint16, QByteArray&, int) override { return false; }
    void close() override { }
};

// A parent device with one bulk child on the given handle.
struct BulkDevice {
    std::unique_ptr<CVNDeviceParent> parent;
    CVNDeviceBulk* bulk = nullptr;

    explicit BulkDevice(std::unique_ptr<CVNUsbHandle> handle, const QString& serial = QStringLiteral("1234000000A1"),
        const QString& firmware = QStringLiteral("1.000"), quint16 productType = 4660)
        : parent(new CVNDeviceParent(serial, firmware, productType))
    {
        bulk = new CVNDeviceBulk(parent.get(), std::move(handle), 0x81, 0x01);
        parent->addChild(bulk);
    }
};

// A simulated controller made from a SETUP text.
inline std::unique_ptr<corvanesim::CVNVirtualController> simulatedController(const QString& setupText)
{
    corvanesim::ControllerSetup setup;
    QString error;
    if (!corvanesim::parseControllerSetup(setupText, &setup, &error))
        return nullptr;
    return corvanesim::CVNVirtualController::create(setup, &error);
}

#pragma once

// In-process stand-ins for the platform seam: a controller that answers
// command reports from a register map, a handle on it whose transfers can
// be made to fail, and a platform listing such controllers.

#include "device/platform/usbplatform.h"

#include <QElapsedTimer>
#include <QHash>
#include <QStringList>

#include <atomic>
#include <memory>
#include <mutex>

// The device side of the command protocol, kept independent of the
// service's encoders on purpose.
struct FakeController {
    QHash<QByteArray, QByteArray> registers; // word -> answer
    QByteArray touchReport; // 161 bytes, or empty
    QByteArray lastAnswer;
    QStringList commands; // "word value" as received
    int failNext = 0; // the next N transfers fail
    int transfers = 0;
    QVector<qint64> transferTimesNs;
    QElapsedTimer clock;
    std::mutex mutex;

    FakeController() { clock.start(); }
    static std::shared_ptr<FakeController> standard(const QByteArray& gain = "3");
    bool takeTransfer(); // false when this transfer fails
    void receive(const QByteArray& report);
};

class FakeHandle : public CVNUsbHandle
{
public:
    explicit FakeHandle(std::shared_ptr<FakeController> controller)
        : m_controller(std::move(controller))
    {
    }
    bool setFeature(const QByteArray& report) override;
    bool getFeature(QByteArray& report) override;
    bool getInputReport(QByteArray& report) override { return getFeature(report); }
    qint64 bulkWrite(quint8, const QByteArray& data, int) override { return m_closed ? -1 : data.size(); }
    bool bulkRead(quint8, int, int, QByteArray&) override { return !m_closed; }
    bool controlTransfer(quint8, quint8, quint16, quint16, QByteArray&, int) override { return !m_closed; }
    void close() override { m_closed = true; }
    bool closed() const { return m_closed; }

private:
    std::shared_ptr<FakeController> m_controller;
    std::atomic<bool> m_closed { false };
};

class FakePlatform : public CVNUsbPlatform
{
public:
    struct Entry {
        CVNUsbInterfaceInfo info;
        std::shared_ptr<FakeController> controller;
    };

    static CVNUsbInterfaceInfo hidInfo(
        const QString& serial, quint16 productId = 2, quint16 release = 0x0205);
    static CVNUsbInterfaceInfo bulkInfo(const QString& serial, quint16 productId = 2);

    QString name() const override { return QStringLiteral("fake"); }
    QVector<CVNUsbInterfaceInfo> enumerate() override;
    std::unique_ptr<CVNUsbHandle> open(const QString& path) override;
    bool startMonitoring(ArrivalCallback arrival, RemovalCallback removal) override;
    void stopMonitoring() override;

    void add(const CVNUsbInterfaceInfo& info, std::shared_ptr<FakeController> controller);
    // Delivered from another thread, as a platform would.
    void plug(const CVNUsbInterfaceInfo& info, std::shared_ptr<FakeController> controller);
    void unplug(const QString& path);
    std::shared_ptr<FakeController> controller(const QString& path) const;
    QStringList opened() const;

private:
    mutable std::mutex m_mutex;
    QVector<Entry> m_entries;
    QStringList m_opened;
    ArrivalCallback m_arrival;
    RemovalCallback m_removal;
};

#pragma once

// In-process stand-ins for the platform seam: a controller answering from a
// register map, a handle whose transfers can be made to fail, a platform
// listing such controllers, and a fixture holding one as a HID device.

#include "device/devicehid.h"
#include "device/platform/usbplatform.h"

#include <QElapsedTimer>
#include <QHash>
#include <QStringList>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

// The device side of the command protocol, kept independent of the
// service's encoders on purpose.
struct FakeController {
    QHash<QByteArray, QByteArray> registers { { "gain", "3" }, { "dbuild", QByteArray(40, 'a') },
        { "dserial", "0200000001A3" } }; // word -> answer
    QByteArray lastAnswer;
    QStringList commands; // "word value" as received
    int failNext = 0; // the next N transfers fail
    QList<QByteArray> inputReports; // served in order by input report reads
    QList<int> inputIdsAsked;
    int transfers = 0;
    QVector<qint64> transferTimesNs;
    QElapsedTimer clock;
    std::mutex mutex;

    FakeController() { clock.start(); }
    static std::shared_ptr<FakeController> standard() { return std::make_shared<FakeController>(); }

    bool takeTransfer() // false when this transfer fails
    {
        ++transfers;
        transferTimesNs.append(clock.nsecsElapsed());
        return failNext > 0 ? (--failNext, false) : true;
    }
    void receive(const QByteArray& report)
    {
        const QByteArray word = report.mid(1, 8).split('\0').first();
        const QByteArray value = report.mid(9, 64).split('\0').first();
        commands.append(QString::fromLatin1(word + ' ' + value));
        if (!value.isEmpty() && registers.contains(word))
            registers[word] = value;
        lastAnswer = registers.value(word, "error: unknown command");
    }
};

class FakeHandle : public CVNUsbHandle
{
public:
    explicit FakeHandle(std::shared_ptr<FakeController> controller)
        : m_controller(std::move(controller))
    {
    }
    bool setFeature(const QByteArray& report) override
    {
        std::lock_guard<std::mutex> lock(m_controller->mutex);
        if (m_closed || !m_controller->takeTransfer())
            return false;
        if (report.size() == 73 && report.at(0) == 21)
            m_controller->receive(report);
        return true;
    }
    bool getFeature(QByteArray& report) override
    {
        std::lock_guard<std::mutex> lock(m_controller->mutex);
        if (m_closed || !m_controller->takeTransfer())
            return false;
        const QByteArray data = m_controller->lastAnswer.left(64);
        report.replace(9, data.size(), data);
        return true;
    }
    bool getInputReport(QByteArray& report) override
    {
        std::lock_guard<std::mutex> lock(m_controller->mutex);
        if (m_closed || !m_controller->takeTransfer())
            return false;
        m_controller->inputIdsAsked.append(static_cast<quint8>(report.at(0)));
        if (m_controller->inputReports.isEmpty())
            return false;
        const QByteArray data = m_controller->inputReports.takeFirst().left(report.size());
        report.fill('\0');
        report.replace(0, data.size(), data);
        return true;
    }
    qint64 bulkWrite(quint8, const QByteArray& data, int) override { return m_closed ? -1 : data.size(); }
    bool bulkRead(quint8, int, int, QByteArray&) override { return !m_closed; }
    bool controlTransfer(quint8, quint8, quint16, quint16, QByteArray&, int) override { return !m_closed; }
    void close() override { m_closed = true; }

private:
    std::shared_ptr<FakeController> m_controller;
    std::atomic<bool> m_closed { false };
};

class FakePlatform : public CVNUsbPlatform
{
public:
    static CVNUsbInterfaceInfo hidInfo(const QString& serial, quint16 productId = 2, quint16 release = 0x0205)
    {
        CVNUsbInterfaceInfo info;
        info.path = QStringLiteral("fake#vid_3c2e&pid_%1#%2#hid")
                        .arg(productId, 4, 16, QLatin1Char('0'))
                        .arg(serial.toLower());
        info.vendorId = 0x3C2E;
        info.productId = productId;
        info.releaseNumber = release;
        info.serial = serial;
        info.usagePage = 0xFF00;
        info.interfaceClass = 3;
        return info;
    }
    static CVNUsbInterfaceInfo bulkInfo(const QString& serial, quint16 productId = 2)
    {
        CVNUsbInterfaceInfo info = hidInfo(serial, productId);
        info.path.replace(QStringLiteral("#hid"), QStringLiteral("#bulk"));
        info.interfaceClass = 255;
        info.interfaceSubClass = 1;
        info.interfaceProtocol = 1;
        info.endpoints = { { 0x81, CVNUsbEndpointType::Bulk }, { 0x01, CVNUsbEndpointType::Bulk } };
        return info;
    }

    QString name() const override { return QStringLiteral("fake"); }
    QVector<CVNUsbInterfaceInfo> enumerate() override
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        QVector<CVNUsbInterfaceInfo> list;
        std::transform(m_entries.cbegin(), m_entries.cend(), std::back_inserter(list), [](auto& e) { return e.first; });
        // A controller plugged just after the list was taken: only its notice tells.
        const QList<Entry> late = std::exchange(m_pluggedWhileListing, {});
        const ArrivalCallback arrival = m_arrival;
        for (const Entry& entry : late)
            m_entries.append(entry);
        lock.unlock();
        for (const Entry& entry : late) {
            if (arrival)
                std::thread([arrival, info = entry.first] { arrival(info); }).join();
        }
        return list;
    }
    std::unique_ptr<CVNUsbHandle> open(const QString& path) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const Entry& entry : qAsConst(m_entries)) {
            if (entry.first.path == path)
                return std::make_unique<FakeHandle>(entry.second);
        }
        return nullptr;
    }
    bool startMonitoring(ArrivalCallback arrival, RemovalCallback removal) override
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_arrival = std::move(arrival); // notices of arrival: see plugWhileListing
        m_removal = std::move(removal);
        return true;
    }
    void stopMonitoring() override { (void)startMonitoring(nullptr, nullptr); }

    void add(const CVNUsbInterfaceInfo& info, std::shared_ptr<FakeController> controller)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_entries.append({ info, std::move(controller) });
    }
    // Appears while the watcher lists the present interfaces, too late for
    // the list: announced by a notice from another thread.
    void plugWhileListing(const CVNUsbInterfaceInfo& info, std::shared_ptr<FakeController> controller)
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_pluggedWhileListing.append({ info, std::move(controller) });
    }
    // The removal notice comes from another thread, as a platform would send it.
    void unplug(const QString& path)
    {
        std::unique_lock<std::mutex> lock(m_mutex); // the manager does not list again: entries stay
        const RemovalCallback removal = m_removal;
        lock.unlock();
        if (removal)
            std::thread([removal, path] { removal(path); }).join();
    }

private:
    using Entry = QPair<CVNUsbInterfaceInfo, std::shared_ptr<FakeController>>;
    mutable std::mutex m_mutex;
    QVector<Entry> m_entries;
    QList<Entry> m_pluggedWhileListing;
    ArrivalCallback m_arrival;
    RemovalCallback m_removal;
};

// One controller behind one HID interface of a Vasta.
struct HidFixture : ::testing::Test {
    std::shared_ptr<FakeController> controller = FakeController::standard();
    CVNDeviceParent* parent = new CVNDeviceParent(QStringLiteral("0200000001A3"), QStringLiteral("2.005"), 2);
    CVNDeviceHid* hid = new CVNDeviceHid(parent, std::make_unique<FakeHandle>(controller));

    HidFixture() { parent->addChild(hid); }
    ~HidFixture() override { delete parent; }
};

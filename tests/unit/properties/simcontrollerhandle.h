#pragma once

// A corvane-sim controller hosted in this process behind the platform seam,
// so that the HID channel, the interface and its entities talk to the
// simulator's own device side. Chosen command words can be answered by the
// test instead (a refusing or silent controller at an exact step).

#include "device/devicehid.h"
#include "device/platform/usbplatform.h"
#include "virtualcontroller.h"

#include <QHash>
#include <QStringList>
#include <gtest/gtest.h>

#include <memory>

class SimControllerHandle : public CVNUsbHandle
{
public:
    // Answer text, or an empty array for a transfer that fails.
    using Overrides = QHash<QString, QByteArray>;

    SimControllerHandle(corvanesim::CVNVirtualController* controller, Overrides* overrides, QStringList* traffic)
        : m_controller(controller)
        , m_overrides(overrides)
        , m_traffic(traffic)
    {
    }

    bool setFeature(const QByteArray& report) override
    {
        const QByteArray word = report.mid(1, 8).split('\0').first();
        const auto it = m_overrides->constFind(QString::fromLatin1(word));
        if (report.at(0) == 21 && it != m_overrides->constEnd()) {
            m_override = it.value();
            m_traffic->append(QString::fromLatin1(word + ' ' + report.mid(9, 64).split('\0').first() + " -> ")
                              + QString::fromLatin1(m_override));
            return !m_override.isEmpty();
        }
        m_override.clear();
        return m_controller->setFeature(report).status == corvanesim::TransferResult::Status::Ok;
    }
    bool getFeature(QByteArray& report) override
    {
        if (report.at(0) == 21 && !m_override.isEmpty()) {
            report.replace(9, 64, m_override.leftJustified(64, '\0', true));
            return true;
        }
        const auto result = m_controller->getFeature(quint8(report.at(0)), report.size());
        if (result.status != corvanesim::TransferResult::Status::Ok)
            return false;
        report = result.data;
        return true;
    }
    bool getInputReport(QByteArray&) override { return false; }
    qint64 bulkWrite(quint8, const QByteArray&, int) override { return -1; }
    bool bulkRead(quint8, int, int, QByteArray&) override { return false; }
    bool controlTransfer(quint8, quint8, quint16, quint16, QByteArray&, int) override { return false; }
    void close() override {}

private:
    corvanesim::CVNVirtualController* m_controller;
    Overrides* m_overrides;
    QStringList* m_traffic;
    QByteArray m_override;
};

// One simulated controller as the service holds it: parent device, HID
// device on the in-process handle, and the traffic the controller saw.
struct HostedController {
    std::unique_ptr<corvanesim::CVNVirtualController> sim;
    SimControllerHandle::Overrides overrides;
    CVNDeviceParent* parent = nullptr;
    CVNDeviceHid* hid = nullptr;
    QStringList traffic; // "WORD VALUE -> ANSWER"

    explicit HostedController(const QString& setupText)
    {
        corvanesim::ControllerSetup setup;
        QString error;
        EXPECT_TRUE(corvanesim::parseControllerSetup(setupText, &setup, &error)) << error.toStdString();
        sim = corvanesim::CVNVirtualController::create(setup, &error);
        EXPECT_TRUE(sim) << error.toStdString();
        const QString prefix = setup.serial + QLatin1Char(' ');
        sim->setTrafficSink([this, prefix](const QString& line) { traffic.append(line.mid(prefix.size())); });
        parent = new CVNDeviceParent(setup.serial, corvanesim::firmwareText(setup.release), setup.productId);
        hid = new CVNDeviceHid(parent, std::make_unique<SimControllerHandle>(sim.get(), &overrides, &traffic));
        parent->addChild(hid);
    }
    ~HostedController() { delete parent; }

    // The command words the controller performed (answered by the test or
    // not), from the traffic line `from` on.
    QStringList words(int from = 0) const
    {
        QStringList result;
        for (int i = from; i < traffic.size(); ++i)
            result.append(traffic[i].section(QLatin1Char(' '), 0, 0));
        return result;
    }
    QString value(const QString& word) const
    {
        QString out;
        EXPECT_TRUE(sim->value(word, &out)) << word.toStdString();
        return out;
    }
};

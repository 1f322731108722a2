#pragma once

// A simulated controller in this process, reached through the service's own
// HID channel and an interface built from the shipped description, with the
// calibration entities registered: what the service sends and what the
// controller keeps are both in view.

#include "device/device.h"
#include "device/devicehid.h"
#include "device/platform/usbplatform.h"
#include "interface/deviceinterfacebuilder.h"
#include "interface/deviceinterfacehid.h"
#include "server/entitybuilders.h"

#include "controllersetup.h"
#include "virtualcontroller.h"

#include <QStringList>
#include <gtest/gtest.h>

#include <functional>
#include <memory>

// The controller behind the platform seam, as the simulator's socket would carry it.
class VirtualHandle : public CVNUsbHandle
{
public:
    explicit VirtualHandle(corvanesim::CVNVirtualController* controller) : m_controller(controller) {}
    bool setFeature(const QByteArray& report) override { return ok(m_controller->setFeature(report)); }
    bool getFeature(QByteArray& report) override
    {
        const auto result = m_controller->getFeature(quint8(report.at(0)), report.size());
        if (!ok(result))
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
    static bool ok(const corvanesim::TransferResult& r) { return r.status == corvanesim::TransferResult::Status::Ok; }
    corvanesim::CVNVirtualController* m_controller;
};

struct CalibrationRig : ::testing::Test {
    std::unique_ptr<corvanesim::CVNVirtualController> controller;
    CVNDeviceParent* parent = nullptr;
    std::unique_ptr<CVNDeviceInterfaceHid> iface;
    QStringList traffic; // "word value -> answer", serial left out
    std::function<void(const QString&)> onTraffic;

    void start(const QString& setup = QStringLiteral("vasta:0200000001A3:2.005"),
               const QString& description = QStringLiteral("2-2_005-hid"))
    {
        registerEntityBuilders();
        corvanesim::ControllerSetup parsed;
        QString error;
        ASSERT_TRUE(corvanesim::parseControllerSetup(setup, &parsed, &error)) << qPrintable(error);
        controller = corvanesim::CVNVirtualController::create(parsed, &error);
        ASSERT_TRUE(controller) << qPrintable(error);
        controller->setTrafficSink([this](const QString& line) {
            traffic.append(line.section(QLatin1Char(' '), 1));
            if (onTraffic)
                onTraffic(traffic.last());
        });
        parent = new CVNDeviceParent(parsed.serial, QStringLiteral("2.005"), parsed.productId);
        auto* hid = new CVNDeviceHid(parent, std::make_unique<VirtualHandle>(controller.get()));
        parent->addChild(hid);
        iface = std::make_unique<CVNDeviceInterfaceHid>(hid);
        DeviceInterfaceBuilder builder;
        QJsonObject json;
        ASSERT_TRUE(DeviceInterfaceBuilder::readDescription(DeviceInterfaceBuilder::resourcePath(description), &json));
        ASSERT_TRUE(builder.populate(iface.get(), json));
    }
    ~CalibrationRig() override { stop(); }
    void stop()
    {
        iface.reset();
        delete parent;
        parent = nullptr;
        controller.reset();
        traffic.clear();
    }
    // Sets a register as the controller holds it.
    void preset(const QString& word, const QString& value)
    {
        QString error;
        ASSERT_TRUE(controller->registers().preset(word, value, &error)) << qPrintable(error);
    }

    QString run(const QString& command, const QStringList& words = {}) { return iface->executeCommand(command, words); }
    template <typename T> T* entity(const QString& name) const { return dynamic_cast<T*>(iface->entity(name)); }
    QString reg(const QString& word) const
    {
        QString value;
        return controller->registers().value(word, &value) ? value : QStringLiteral("<none>");
    }
    // Traffic lines since `from` whose command word is `word`.
    QStringList sent(const QString& word, int from = 0) const
    {
        QStringList lines;
        for (const QString& line : traffic.mid(from)) {
            if (line.section(QLatin1Char(' '), 0, 0) == word)
                lines.append(line);
        }
        return lines;
    }
};

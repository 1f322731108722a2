#pragma once

// A simulated controller in this process behind the service's own HID
// channel, with an interface built from the shipped description and every
// composite entity registered: the touch stream reads the controller's real
// input reports.

#include "device/device.h"
#include "device/devicehid.h"
#include "device/platform/usbplatform.h"
#include "interface/deviceinterfacebuilder.h"
#include "interface/deviceinterfacehid.h"
#include "server/entitybuilders.h"

#include "controllersetup.h"
#include "virtualcontroller.h"

#include <QJsonObject>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

class VirtualInputHandle : public CVNUsbHandle
{
public:
    explicit VirtualInputHandle(corvanesim::CVNVirtualController* controller) : m_controller(controller) {}
    bool setFeature(const QByteArray& report) override { return ok(m_controller->setFeature(report)).has_value(); }
    bool getFeature(QByteArray& report) override { return fill(m_controller->getFeature(quint8(report.at(0)), report.size()), report); }
    bool getInputReport(QByteArray& report) override { return fill(m_controller->getInput(quint8(report.at(0)), report.size()), report); }
    qint64 bulkWrite(quint8, const QByteArray&, int) override { return -1; }
    bool bulkRead(quint8, int, int, QByteArray&) override { return false; }
    bool controlTransfer(quint8, quint8, quint16, quint16, QByteArray&, int) override { return false; }
    void close() override {}

private:
    static std::optional<QByteArray> ok(const corvanesim::TransferResult& r)
    {
        if (r.status != corvanesim::TransferResult::Status::Ok)
            return std::nullopt;
        return r.data;
    }
    static bool fill(const corvanesim::TransferResult& r, QByteArray& report)
    {
        const auto data = ok(r);
        if (!data)
            return false;
        report = *data;
        return true;
    }
    corvanesim::CVNVirtualController* m_controller;
};

struct TouchRig {
    std::unique_ptr<corvanesim::CVNVirtualController> controller;
    CVNDeviceParent* parent = nullptr;
    std::unique_ptr<CVNDeviceInterfaceHid> iface;

    explicit TouchRig(const QString& setup = QStringLiteral("vasta:0200000001A3:2.005,timeline=off"))
    {
        registerEntityBuilders();
        corvanesim::ControllerSetup parsed;
        QString error;
        EXPECT_TRUE(corvanesim::parseControllerSetup(setup, &parsed, &error)) << qPrintable(error);
        controller = corvanesim::CVNVirtualController::create(parsed, &error);
        EXPECT_TRUE(controller) << qPrintable(error);
        parent = new CVNDeviceParent(parsed.serial, QStringLiteral("2.005"), parsed.productId);
        auto* hid = new CVNDeviceHid(parent, std::make_unique<VirtualInputHandle>(controller.get()));
        parent->addChild(hid);
        iface = std::make_unique<CVNDeviceInterfaceHid>(hid);
        DeviceInterfaceBuilder builder;
        QJsonObject json;
        EXPECT_TRUE(DeviceInterfaceBuilder::readDescription(DeviceInterfaceBuilder::resourcePath(QStringLiteral("2-2_005-hid")), &json));
        EXPECT_TRUE(builder.populate(iface.get(), json));
    }
    ~TouchRig()
    {
        iface.reset();
        delete parent;
    }
    template <typename T> T* entity(const QString& name) const { return dynamic_cast<T*>(iface->entity(name)); }
    QString run(const QString& command, const QStringList& words = {}) { return iface->executeCommand(command, words); }
    corvanesim::CVNTouchSurface& surface() { return controller->touchSurface(); }
};

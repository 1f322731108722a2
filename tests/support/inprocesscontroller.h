#pragma once

// A corvane-sim controller hosted in this process behind the platform seam:
// the service's real HID device, interface builder and exchanges talk to it
// through a handle that calls the controller directly, so that the sensor
// properties are tried end to end without sockets.

#include "device/device.h"
#include "device/devicehid.h"
#include "device/platform/usbplatform.h"
#include "interface/deviceinterface.h"
#include "interface/deviceinterfacebuilder.h"
#include "interface/deviceinterfacehid.h"
#include "server/entitybuilders.h"

#include "controllersetup.h"
#include "virtualcontroller.h"

#include <QHash>
#include <QJsonObject>
#include <QStringList>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class InProcessHandle : public CVNUsbHandle
{
public:
    explicit InProcessHandle(corvanesim::CVNVirtualController* controller)
        : m_controller(controller)
    {
    }

    bool setFeature(const QByteArray& report) override
    {
        if (m_closed)
            return false;
        const QString word = QString::fromLatin1(report.mid(1, 8).split('\0').first());
        m_answer.reset();
        if (report.at(0) == 21 && answers.contains(word)) {
            m_answer = answers.value(word);
            if (traffic)
                traffic->append(word + QLatin1Char(' ') + QString::fromLatin1(report.mid(9, 64).split('\0').first())
                                + QStringLiteral(" -> ") + QString::fromLatin1(*m_answer));
            return !m_answer->isEmpty();
        }
        return m_controller->setFeature(report).status == corvanesim::TransferResult::Status::Ok;
    }
    bool getFeature(QByteArray& report) override { return read(report, false); }
    bool getInputReport(QByteArray& report) override
    {
        ++inputReports;
        return read(report, true);
    }
    qint64 bulkWrite(quint8, const QByteArray&, int) override { return -1; }
    bool bulkRead(quint8, int, int, QByteArray&) override { return false; }
    bool controlTransfer(quint8, quint8, quint16, quint16, QByteArray&, int) override { return false; }
    void close() override { m_closed = true; }

    // Changes what the host reads (feature reports) before it sees it.
    std::function<void(QByteArray& report)> tamper;
    // The same for input reports.
    std::function<void(QByteArray& report)> tamperInput;
    std::atomic<int> inputReports{0};
    // Command words the test answers instead of the controller: the answer
    // text, or an empty one for a transfer that fails. Noted in `traffic`.
    QHash<QString, QByteArray> answers;
    QStringList* traffic = nullptr;

private:
    bool read(QByteArray& report, bool input)
    {
        if (m_closed || report.isEmpty())
            return false;
        const int id = quint8(report.at(0));
        if (!input && id == 21 && m_answer) {
            report.replace(9, 64, m_answer->leftJustified(64, '\0', true));
            return true;
        }
        const corvanesim::TransferResult result
            = input ? m_controller->getInput(id, report.size()) : m_controller->getFeature(id, report.size());
        if (result.status != corvanesim::TransferResult::Status::Ok || result.data.size() != report.size())
            return false;
        report = result.data;
        if (!input && tamper)
            tamper(report);
        if (input && tamperInput)
            tamperInput(report);
        return true;
    }

    corvanesim::CVNVirtualController* m_controller;
    std::atomic<bool> m_closed{false};
    std::optional<QByteArray> m_answer;
};

// One controller from a SETUP text, its HID device and its interface: built
// the way the service chooses the description, from the one named, or none
// (kNoInterface: the HID device alone).
struct InProcessController
{
    static inline const QString kNoInterface = QStringLiteral("-");

    InProcessController() = default;
    explicit InProcessController(const QString& setupText, const QString& description = QString())
    {
        start(setupText, description);
    }
    ~InProcessController() { stop(); }

    void start(const QString& setupText, const QString& description = QString())
    {
        corvanesim::ControllerSetup setup;
        QString error;
        if (!corvanesim::parseControllerSetup(setupText, &setup, &error)) {
            ADD_FAILURE() << error.toStdString();
            return;
        }
        controller = corvanesim::CVNVirtualController::create(setup, &error);
        if (!controller) {
            ADD_FAILURE() << error.toStdString();
            return;
        }
        controller->setTrafficSink([this](const QString& line) {
            traffic.append(line.section(QLatin1Char(' '), 1));
            if (onTraffic)
                onTraffic(traffic.last());
        });
        parent = std::make_unique<CVNDeviceParent>(setup.serial, corvanesim::firmwareText(setup.release), setup.productId);
        auto owned = std::make_unique<InProcessHandle>(controller.get());
        handle = owned.get();
        handle->traffic = &traffic;
        hid = new CVNDeviceHid(parent.get(), std::move(owned));
        parent->addChild(hid);
        if (description == kNoInterface)
            return;
        registerEntityBuilders();
        builder = std::make_unique<DeviceInterfaceBuilder>();
        if (description.isEmpty()) {
            iface.reset(builder->build(hid));
        } else {
            auto named = std::make_unique<CVNDeviceInterfaceHid>(hid);
            QJsonObject json;
            if (DeviceInterfaceBuilder::readDescription(DeviceInterfaceBuilder::resourcePath(description), &json)
                && builder->populate(named.get(), json))
                iface = std::move(named);
        }
        if (!iface)
            ADD_FAILURE() << "no interface for " << setupText.toStdString();
    }
    void stop()
    {
        iface.reset();
        parent.reset();
        controller.reset();
        traffic.clear();
    }

    template <typename T> T* entity(const QString& name) const { return dynamic_cast<T*>(iface->entity(name)); }
    QString run(const QString& command, const QStringList& words = {}) { return iface->executeCommand(command, words); }
    QString reg(const QString& word) const
    {
        QString value;
        return controller->value(word, &value) ? value : QStringLiteral("<none>");
    }
    // The command words of the traffic from line `from` on.
    QStringList words(int from = 0) const
    {
        QStringList result;
        for (const QString& line : traffic.mid(from))
            result.append(line.section(QLatin1Char(' '), 0, 0));
        return result;
    }
    // Sets a register as the controller holds it.
    void preset(const QString& word, const QString& value)
    {
        QString error;
        EXPECT_TRUE(controller->registers().preset(word, value, &error)) << error.toStdString();
    }
    // Traffic lines since `from` of one command word.
    QStringList exchanges(const QString& word, int from = 0) const
    {
        QStringList lines;
        for (const QString& line : traffic.mid(from)) {
            if (line.section(QLatin1Char(' '), 0, 0) == word)
                lines.append(line);
        }
        return lines;
    }
    corvanesim::CVNTouchSurface& surface() { return controller->touchSurface(); }

    std::unique_ptr<corvanesim::CVNVirtualController> controller;
    std::unique_ptr<CVNDeviceParent> parent;
    CVNDeviceHid* hid = nullptr;
    InProcessHandle* handle = nullptr;
    std::unique_ptr<DeviceInterfaceBuilder> builder;
    std::unique_ptr<CVNDeviceInterface> iface;
    QStringList traffic; // "word value -> answer", serial left out
    std::function<void(const QString&)> onTraffic;
};

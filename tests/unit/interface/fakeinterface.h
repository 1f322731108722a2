#pragma once

#include "device/device.h"
#include "interface/accessmode.h"
#include "interface/devicefunction.h"
#include "interface/deviceinterface.h"
#include "interface/deviceproperty.h"

#include <QHash>
#include <QList>
#include <QVariant>
#include <gtest/gtest.h>

// Records the names of the properties that changed or went away.
class Recorder : public CVNPropertyObserver
{
public:
    void propertyChanged(CVNProperty* property) override { changed.append(property->name()); }
    void propertyDestroyed(CVNProperty* property) override { destroyed.append(property->name()); }
    QStringList changed;
    QStringList destroyed;
};

// A controller without hardware: open or not, with fixed identity.
class FakeDevice : public CVNDevice
{
    Q_OBJECT
public:
    explicit FakeDevice(CVNDeviceKind kind = CVNDeviceKind::Hid, quint16 productType = 2,
                        const QString& firmware = QStringLiteral("2.005"))
        : m_kind(kind), m_productType(productType), m_firmware(firmware) {}
    bool isOpen() const override { return open; }
    CVNDeviceKind kind() const override { return m_kind; }
    QString serialNumber() const override { return QStringLiteral("0200000001A3"); }
    QString firmwareVersion() const override { return m_firmware; }
    quint16 productType() const override { return m_productType; }
    void close() override { open = false; }

    bool open = true;

private:
    CVNDeviceKind m_kind;
    quint16 m_productType;
    QString m_firmware;
};

// An interface whose channel is a register table answering like the
// command channel does: a query returns the register text, a set stores
// the value's text and echoes the value, a call answers "done <arguments>", and any register
// text holding "error" becomes an error reply. Every request is logged.
class FakeInterface : public CVNDeviceInterface
{
    Q_OBJECT
public:
    explicit FakeInterface(CVNDevice* device) : CVNDeviceInterface(QStringLiteral("root"), device) {}

    CVNDeviceReplies execute(const CVNDeviceRequest& request) override
    {
        log.append(request);
        CVNDeviceRequest reply = request.makeReply();
        if (request.type == CVNDeviceRequest::Set && refusals.contains(request.name)) {
            reply.type = CVNDeviceRequest::Error;
            reply.text = refusals.value(request.name);
            return {{request.id, reply}};
        }
        QString& reg = registers[request.name];
        if (request.type == CVNDeviceRequest::Set)
            reg = textOf(request.value);
        if (request.type == CVNDeviceRequest::Call) {
            QStringList words;
            for (const QVariant& argument : request.arguments)
                words.append(argument.toString());
            if (!reg.contains(QLatin1String("error"), Qt::CaseInsensitive))
                reg = QStringLiteral("done ") + words.join(QLatin1Char(' '));
        }
        if (reg.contains(QLatin1String("error"), Qt::CaseInsensitive)) {
            reply.type = CVNDeviceRequest::Error;
            reply.text = reg;
        } else {
            // A set is answered with the value as sent, like the typed exchanges.
            reply.value = request.type == CVNDeviceRequest::Set ? request.value : QVariant(reg);
        }
        return {{request.id, reply}};
    }

    static QString textOf(const QVariant& value)
    {
        if (value.type() == QVariant::Bool)
            return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
        QStringList words;
        for (const QVariant& element : value.toList())
            words.append(element.toString());
        return value.type() == QVariant::List ? words.join(QLatin1Char(' ')) : value.toString();
    }

    int countOf(quint8 type, const QString& name) const
    {
        int count = 0;
        for (const CVNDeviceRequest& request : log)
            count += request.type == type && request.name == name;
        return count;
    }

    QHash<QString, QString> registers;
    // Writes the controller refuses, by name: answered with this text, the register unchanged.
    QHash<QString, QString> refusals;
    QList<CVNDeviceRequest> log;
};

// A fake interface with helpers to add entities and run commands.
class InterfaceTest : public ::testing::Test
{
protected:
    template <typename T>
    T* make(const QString& name, int mode = AccessMode::ReadWrite)
    {
        auto* property = new T(&iface, name, QStringLiteral("d"), name, mode);
        iface.addEntity(name, property);
        return property;
    }
    DeviceFunction* addFunction(const QString& name, const QString& argumentText)
    {
        auto* function = new DeviceFunction(&iface, name, name, QString(), argumentText);
        iface.addEntity(name, function);
        return function;
    }
    QString run(const QString& command, const QStringList& words = {}) { return iface.executeCommand(command, words); }
    // Answers the next read from the register instead of the cache.
    QString reread(DeviceProperty* property, const QString& registerText)
    {
        iface.registers[property->name()] = registerText;
        property->setRequestState(DeviceProperty::Idle);
        return run(property->name());
    }

    FakeDevice device;
    FakeInterface iface{&device};
};

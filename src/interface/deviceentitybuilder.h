#pragma once

#include "interface/accessmode.h"
#include "interface/devicefunction.h"
#include "interface/devicefunctionnull.h"
#include "interface/devicepropertynull.h"
#include "interface/devicepropertynumber.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

class CVNDeviceInterface;
class Entity;

// Makes one entity from one object of an interface description. The entity
// belongs to the interface once the interface builder has added it.
class CVNDeviceEntityBuilder
{
public:
    virtual ~CVNDeviceEntityBuilder() = default;
    // The type string under which the builder registers.
    virtual QString typeName() const = 0;
    [[nodiscard]] virtual Entity* build(CVNDeviceInterface* interface, const QJsonObject& entityJson) = 0;
};

// The four keys every property builder reads.
struct CVNDeviceEntityKeys
{
    QString name;
    QString description;
    QString command;
    int accessMode = AccessMode::ReadWrite;

    static CVNDeviceEntityKeys read(const QJsonObject& json)
    {
        CVNDeviceEntityKeys keys;
        keys.name = json.value(QStringLiteral("name")).toString();
        keys.description = json.value(QStringLiteral("description")).toString();
        keys.command = json.value(QStringLiteral("command")).toString();
        keys.accessMode = AccessMode::fromText(json.value(QStringLiteral("access_mode")).toString());
        return keys;
    }
};

// Builds T from (interface, name, description, command, access mode); T's
// constructor sets its own defaults. The type string is T's own type name,
// T::staticTypeName(), which T's typeName() returns as well.
template <typename T>
class CVNDevicePropertyBuilderTemplate2 : public CVNDeviceEntityBuilder
{
public:
    QString typeName() const override { return T::staticTypeName(); }

    Entity* build(CVNDeviceInterface* interface, const QJsonObject& entityJson) override
    {
        const CVNDeviceEntityKeys keys = CVNDeviceEntityKeys::read(entityJson);
        if (keys.name.isEmpty())
            return new DevicePropertyNull(interface);
        T* property = new T(interface, keys.name, keys.description, keys.command, keys.accessMode);
        configure(property, entityJson);
        return property;
    }

protected:
    // Extra keys of a class; the template reads none.
    virtual void configure(T* property, const QJsonObject& entityJson)
    {
        (void)property;
        (void)entityJson;
    }
};

// A number template: the four keys, then "domain" {"begin", "end"}.
template <typename V>
class CVNDevicePropertyBuilderNumberTemplate : public CVNDevicePropertyBuilderTemplate2<DevicePropertyNumberTemplate<V>>
{
protected:
    void configure(DevicePropertyNumberTemplate<V>* property, const QJsonObject& entityJson) override
    {
        const QJsonValue domain = entityJson.value(QStringLiteral("domain"));
        if (!domain.isObject())
            return;
        const QJsonObject bounds = domain.toObject();
        property->setDomain(bounds.value(QStringLiteral("begin")).toDouble(0),
                            bounds.value(QStringLiteral("end")).toDouble(0));
    }
};

// The words of a "values" array (non-text elements are skipped).
inline QStringList deviceEntityValueWords(const QJsonObject& entityJson)
{
    QStringList words;
    for (const QJsonValue& value : entityJson.value(QStringLiteral("values")).toArray()) {
        if (value.isString())
            words.append(value.toString());
    }
    return words;
}

// Enum and EnumList: the four keys plus "values".
template <typename T>
class CVNDevicePropertyBuilderValues : public CVNDevicePropertyBuilderTemplate2<T>
{
protected:
    void configure(T* property, const QJsonObject& entityJson) override
    {
        property->setValues(deviceEntityValueWords(entityJson));
    }
};

// "Function": "name", "arg_exp", "description", "command".
class DeviceFunctionBuilder : public CVNDeviceEntityBuilder
{
public:
    QString typeName() const override { return QStringLiteral("Function"); }

    Entity* build(CVNDeviceInterface* interface, const QJsonObject& entityJson) override
    {
        const QString name = entityJson.value(QStringLiteral("name")).toString();
        if (name.isEmpty())
            return new DeviceFunctionNull(interface);
        return new DeviceFunction(interface, name, entityJson.value(QStringLiteral("command")).toString(),
                                  entityJson.value(QStringLiteral("description")).toString(),
                                  entityJson.value(QStringLiteral("arg_exp")).toString());
    }
};

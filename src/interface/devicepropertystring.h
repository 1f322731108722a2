#pragma once

#include "interface/deviceentitybuilder.h"
#include "interface/deviceproperty.h"

// Free text; the words of a write are joined by single spaces.
class DevicePropertyString : public DeviceProperty
{
public:
    DevicePropertyString(CVNDeviceInterface* interface, const QString& name, const QString& description,
                         const QString& command, int accessMode);

    static QString staticTypeName() { return QStringLiteral("String"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override { return QStringLiteral("value"); }
    QString cachedValue() const { return m_value; }

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override { m_value = value.toString(); }
    QString valueText() const override { return m_value; }
    QJsonValue cachedJson() const override { return m_value; }
    QVariant requestValue() const override { return m_value; }

private:
    QString m_value;
};

// "String" and "string": the four keys.
class DevicePropertyBuilderString : public CVNDevicePropertyBuilderTemplate2<DevicePropertyString>
{
};

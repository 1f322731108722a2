#pragma once

#include "interface/deviceentitybuilder.h"
#include "interface/deviceproperty.h"

#include <QStringList>

// One word out of a fixed set, stored in lower case.
class DevicePropertyEnum : public DeviceProperty
{
public:
    DevicePropertyEnum(CVNDeviceInterface* interface, const QString& name, const QString& description,
                       const QString& command, int accessMode);

    static QString staticTypeName() { return QStringLiteral("Enum"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override { return m_values.join(QStringLiteral(" | ")); }
    QJsonObject describe() const override;  // adds "values"

    void setValues(const QStringList& values) { m_values = values; }
    QStringList values() const { return m_values; }
    QString cachedValue() const { return m_value; }

    // The word in lower case when it is one of the admitted words.
    [[nodiscard]] bool admit(const QString& word, QString* stored) const;

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override { m_value = value.toString(); }
    QString valueText() const override { return m_value; }
    QJsonValue cachedJson() const override { return m_value; }
    QVariant requestValue() const override { return m_value; }

private:
    QStringList m_values;
    QString m_value;
};

// Several words out of a fixed set, kept in the order given.
class DevicePropertyEnumList : public DeviceProperty
{
public:
    DevicePropertyEnumList(CVNDeviceInterface* interface, const QString& name, const QString& description,
                           const QString& command, int accessMode);

    static QString staticTypeName() { return QStringLiteral("EnumList"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override { return m_values.join(QStringLiteral(" | ")); }
    QJsonObject describe() const override;  // adds "values"

    void setValues(const QStringList& values) { m_values = values; }
    QStringList values() const { return m_values; }
    QStringList cachedValue() const { return m_value; }

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override;
    QString valueText() const override { return m_value.join(QStringLiteral(", ")); }
    QJsonValue cachedJson() const override;
    QVariant requestValue() const override { return m_value.join(QLatin1Char(' ')); }

private:
    [[nodiscard]] bool admitAll(const QStringList& words, QStringList* stored) const;

    QStringList m_values;
    QStringList m_value;
};

// "Enum": the four keys plus "values".
class DevicePropertyBuilderEnum : public CVNDevicePropertyBuilderValues<DevicePropertyEnum>
{
};

// "EnumList": the four keys plus "values".
class DevicePropertyBuilderEnumList : public CVNDevicePropertyBuilderValues<DevicePropertyEnumList>
{
};

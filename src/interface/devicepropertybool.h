#pragma once

#include "interface/deviceproperty.h"

// A boolean: written as true/false, 1/0 or yes/no in any letter case.
class DevicePropertyBool : public DeviceProperty
{
public:
    DevicePropertyBool(CVNDeviceInterface* interface, const QString& name, const QString& description,
                       const QString& command, int accessMode);

    static QString staticTypeName() { return QStringLiteral("bool"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override { return QStringLiteral("true | false"); }
    bool cachedValue() const { return m_value; }

    // true for "true", "1", "yes"; false for "false", "0", "no"; else not ok.
    static bool parseWord(const QString& word, bool* ok);

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override;
    QString valueText() const override;
    QJsonValue cachedJson() const override { return m_value; }
    QVariant requestValue() const override { return m_value; }

private:
    bool m_value = false;
};

#pragma once

#include "interface/deviceproperty.h"

#include <QByteArray>

// Raw bytes, written as "[b, b, ...]" in C notation and read back as signed
// decimal bytes; JSON carries them as Base64 text.
class DevicePropertyByteArray : public DeviceProperty
{
public:
    // Longest array a write may give.
    static constexpr int MaxWriteBytes = 65536;

    DevicePropertyByteArray(CVNDeviceInterface* interface, const QString& name, const QString& description,
                            const QString& command, int accessMode);

    static QString staticTypeName() { return QStringLiteral("ByteArray"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override { return QStringLiteral("'['b, b, ...']'"); }
    QByteArray cachedValue() const { return m_value; }

    // The bytes of "[1, 0x10, 017]"; false for anything else.
    [[nodiscard]] static bool parseArray(const QString& text, QByteArray* bytes);
    static QString formatArray(const QByteArray& bytes);

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override;
    QString valueText() const override { return formatArray(m_value); }
    QJsonValue cachedJson() const override;
    QVariant requestValue() const override { return m_value; }

private:
    QByteArray m_value;
};

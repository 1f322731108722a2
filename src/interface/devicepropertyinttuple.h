#pragma once

#include "interface/deviceproperty.h"

#include <QVector>

// A fixed number of integers, written and read as decimal words separated by
// spaces. Base of the pair and triple properties.
class DevicePropertyIntTuple : public DeviceProperty
{
public:
    DevicePropertyIntTuple(CVNDeviceInterface* interface, const QString& name, const QString& description,
                           const QString& command, int accessMode, int count);

    QVector<int> cachedValue() const { return m_value; }
    int count() const { return m_value.size(); }

    // The integers of a reply value: a list, a point or size, or text.
    [[nodiscard]] static bool fromVariant(const QVariant& value, int count, QVector<int>* numbers);

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override;
    QString valueText() const override;
    QJsonValue cachedJson() const override;
    QVariant requestValue() const override;

private:
    [[nodiscard]] static bool parseWords(const QStringList& words, int count, QVector<int>* numbers);

    QVector<int> m_value;
};

#include "interface/devicepropertymatrix3x3.h"

#include <QJsonArray>
#include <QTransform>

#include <cmath>

DevicePropertyMatrix3x3::DevicePropertyMatrix3x3(CVNDeviceInterface* interface, const QString& name,
                                                 const QString& description, const QString& command, int accessMode)
    : DeviceProperty(interface, name, description, command, accessMode)
{
}

DevicePropertyMatrix3x3::Matrix DevicePropertyMatrix3x3::fromTransform(const QTransform& t)
{
    return {t.m11(), t.m12(), t.m13(), t.m21(), t.m22(), t.m23(), t.m31(), t.m32(), t.m33()};
}

QTransform DevicePropertyMatrix3x3::toTransform(const Matrix& m)
{
    return QTransform(m[0], m[1], m[2], m[3], m[4], m[5], m[6], m[7], m[8]);
}

QString DevicePropertyMatrix3x3::writeWords(const QStringList& words)
{
    if (!isWritable())
        return notWritableText();
    if (words.size() != 9)
        return QStringLiteral("Invalid number of arguments");
    Matrix parsed{};
    for (int i = 0; i < 9; ++i) {
        bool ok = false;
        parsed[size_t(i)] = words.at(i).trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(parsed[size_t(i)]))
            return QStringLiteral("Invalid parameters");
    }
    m_value = parsed;
    return QString();
}

bool DevicePropertyMatrix3x3::assignJson(const QJsonValue& value)
{
    const QJsonArray array = value.toArray();
    if (!value.isArray() || array.size() != 9)
        return false;
    Matrix parsed{};
    for (int i = 0; i < 9; ++i) {
        if (!array.at(i).isDouble())
            return false;
        parsed[size_t(i)] = array.at(i).toDouble();
    }
    m_value = parsed;
    return true;
}

void DevicePropertyMatrix3x3::assignReply(const QVariant& value)
{
    m_value = value.canConvert<QTransform>() ? fromTransform(value.value<QTransform>()) : fromTransform(QTransform());
}

QString DevicePropertyMatrix3x3::valueText() const
{
    QString text = QStringLiteral("\n%1 %2 %3\n%4 %5 %6\n%7 %8 %9");
    for (double number : m_value)
        text = text.arg(QString::number(number, 'g', 6));
    return text;
}

QJsonValue DevicePropertyMatrix3x3::cachedJson() const
{
    QJsonArray array;
    for (double number : m_value)
        array.append(number);
    return array;
}

QVariant DevicePropertyMatrix3x3::requestValue() const
{
    return QVariant::fromValue(toTransform(m_value));
}

void DevicePropertyMatrix3x3::replyTaken(const CVNDeviceRequest& reply)
{
    if (reply.type == CVNDeviceRequest::Set)
        refreshDependents();
}

#include "interface/devicepropertybytearray.h"

#include <QStringList>

DevicePropertyByteArray::DevicePropertyByteArray(CVNDeviceInterface* interface, const QString& name,
                                                 const QString& description, const QString& command, int accessMode)
    : DeviceProperty(interface, name, description, command, accessMode)
{
}

bool DevicePropertyByteArray::parseArray(const QString& input, QByteArray* bytes)
{
    const QString text = input.simplified();
    if (!text.startsWith(QLatin1Char('[')) || !text.endsWith(QLatin1Char(']')) || text.count(QLatin1Char('[')) != 1
        || text.count(QLatin1Char(']')) != 1)
        return false;
    const QString inner = text.mid(1, text.size() - 2).trimmed();
    QByteArray result;
    if (!inner.isEmpty()) {
        const QStringList parts = inner.split(QLatin1Char(','));
        if (parts.size() > MaxWriteBytes)
            return false;
        for (const QString& part : parts) {
            bool ok = false;
            // Base 0: decimal, "0x" hexadecimal, leading "0" octal.
            const qulonglong number = part.trimmed().toULongLong(&ok, 0);
            if (!ok)
                return false;
            result.append(char(number & 0xFF));
        }
    }
    *bytes = result;
    return true;
}

QString DevicePropertyByteArray::formatArray(const QByteArray& bytes)
{
    QStringList numbers;
    numbers.reserve(bytes.size());
    for (char byte : bytes)
        numbers.append(QString::number(qint8(byte)));
    return QLatin1Char('[') + numbers.join(QLatin1Char(',')) + QLatin1Char(']');
}

QString DevicePropertyByteArray::writeWords(const QStringList& words)
{
    if (!isWritable())
        return notWritableText();
    QByteArray parsed;
    if (!parseArray(words.join(QLatin1Char(' ')), &parsed))
        return QStringLiteral("Malformed array");
    m_value = parsed;
    return QString();
}

bool DevicePropertyByteArray::assignJson(const QJsonValue& value)
{
    if (!value.isString())
        return false;
    auto decoded = QByteArray::fromBase64Encoding(value.toString().toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        return false;
    m_value = *decoded;
    return true;
}

void DevicePropertyByteArray::assignReply(const QVariant& value)
{
    // A text answer of the command channel becomes its UTF-8 bytes.
    m_value = value.type() == QVariant::String ? value.toString().toUtf8() : value.toByteArray();
}

QJsonValue DevicePropertyByteArray::cachedJson() const
{
    return QString::fromLatin1(m_value.toBase64());
}

#include "interface/devicepropertybool.h"

DevicePropertyBool::DevicePropertyBool(CVNDeviceInterface* interface, const QString& name,
                                       const QString& description, const QString& command, int accessMode)
    : DeviceProperty(interface, name, description, command, accessMode)
{
}

bool DevicePropertyBool::parseWord(const QString& word, bool* ok)
{
    const QString lower = word.trimmed().toLower();
    *ok = true;
    if (lower == QLatin1String("true") || lower == QLatin1String("1") || lower == QLatin1String("yes"))
        return true;
    if (lower == QLatin1String("false") || lower == QLatin1String("0") || lower == QLatin1String("no"))
        return false;
    *ok = false;
    return false;
}

QString DevicePropertyBool::writeWords(const QStringList& words)
{
    if (words.size() != 1)
        return QStringLiteral("Invalid arguments");
    if (!isWritable())
        return notWritableText();
    bool ok = false;
    const bool parsed = parseWord(words.first(), &ok);
    if (!ok)
        return QStringLiteral("Invalid parameter");
    m_value = parsed;
    return QString();
}

bool DevicePropertyBool::assignJson(const QJsonValue& value)
{
    if (value.isBool()) {
        m_value = value.toBool();
        return true;
    }
    if (value.isDouble()) {
        m_value = value.toDouble() != 0.0;
        return true;
    }
    if (!value.isString())
        return false;
    bool ok = false;
    const bool parsed = parseWord(value.toString(), &ok);
    if (ok)
        m_value = parsed;
    return ok;
}

void DevicePropertyBool::assignReply(const QVariant& value)
{
    if (value.type() == QVariant::Bool) {
        m_value = value.toBool();
        return;
    }
    bool ok = false;
    const bool parsed = parseWord(value.toString(), &ok);
    m_value = ok && parsed;
}

QString DevicePropertyBool::valueText() const
{
    return m_value ? QStringLiteral("true") : QStringLiteral("false");
}

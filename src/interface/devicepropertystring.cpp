#include "interface/devicepropertystring.h"

DevicePropertyString::DevicePropertyString(CVNDeviceInterface* interface, const QString& name,
                                           const QString& description, const QString& command, int accessMode)
    : DeviceProperty(interface, name, description, command, accessMode)
{
}

QString DevicePropertyString::writeWords(const QStringList& words)
{
    if (!isWritable())
        return notWritableText();
    const QString text = words.join(QLatin1Char(' '));
    // An empty value field is how the command channel asks for a value: it
    // would read, not write.
    if (text.isEmpty())
        return invalidArgumentText();
    m_value = text;
    return QString();
}

bool DevicePropertyString::assignJson(const QJsonValue& value)
{
    if (value.isString()) {
        if (value.toString().isEmpty())
            return false; // a query, not a write (see writeWords)
        m_value = value.toString();
        return true;
    }
    if (value.isDouble() || value.isBool()) {
        m_value = value.toVariant().toString();
        return true;
    }
    return false;
}

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
    m_value = words.join(QLatin1Char(' '));
    return QString();
}

bool DevicePropertyString::assignJson(const QJsonValue& value)
{
    if (value.isString()) {
        m_value = value.toString();
        return true;
    }
    if (value.isDouble() || value.isBool()) {
        m_value = value.toVariant().toString();
        return true;
    }
    return false;
}

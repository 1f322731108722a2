#include "interface/devicepropertynull.h"

#include "interface/accessmode.h"

DevicePropertyNull::DevicePropertyNull(CVNDeviceInterface* interface)
    : DeviceProperty(interface, QStringLiteral("null_device"), QStringLiteral("Null Device Property"), QString(),
                     AccessMode::ReadWrite)
{
}

QString DevicePropertyNull::execute(CVNEntityContext& context)
{
    (void)context;
    return typeName();
}

QString DevicePropertyNull::writeWords(const QStringList& words)
{
    (void)words;
    return typeName();
}

bool DevicePropertyNull::assignJson(const QJsonValue& value)
{
    (void)value;
    return false;
}

#include "interface/devicefunctionnull.h"

#include <QJsonObject>

DeviceFunctionNull::DeviceFunctionNull(CVNDeviceInterface* interface)
    : DeviceFunction(interface, QStringLiteral("null_symbol"), QStringLiteral("null_command"),
                     QStringLiteral("Null Device Function"), QStringLiteral("null_arguments"))
{
}

QString DeviceFunctionNull::execute(CVNEntityContext& context)
{
    (void)context;
    return QStringLiteral("null_device");
}

QJsonValue DeviceFunctionNull::result() const
{
    return QJsonObject{{QStringLiteral("value"), QStringLiteral("null_function")}};
}

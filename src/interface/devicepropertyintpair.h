#pragma once

#include "interface/devicepropertyinttuple.h"

// Two integers, "int int".
class DevicePropertyIntPair : public DevicePropertyIntTuple
{
public:
    DevicePropertyIntPair(CVNDeviceInterface* interface, const QString& name, const QString& description,
                          const QString& command, int accessMode)
        : DevicePropertyIntTuple(interface, name, description, command, accessMode, 2)
    {
    }

    static QString staticTypeName() { return QStringLiteral("(int, int)"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override { return QStringLiteral("int int"); }
};

#pragma once

#include "interface/devicepropertyinttuple.h"

// Three integers, "int int int".
class DevicePropertyIntTriple : public DevicePropertyIntTuple
{
public:
    DevicePropertyIntTriple(CVNDeviceInterface* interface, const QString& name, const QString& description,
                            const QString& command, int accessMode)
        : DevicePropertyIntTuple(interface, name, description, command, accessMode, 3)
    {
    }

    static QString staticTypeName() { return QStringLiteral("(int, int, int)"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override { return QStringLiteral("int int int"); }
};

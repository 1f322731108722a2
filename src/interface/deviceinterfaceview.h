#pragma once

#include "interface/deviceinterface.h"

// A named subset of a device interface's entities, shown to clients
// ("basic", "advanced", "corvane_link", ...). It owns nothing; every device
// operation goes to the interface it selects from.
class DeviceInterfaceView : public CVNDeviceInterface
{
    Q_OBJECT
public:
    DeviceInterfaceView(const QString& name, CVNDeviceInterface* parentInterface);
};

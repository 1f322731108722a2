#include "interface/deviceinterfaceview.h"

DeviceInterfaceView::DeviceInterfaceView(const QString& name, CVNDeviceInterface* parentInterface)
    : CVNDeviceInterface(name, nullptr, parentInterface)
{
}

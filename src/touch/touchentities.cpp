#include "touch/touchentities.h"

#include "interface/deviceentitybuilder.h"
#include "interface/deviceinterfacebuilder.h"
#include "touch/devicepropertytouchentities.h"
#include "touch/devicepropertytouches.h"

void registerTouchEntities()
{
    (void)DeviceInterfaceBuilder::registerBuilderType<CVNDevicePropertyBuilderTemplate2<DevicePropertyTouches>>(
        DevicePropertyTouches::staticTypeName());
    (void)DeviceInterfaceBuilder::registerBuilderType<CVNDevicePropertyBuilderTemplate2<DevicePropertyTouchEntities>>(
        DevicePropertyTouchEntities::staticTypeName());
}

#include "tuio/tuioentities.h"

#include "interface/deviceentitybuilder.h"
#include "interface/deviceinterfacebuilder.h"
#include "tuio/devicepropertytuio.h"

void registerTuioEntities()
{
    (void)DeviceInterfaceBuilder::registerBuilderType<CVNDevicePropertyBuilderTemplate2<DevicePropertyTuio>>(
        DevicePropertyTuio::staticTypeName());
}

#include "properties/tuningentities.h"

#include "interface/deviceentitybuilder.h"
#include "interface/deviceinterfacebuilder.h"
#include "properties/devicepropertyautotune.h"
#include "properties/devicepropertytunevasta.h"

void registerTuningEntities()
{
    DeviceInterfaceBuilder::registerBuilderType<CVNDevicePropertyBuilderTemplate2<DevicePropertyAutoTune>>(
        QStringLiteral("AutoTune"));
    DeviceInterfaceBuilder::registerBuilderType<CVNDevicePropertyBuilderTemplate2<DevicePropertyTuneVasta>>(
        QStringLiteral("TuneVasta"));
}

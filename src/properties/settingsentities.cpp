#include "properties/settingsentities.h"

#include "device/hidroutetable.h"
#include "device/hidsettingsactions.h"
#include "interface/deviceinterfacebuilder.h"
#include "properties/devicepropertysettings.h"

void registerSettingsEntities()
{
    DeviceInterfaceBuilder::registerBuilderType<DevicePropertyBuilderSettings>(
        DevicePropertySettings::staticTypeName());
    CVNHidRouteTable::shared().setHandler(CVNHidRouteTable::Settings, &CVNHidSettingsActions::execute);
}

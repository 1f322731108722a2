#include "touch/objectentities.h"

#include "interface/deviceentitybuilder.h"
#include "interface/deviceinterfacebuilder.h"
#include "touch/orconfig.h"
#include "touch/touchentityprocessv1.h"
#include "touch/touchentityprocessv2.h"

void registerObjectEntities()
{
    (void)DeviceInterfaceBuilder::registerBuilderType<CVNDevicePropertyBuilderTemplate2<ORConfig>>(
        ORConfig::staticTypeName());
    TouchEntityProcess::setFactory([](int orSpec) -> std::unique_ptr<TouchEntityProcess> {
        if (orSpec == 1)
            return std::make_unique<TouchEntityProcessV1>();
        if (orSpec == 2)
            return std::make_unique<TouchEntityProcessV2>();
        return nullptr;
    });
}

#include "properties/sensorentities.h"

#include "device/hidroutetable.h"
#include "interface/deviceinterfacebuilder.h"
#include "properties/devicepropertyblobrejection.h"
#include "properties/devicepropertyenabledisablecells.h"
#include "properties/devicepropertyfoilh.h"
#include "properties/devicepropertyframe.h"
#include "properties/devicepropertygridtest.h"
#include "properties/devicepropertyshield.h"
#include "properties/hidcellmaskexchange.h"
#include "properties/hidfoilhealthexchange.h"
#include "properties/hidframeexchange.h"

void registerSensorEntities()
{
    DeviceInterfaceBuilder::registerBuilderType<DevicePropertyBuilderFrame>(QStringLiteral("Frame"));
    DeviceInterfaceBuilder::registerBuilderType<CVNDevicePropertyBuilderTemplate2<DevicePropertyEnableDisableCells>>(
        QStringLiteral("EnableDisableCells"));
    DeviceInterfaceBuilder::registerBuilderType<CVNDevicePropertyBuilderTemplate2<DevicePropertyBlobRejection>>(
        QStringLiteral("BlobRejection"));
    DeviceInterfaceBuilder::registerBuilderType<DevicePropertyBuilderFoilh>(QStringLiteral("FoilHealth"));
    DeviceInterfaceBuilder::registerBuilderType<CVNDevicePropertyBuilderTemplate2<DevicePropertyGridTest>>(
        QStringLiteral("GridTest"));
    DeviceInterfaceBuilder::registerBuilderType<CVNDevicePropertyBuilderTemplate2<DevicePropertyShieldVasta>>(
        QStringLiteral("ShieldVasta"));
    DeviceInterfaceBuilder::registerBuilderType<CVNDevicePropertyBuilderTemplate2<DevicePropertyShieldLyn>>(
        QStringLiteral("ShieldLyn"));
    DeviceInterfaceBuilder::registerBuilderType<CVNDevicePropertyBuilderTemplate2<DevicePropertyShieldTwinPoint>>(
        QStringLiteral("ShieldTwinPoint"));

    CVNHidRouteTable& routes = CVNHidRouteTable::shared();
    routes.setHandler(CVNHidRouteTable::Frame, &CVNHidFrameExchange::read);
    routes.setHandler(CVNHidRouteTable::EnableDisableCells, &CVNHidCellMaskExchange::execute);
    routes.setHandler(CVNHidRouteTable::FoilHealth, &CVNHidFoilHealthExchange::execute);
}

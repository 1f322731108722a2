#include "properties/calibrationentities.h"

#include "device/hidroutetable.h"
#include "interface/deviceentitybuilder.h"
#include "interface/deviceinterfacebuilder.h"
#include "properties/borderexchanges.h"
#include "properties/calibrationexchange.h"
#include "properties/devicepropertycalibration.h"
#include "properties/devicepropertycba.h"
#include "properties/devicepropertytouchcalibration.h"
#include "properties/devicepropertytouchsnaptoedge.h"

namespace
{

template <typename T> void registerProperty()
{
    (void)DeviceInterfaceBuilder::registerBuilderType<CVNDevicePropertyBuilderTemplate2<T>>(T::staticTypeName());
}

} // namespace

void registerCalibrationEntities()
{
    registerProperty<DevicePropertyCalibration>();
    registerProperty<DevicePropertyTouchCalibration>();
    registerProperty<DevicePropertyTouchSnapToEdge>();
    registerProperty<DevicePropertyCba>();

    CVNHidRouteTable& routes = CVNHidRouteTable::shared();
    routes.setHandler(CVNHidRouteTable::GeometricCalibration, &CVNCalibrationExchange::execute);
    routes.setHandler(CVNHidRouteTable::EdgeSnapping, &CVNBorderExchanges::edgeSnapping);
    routes.setHandler(CVNHidRouteTable::BorderAdjust, &CVNBorderExchanges::borderAdjust);
}

#include "server/entitybuilders.h"

#include "properties/calibrationentities.h"
#include "properties/sensorentities.h"
#include "properties/settingsentities.h"
#include "properties/tuningentities.h"
#include "touch/objectentities.h"
#include "touch/touchentities.h"
#include "tuio/tuioentities.h"

#include <mutex>

void registerEntityBuilders()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // One line per library of composite entities.
        registerSettingsEntities();
        registerCalibrationEntities();
        registerSensorEntities();
        registerTuningEntities();
        registerTouchEntities();
        registerTuioEntities();
        registerObjectEntities();
    });
}

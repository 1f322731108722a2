#include "server/entitybuilders.h"

#include "properties/sensorentities.h"

#include <mutex>

void registerEntityBuilders()
{
    static std::once_flag once;
    std::call_once(once, [] {
        // One line per library of composite entities, e.g.
        // registerCalibrationEntities();
        registerSensorEntities();
    });
}

#include "properties/sensorlog.h"

Q_LOGGING_CATEGORY(lcSensor, "corvane.properties")

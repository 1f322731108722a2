#pragma once

#include <QLoggingCategory>

// Trace messages of the sensor properties (frames, cells, diagnostics, shield).
Q_DECLARE_LOGGING_CATEGORY(lcSensor)

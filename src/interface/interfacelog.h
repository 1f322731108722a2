#pragma once

#include <QLoggingCategory>

// Trace messages of the device interface model.
Q_DECLARE_LOGGING_CATEGORY(lcInterface)

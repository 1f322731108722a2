#pragma once

#include <QLoggingCategory>

// Trace messages of the touch stream.
Q_DECLARE_LOGGING_CATEGORY(lcTouch)

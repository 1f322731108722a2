#pragma once

#include <QLoggingCategory>

// Trace category of the service host, the service controller and the entry point.
Q_DECLARE_LOGGING_CATEGORY(lcService)

#pragma once

#include <QLoggingCategory>

// The one logging category of device access.
Q_DECLARE_LOGGING_CATEGORY(lcDevice)

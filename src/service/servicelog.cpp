#include "service/servicelog.h"

Q_LOGGING_CATEGORY(lcService, "corvane.service")

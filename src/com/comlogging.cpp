#include "com/comlogging.h"

Q_LOGGING_CATEGORY(lcCom, "corvane.com")

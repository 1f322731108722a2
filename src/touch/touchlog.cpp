#include "touch/touchlog.h"

Q_LOGGING_CATEGORY(lcTouch, "corvane.touch")

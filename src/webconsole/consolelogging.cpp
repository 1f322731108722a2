#include "webconsole/consolelogging.h"

Q_LOGGING_CATEGORY(lcWebConsole, "corvane.webconsole")

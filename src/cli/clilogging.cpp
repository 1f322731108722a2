#include "cli/clilogging.h"

Q_LOGGING_CATEGORY(lcCli, "corvane.cli")

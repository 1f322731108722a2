#include "interface/interfacelog.h"

Q_LOGGING_CATEGORY(lcInterface, "corvane.interface")

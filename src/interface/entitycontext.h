#pragma once

#include "interface/filetable.h"

#include <QStringList>

// The text-command request handed to an entity's execute(): the argument
// words and the file table through which files travel to and from the client.
struct CVNEntityContext
{
    QStringList arguments;
    CVNFileTable fileTable;
    // Set by the entity when the command did not take effect (refused,
    // invalid, failed on the device); its text says why.
    bool failed = false;
};

#pragma once

#include "interface/filetable.h"

#include <QStringList>

#include <memory>

class CVNDeferredResult;

// The text-command request handed to an entity's execute(): the argument
// words and the file table through which files travel to and from the client.
struct CVNEntityContext
{
    QStringList arguments;
    CVNFileTable fileTable;
    // Set by the entity when the command did not take effect (refused,
    // invalid, failed on the device); its text says why.
    bool failed = false;
    // Set by a caller that can wait for a result that comes later; an
    // entity whose work goes on after execute() returns then leaves that
    // result in `deferred` instead of blocking.
    bool canDefer = false;
    std::shared_ptr<CVNDeferredResult> deferred;
};

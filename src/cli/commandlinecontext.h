#pragma once

#include "cli/context.h"
#include "cli/helptable.h"

#include <QString>

class CVNPendingOptionList;
class QTextStream;

// Whoever runs command-line options: a server session, the service client,
// the client application. Results are CVNOptionResult codes.
class CVNCommandLineContext : public CVNContext
{
public:
    // Executes pending options (removing the executed ones) until an option
    // does not answer Processed; `result` is the last code.
    virtual void consumeOptions(int& result, CVNPendingOptionList& options) = 0;
    // The help lines this context knows, by module. May answer Wait.
    virtual void helpTable(int& result, CVNHelpTable& table) = 0;
    // Version information of this context. May answer Wait.
    virtual void version(int& result, QString& text) = 0;
    // Where options print their text.
    virtual QTextStream& output() = 0;
};

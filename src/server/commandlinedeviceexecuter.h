#pragma once

#include "cli/commandlineexecuter.h"

// Runs options that no other executer knows as text commands of the
// session's selected device, by command word.
class CVNCommandLineDeviceExecuter : public CVNCommandLineExecuter
{
public:
    CVNCommandLineDeviceExecuter();

    void executeOne(int& result, CVNPendingOptionList& options, CVNCommandLineContext& context) override;
    // The device commands depend on the session's device; "device-help"
    // lists them. This executer adds no lines of its own.
    CVNHelpTable help() const override;
};

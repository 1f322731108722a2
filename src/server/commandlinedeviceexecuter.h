#pragma once

#include "cli/commandlineexecuter.h"

class CVNDeviceInterface;
class QTextStream;

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

    // The first pending option as a text command of the device: NotFound
    // (left pending) for a word the device does not know, FileOperation
    // (left pending with its file table) when files must travel, Error (left
    // pending) for an error text, else Processed (taken off).
    static int runDeviceCommand(CVNDeviceInterface& device, CVNPendingOptionList& options, QTextStream& out);
};

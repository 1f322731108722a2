#pragma once

#include "cli/commandlineexecuter.h"

#include <memory>

class CVNDeferredResult;
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
    // pending) for an error text, else Processed (taken off). With
    // `deferred`, a command whose result comes later answers Wait (left
    // pending) and leaves that result there; finishDeferred ends it.
    static int runDeviceCommand(CVNDeviceInterface& device, CVNPendingOptionList& options, QTextStream& out,
                                std::shared_ptr<CVNDeferredResult>* deferred = nullptr);
    // Ends the first pending option with the result that came later: its
    // text is printed; Processed (taken off) or Error (left pending, its
    // file contents dropped).
    static int finishDeferred(CVNPendingOptionList& options, const CVNDeferredResult& result, QTextStream& out);
};

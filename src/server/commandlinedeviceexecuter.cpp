#include "server/commandlinedeviceexecuter.h"

#include "cli/commandlinecontext.h"
#include "cli/optionresult.h"
#include "cli/pendingoption.h"
#include "interface/deferredresult.h"
#include "interface/deviceinterface.h"
#include "interface/entitycontext.h"
#include "server/serversession.h"

#include <QTextStream>

CVNCommandLineDeviceExecuter::CVNCommandLineDeviceExecuter()
    : CVNCommandLineExecuter(QStringLiteral("Device"))
{
}

CVNHelpTable CVNCommandLineDeviceExecuter::help() const
{
    return CVNHelpTable();
}

void CVNCommandLineDeviceExecuter::executeOne(int& result, CVNPendingOptionList& options,
                                              CVNCommandLineContext& context)
{
    CVNCommandLineExecuter::executeOne(result, options, context);
    if (result != CVNOptionResult::NotFound)
        return;
    auto* session = dynamic_cast<CVNServerSession*>(&context);
    CVNDeviceInterface* device = session ? session->findDevice(QString()) : nullptr;
    if (!device) {
        result = CVNOptionResult::NotFound;
        return;
    }

    std::shared_ptr<CVNDeferredResult> deferred;
    result = runDeviceCommand(*device, options, context.output(), session ? &deferred : nullptr);
    if (result == CVNOptionResult::Wait)
        session->waitFor(deferred);
}

int CVNCommandLineDeviceExecuter::runDeviceCommand(CVNDeviceInterface& device, CVNPendingOptionList& options,
                                                   QTextStream& out, std::shared_ptr<CVNDeferredResult>* deferred)
{
    if (options.isEmpty())
        return CVNOptionResult::Finished;
    CVNPendingOption& option = options.first();
    CVNEntityContext entityContext;
    entityContext.arguments = option.values;
    entityContext.fileTable = option.fileOperations;
    entityContext.canDefer = deferred != nullptr;
    const QString text = device.executeCommand(option.name, entityContext);
    if (deferred && entityContext.deferred) {
        // The file was taken: it need not travel back with the answer.
        option.fileOperations.clear();
        *deferred = entityContext.deferred;
        return CVNOptionResult::Wait;
    }
    if (!entityContext.fileTable.isEmpty()) {
        option.fileOperations = entityContext.fileTable;
        return CVNOptionResult::FileOperation;
    }
    if (text.contains(QLatin1String("unknow command"), Qt::CaseInsensitive) || text == QLatin1String("error"))
        return CVNOptionResult::NotFound;
    out << option.name << ": " << text << "\n";
    // A command that did not take effect (refused, invalid, failed on the
    // device) stays pending like a device error, so that the client tells.
    if (entityContext.failed || text.contains(QLatin1String("error"), Qt::CaseInsensitive))
        return CVNOptionResult::Error;
    options.takeFirst();
    return CVNOptionResult::Processed;
}

int CVNCommandLineDeviceExecuter::finishDeferred(CVNPendingOptionList& options, const CVNDeferredResult& result,
                                                 QTextStream& out)
{
    if (options.isEmpty())
        return CVNOptionResult::Finished;
    CVNPendingOption& option = options.first();
    out << option.name << ": " << result.text() << "\n";
    option.fileOperations.clear();
    // The work knows whether it succeeded; its text need not say "error".
    if (!result.succeeded())
        return CVNOptionResult::Error;
    options.takeFirst();
    return CVNOptionResult::Processed;
}

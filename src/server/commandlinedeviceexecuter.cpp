#include "server/commandlinedeviceexecuter.h"

#include "cli/commandlinecontext.h"
#include "cli/optionresult.h"
#include "cli/pendingoption.h"
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

    result = runDeviceCommand(*device, options, context.output());
}

int CVNCommandLineDeviceExecuter::runDeviceCommand(CVNDeviceInterface& device, CVNPendingOptionList& options,
                                                   QTextStream& out)
{
    if (options.isEmpty())
        return CVNOptionResult::Finished;
    CVNPendingOption& option = options.first();
    CVNEntityContext entityContext{option.values, option.fileOperations};
    const QString text = device.executeCommand(option.name, entityContext);
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

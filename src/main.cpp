// One program, two roles: started by systemd with the single argument "-e"
// (or "-exec") it is the service; started any other way it is the
// command-line tool that controls and queries the service.
#include "device/devicemanager.h"
#include "server/applicationserver.h"
#include "service/serviceclient.h"
#include "service/serviceserver.h"

#include "cli/applicationclient.h"

#include <QCoreApplication>
#include <QDebug>
#include <QStringList>

namespace
{

const QString kApplicationName = QStringLiteral("CorvaneService");
const QString kDescription = QStringLiteral(
    "Corvane Service application, the centralized application to communicate with Corvane devices");

// The program never logs: every trace message ends here.
void discardMessage(QtMsgType, const QMessageLogContext&, const QString&) { }

bool isServiceProcess(const QStringList& arguments)
{
    return arguments.size() == 2
        && (arguments.at(1) == QLatin1String("-e") || arguments.at(1) == QLatin1String("-exec"));
}

int runServer(int& argc, char** argv, const QStringList& arguments)
{
    qDebug() << "service process";
    // Before any thread exists: every thread started from here on leaves the
    // control signals to the service host's control thread.
    if (!CVNServiceServer::blockControlSignals())
        qWarning() << "cannot block the control signals";
    // The device manager and the application server need the core
    // application while they are built; the service host uses this one.
    QCoreApplication application(argc, argv);
    qDebug() << "server";
    CVNDeviceManager deviceManager;
    CVNApplicationServer applicationServer(&deviceManager);
    CVNServiceServer serviceServer(kApplicationName, kDescription, &applicationServer);
    serviceServer.addObserver(deviceManager.osObserver());
    return serviceServer.exec(arguments);
}

int runClient(int& argc, char** argv, const QStringList& arguments)
{
    qDebug() << "client";
    // The client application starts its discovery from the event loop, so
    // the core application comes first.
    QCoreApplication application(argc, argv);
    CVNApplicationClient applicationClient;
    CVNServiceClient serviceClient(kApplicationName, kDescription, &applicationClient);
    return serviceClient.run(arguments);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setSetuidAllowed(true);
    QCoreApplication::setOrganizationName(QStringLiteral("Corvane"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("corvane.com"));
    QCoreApplication::setApplicationName(kApplicationName);
    qInstallMessageHandler(discardMessage);
    qDebug() << "main start";

    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    const int exitCode
        = isServiceProcess(arguments) ? runServer(argc, argv, arguments) : runClient(argc, argv, arguments);
    qDebug() << "main end";
    return exitCode;
}

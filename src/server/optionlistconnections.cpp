#include "server/optionlistconnections.h"

#include "cli/commandlinecontext.h"
#include "cli/optionresult.h"
#include "com/commanager.h"
#include "server/applicationserver.h"
#include "server/serversession.h"

#include <QTextStream>

CVNOptionListConnections::CVNOptionListConnections(CVNApplicationServer* server)
    : CVNCommandLineOption({QStringLiteral("n"), QStringLiteral("list-clients")},
                           QStringLiteral("List all active clients connected to this host."))
    , m_server(server)
{
}

void CVNOptionListConnections::execute(int& result, const QStringList& values, CVNCommandLineContext& context)
{
    (void)values;
    QTextStream& out = context.output();
    out << names().first() << ":\n";
    int number = 0;
    for (CVNComConnection* connection : m_server->communicationManager()->connections()) {
        out << "\t" << number++ << ": " << CVNServerSession::clientTypeName(connection->peerType()) << " "
            << connection->endpoint().host() << ":" << connection->endpointPort() << "\n";
    }
    result = CVNOptionResult::Processed;
}

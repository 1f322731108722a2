#include "server/optionlistenclients.h"

#include "cli/commandlinecontext.h"
#include "cli/optionresult.h"
#include "server/applicationserver.h"

#include <QHostAddress>
#include <QTextStream>

namespace {
const QString kNetwork = QStringLiteral("True, listening to network clients.");
const QString kLocal = QStringLiteral("False, listening to localhost clients only.");
const QString kRestart = QStringLiteral(" Please restart the service to take effect.");
}

CVNOptionListenClients::CVNOptionListenClients(CVNApplicationServer* server)
    : CVNCommandLineOption({QStringLiteral("allow-network")},
                           QStringLiteral("Enables access from other hosts on the network."),
                           QStringLiteral("[true|false]"))
    , m_server(server)
{
}

void CVNOptionListenClients::execute(int& result, const QStringList& values, CVNCommandLineContext& context)
{
    QTextStream& out = context.output();
    if (values.isEmpty()) {
        out << (m_server->listenType() == QHostAddress::Any ? kNetwork : kLocal) << "\n";
        result = CVNOptionResult::Processed;
        return;
    }
    // The words are compared exactly: "TRUE" is no answer.
    static const QStringList yes{QStringLiteral("true"), QStringLiteral("yes"), QStringLiteral("1")};
    static const QStringList no{QStringLiteral("false"), QStringLiteral("no"), QStringLiteral("0")};
    const QString word = values.first();
    if (yes.contains(word)) {
        if (m_server->listenType() != QHostAddress::Any)
            m_server->setListenType(QHostAddress::Any);
    } else if (no.contains(word)) {
        if (m_server->listenType() == QHostAddress::Any)
            m_server->setListenType(QHostAddress::LocalHost);
    } else {
        out << "Invalid arguments\n";
        result = CVNOptionResult::Error;
        return;
    }
    out << (m_server->listenType() == QHostAddress::Any ? kNetwork : kLocal + kRestart) << "\n";
    result = CVNOptionResult::Processed;
}

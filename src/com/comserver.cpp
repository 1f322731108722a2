#include "com/comserver.h"

#include "com/comconnectiontcpsocket.h"
#include "com/commanager.h"
#include "com/comlogging.h"

#include <QTcpSocket>

CVNComServer::CVNComServer(CVNComManager* manager)
    : QObject(manager)
    , m_server(this)
    , m_manager(manager)
{
    connect(&m_server, &QTcpServer::newConnection, this, &CVNComServer::onNewConnection);
}

bool CVNComServer::listen(const QHostAddress& address)
{
    if (m_server.isListening())
        return true;
    const bool ok = m_server.listen(address, 0);
    qCDebug(lcCom) << "Local server is listening on port" << serverPort();
    if (!ok)
        qCWarning(lcCom) << "listen failed:" << m_server.errorString();
    return ok;
}

quint16 CVNComServer::serverPort() const
{
    return m_server.isListening() ? m_server.serverPort() : 0;
}

void CVNComServer::close()
{
    m_server.close();
}

void CVNComServer::onNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        const HostEndpoint endpoint(socket->peerAddress(), socket->peerPort());
        if (m_manager->hasConnection(endpoint)) {
            socket->close();
            socket->deleteLater();
            continue;
        }
        auto* connection = new CVNComConnectionTcpSocket(socket->peerAddress(), socket->peerPort(), socket, m_manager);
        connection->setTypes(m_manager->type(), Unknown);
        m_manager->addConnection(connection);
        qCDebug(lcCom) << "server receive connection" << endpoint.host() << endpoint.port();
    }
}

#include "com/comserver.h"

#include "com/binaryjson.h"
#include "com/comlimits.h"
#include "com/comconnectiontcpsocket.h"
#include "com/commanager.h"
#include "com/comlogging.h"

#include <QJsonObject>
#include <QTcpSocket>
#include <QTimer>

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
        if (m_manager->connections().size() >= m_maxConnections) {
            refuse(socket);
            continue;
        }
        auto* connection = new CVNComConnectionTcpSocket(socket->peerAddress(), socket->peerPort(), socket, m_manager);
        connection->setTypes(m_manager->type(), Unknown);
        m_manager->addConnection(connection);
        qCDebug(lcCom) << "server receive connection" << endpoint.host() << endpoint.port();
    }
}

QString CVNComServer::refusalText()
{
    return QStringLiteral("Too many client connections");
}

void CVNComServer::refuse(QTcpSocket* socket)
{
    qCWarning(lcCom) << "refusing client" << socket->peerAddress().toString() << socket->peerPort() << "with"
                     << m_manager->connections().size() << "client connections open";
    // One answer the client can show, then the connection ends: the socket
    // closes once the answer is out, and goes with the disconnection.
    socket->setParent(this);
    socket->setReadBufferSize(4096);
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    // A client that cannot even take the refusal is cut off.
    QTimer::singleShot(5000, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
    socket->write(CVNBinaryJson::encodeDocument(QJsonObject{{QStringLiteral("error"), refusalText()}}));
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState)
        socket->deleteLater();
}

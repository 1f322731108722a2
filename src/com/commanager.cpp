#include "com/commanager.h"

#include "com/comlogging.h"
#include "com/networkaddresses.h"

#include <QDateTime>

#include <atomic>

namespace {
std::atomic<int> g_nextInstanceNumber{1};

QString describe(const CVNComConnection* connection)
{
    return QStringLiteral("%1 %2 %3").arg(connectionTypeToText(connection->peerType()), connection->endpoint().host())
        .arg(connection->endpointPort());
}
} // namespace

CVNComManager::CVNComManager(ConnectionType type, QObject* parent)
    : QObject(parent)
    , m_type(type)
    , m_peerManager(type, this)
    , m_server(this)
    , m_instanceNumber(g_nextInstanceNumber++)
{
}

CVNComManager::~CVNComManager()
{
    // Connections die with this object; their last signals must not reach
    // a manager that is half destroyed.
    for (CVNComConnection* connection : qAsConst(m_connections))
        disconnect(connection, nullptr, this, nullptr);
}

QString CVNComManager::buildNodeId() const
{
    QString id = QStringLiteral("Corvane") + connectionTypeToText(m_type)
        + QString::number(QDateTime::currentMSecsSinceEpoch()) + QString::number(m_server.serverPort());
    for (const InterfaceAddress& entry : broadcastInterfaceAddresses())
        id += entry.ip.toString();
    return id + QString::number(m_instanceNumber);
}

void CVNComManager::start(QHostAddress::SpecialAddress address)
{
    m_listenAddress = address;
    m_nodeId = buildNodeId();
    qCDebug(lcCom) << "my id" << m_nodeId;
    if (m_type == Service)
        (void)m_server.listen(QHostAddress(address));
    m_peerManager.setServerPort(m_server.serverPort());
    m_peerManager.start(address);
}

void CVNComManager::stop()
{
    m_peerManager.stop();
    m_server.close();
}

CVNComConnection* CVNComManager::connection(const HostEndpoint& endpoint) const
{
    for (CVNComConnection* connection : m_connections) {
        if (connection->endpoint() == endpoint)
            return connection;
    }
    return nullptr;
}

CVNComConnection* CVNComManager::connection(const QHostAddress& address) const
{
    for (CVNComConnection* connection : m_connections) {
        if (connection->endpoint().matchesAddress(address))
            return connection;
    }
    return nullptr;
}

bool CVNComManager::hasConnectionWithIdPair(const QString& first, const QString& second) const
{
    const CVNComConnection::IdPair pair(first, second);
    const CVNComConnection::IdPair swapped(second, first);
    for (const CVNComConnection* connection : m_connections) {
        if (connection->idPair() == pair || connection->idPair() == swapped)
            return true;
    }
    return false;
}

void CVNComManager::addConnection(CVNComConnection* connection)
{
    if (!connection || m_connections.contains(connection))
        return;
    qCDebug(lcCom) << "new connection" << describe(connection) << connection->idPair().first
                   << connection->idPair().second;
    m_connections.append(connection);
    connect(connection, &CVNComConnection::disconnected, this, &CVNComManager::connectionClosed);
    connect(connection, &CVNComConnection::stateChanged, this, &CVNComManager::onConnectionStateChanged);
    emit addedConnection(connection);
}

void CVNComManager::connectionClosed()
{
    removeConnection(qobject_cast<CVNComConnection*>(sender()));
}

void CVNComManager::onConnectionStateChanged(QAbstractSocket::SocketState state)
{
    // An outgoing connection that never came up reports no disconnected();
    // without this it would stay listed and block every later attempt.
    if (state == QAbstractSocket::UnconnectedState)
        removeConnection(qobject_cast<CVNComConnection*>(sender()));
}

void CVNComManager::removeConnection(CVNComConnection* connection)
{
    if (!connection || !m_connections.contains(connection))
        return;
    qCDebug(lcCom) << "remove connection" << describe(connection);
    m_connections.removeAll(connection);
    connection->disconnectFromHost();
    emit removedConnection(connection);
    connection->deleteLater();
}

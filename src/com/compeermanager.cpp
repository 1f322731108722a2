#include "com/compeermanager.h"

#include "com/comconnectiontcpsocket.h"
#include "com/comlimits.h"
#include "com/comlogging.h"
#include "com/commanager.h"
#include "com/discoverydatagram.h"
#include "com/hostendpoint.h"
#include "com/networkaddresses.h"

CVNComPeerManager::CVNComPeerManager(ConnectionType type, CVNComManager* manager)
    : QObject(manager)
    , m_type(type)
    , m_manager(manager)
    , m_socket(this)
    , m_sendTimer(this)
    , m_discoveryPort(CVNComLimits::kDiscoveryPort)
{
    m_sendTimer.setInterval(CVNComLimits::kBroadcastIntervalMs);
    connect(&m_sendTimer, &QTimer::timeout, this, &CVNComPeerManager::sendBroadcastDatagramClient);
}

void CVNComPeerManager::start(QHostAddress::SpecialAddress address)
{
    // A restart must not leave the earlier binding or handlers in place.
    stop();
    disconnect(&m_socket, &QUdpSocket::readyRead, this, nullptr);
    m_listenAddress = address;
    m_discoveryDatagram = DiscoveryDatagram::buildDiscovery(m_serverPort, m_type, m_manager->nodeId());
    refreshAddressLists();

    if (m_type == Service) {
        bindSocket(address, m_discoveryPort);
        connect(&m_socket, &QUdpSocket::readyRead, this, &CVNComPeerManager::readBroadcastDatagramService);
        return;
    }
    if (!isClientConnectionType(m_type))
        return;
    bindSocket(address, 0);
    connect(&m_socket, &QUdpSocket::readyRead, this, &CVNComPeerManager::readBroadcastDatagramClient);
    sendBroadcastDatagramClient();
    m_sendTimer.start();
}

void CVNComPeerManager::stop()
{
    m_sendTimer.stop();
    m_socket.close();
}

bool CVNComPeerManager::bindSocket(QHostAddress::SpecialAddress address, quint16 port)
{
    const bool ok = m_socket.bind(QHostAddress(address), port,
                                  QUdpSocket::ShareAddress | QUdpSocket::ReuseAddressHint);
    if (!ok)
        qCWarning(lcCom) << "discovery socket bind failed on port" << port << m_socket.errorString();
    return ok;
}

void CVNComPeerManager::refreshAddressLists()
{
    m_broadcastTargets.clear();
    m_ownAddresses.clear();
    m_broadcastTargets.append(QHostAddress(QHostAddress::LocalHost));
    // A socket bound to the loopback address cannot reach other interfaces,
    // so their broadcast addresses are only targets when listening on all.
    const bool loopbackOnly = m_listenAddress == QHostAddress::LocalHost;
    for (const InterfaceAddress& entry : broadcastInterfaceAddresses()) {
        if (!loopbackOnly)
            m_broadcastTargets.append(entry.broadcast);
        m_ownAddresses.append(entry.ip);
    }
}

void CVNComPeerManager::sendBroadcastDatagramClient()
{
    bool failed = false;
    for (const QHostAddress& target : qAsConst(m_broadcastTargets)) {
        if (m_socket.writeDatagram(m_discoveryDatagram, target, m_discoveryPort) < 0)
            failed = true;
    }
    if (failed)
        refreshAddressLists();
}

void CVNComPeerManager::readBroadcastDatagramService()
{
    readPendingDatagrams(&CVNComPeerManager::handleServiceDatagram);
}

void CVNComPeerManager::readBroadcastDatagramClient()
{
    readPendingDatagrams(&CVNComPeerManager::handleClientDatagram);
}

void CVNComPeerManager::readPendingDatagrams(DatagramHandler handler)
{
    QByteArray data;
    for (int i = 0; i < CVNComLimits::kMaxDatagramsPerRead && m_socket.hasPendingDatagrams(); ++i) {
        const qint64 size = m_socket.pendingDatagramSize();
        QHostAddress sender;
        quint16 senderPort = 0;
        if (size < 0 || size > CVNComLimits::kMaxDatagramSize) {
            // Unreadable or oversized: discard unread.
            (void)m_socket.readDatagram(nullptr, 0);
            continue;
        }
        data.resize(int(size));
        const qint64 read = m_socket.readDatagram(data.data(), size, &sender, &senderPort);
        if (read < 0)
            continue;
        data.resize(int(read));
        (this->*handler)(data, sender, senderPort);
    }
}

void CVNComPeerManager::handleServiceDatagram(const QByteArray& data, const QHostAddress& sender, quint16 senderPort)
{
    const auto datagram = DiscoveryDatagram::accept(data, m_type, m_manager->nodeId());
    if (!datagram)
        return;
    if (datagram->frameType == QLatin1String(DiscoveryDatagram::kFrameDiscovery)) {
        m_socket.writeDatagram(m_discoveryDatagram, sender, senderPort);
        return;
    }
    if (datagram->frameType != QLatin1String(DiscoveryDatagram::kFrameConnectionInfo))
        return;
    const HostEndpoint endpoint(sender.toString(), datagram->communicationPort);
    CVNComConnection* connection = m_manager->connection(endpoint);
    if (!connection)
        return;
    connection->setTypes(m_type, datagram->type);
    connection->setIdPair(m_manager->nodeId(), datagram->id);
    qCDebug(lcCom) << "service set connection id port" << endpoint.host() << endpoint.port()
                   << connection->idPair().first << connection->idPair().second;
}

void CVNComPeerManager::handleClientDatagram(const QByteArray& data, const QHostAddress& sender, quint16 /*senderPort*/)
{
    const auto datagram = DiscoveryDatagram::accept(data, m_type, m_manager->nodeId());
    if (!datagram || !datagram->hasServerPort)
        return;
    // A service that does not name a usable TCP port cannot be connected to.
    const int port = datagram->serverPort;
    if (port <= 0 || port > 0xFFFF)
        return;
    for (const QHostAddress& own : qAsConst(m_ownAddresses)) {
        if (own.isEqual(sender, QHostAddress::TolerantConversion) && port == m_serverPort)
            return;
    }
    const HostEndpoint endpoint(sender, quint16(port));
    if (m_manager->hasConnection(endpoint) || m_manager->hasConnectionWithIdPair(datagram->id, m_manager->nodeId()))
        return;

    auto* connection = new CVNComConnectionTcpSocket(sender, quint16(port), m_manager);
    connection->setTypes(m_type, datagram->type);
    connection->setIdPair(datagram->id, m_manager->nodeId());
    connect(connection, &CVNComConnection::connected, this, &CVNComPeerManager::establishConnection);
    // Listed before connecting, so that a connect that fails at once is
    // already seen (and removed) by the manager.
    m_manager->addConnection(connection);
    connection->connectToHost(sender, quint16(port));
    qCDebug(lcCom) << "peer create connection" << endpoint.host() << endpoint.port() << datagram->id
                   << m_manager->nodeId();
}

void CVNComPeerManager::establishConnection()
{
    auto* connection = qobject_cast<CVNComConnection*>(sender());
    if (!connection)
        return;
    const QByteArray info = DiscoveryDatagram::buildConnectionInfo(m_serverPort, m_type, m_manager->nodeId(),
                                                                   connection->localPort());
    m_socket.writeDatagram(info, connection->endpointAddress(), m_discoveryPort);
}

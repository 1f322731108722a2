// Discovery and connections between managers on loopback. These bind the
// discovery socket on a port the system chooses, never the fixed one.
#include "comtesthelpers.h"

#include "com/discoverydatagram.h"

#include <QTcpServer>
#include <QUdpSocket>

#include <gtest/gtest.h>

using comtest::waitUntil;

namespace {

// A manager on loopback; discovery port 0 lets the system choose one.
std::unique_ptr<CVNComManager> started(ConnectionType type, quint16 discoveryPort = 0)
{
    auto manager = std::make_unique<CVNComManager>(type);
    manager->setDiscoveryPort(discoveryPort);
    manager->start(QHostAddress::LocalHost);
    return manager;
}

// A UDP socket on loopback that plays another node.
struct Probe {
    QUdpSocket socket;
    Probe() { EXPECT_TRUE(socket.bind(QHostAddress(QHostAddress::LocalHost), 0)); }
    void send(const QByteArray& datagram, quint16 port)
    {
        socket.writeDatagram(datagram, QHostAddress(QHostAddress::LocalHost), port);
    }
    QList<QByteArray> received;
    bool waitForDatagrams(int count)
    {
        return waitUntil([&] {
            while (socket.hasPendingDatagrams()) {
                QByteArray data(int(socket.pendingDatagramSize()), '\0');
                socket.readDatagram(data.data(), data.size());
                received.append(data);
            }
            return received.size() >= count;
        });
    }
};

struct Listener {
    QTcpServer server;
    Listener() { EXPECT_TRUE(server.listen(QHostAddress(QHostAddress::LocalHost), 0)); }
    quint16 port() const { return server.serverPort(); }
};

} // namespace

TEST(ComManager, ClientRepeatsItsBroadcastPassOnTheTimerAndAfterRestart)
{
    Probe probe;
    auto client = started(VeilCLI, probe.socket.localPort());
    ASSERT_TRUE(probe.waitForDatagrams(1));  // the pass at start
    ASSERT_TRUE(probe.waitForDatagrams(2));  // the first timer tick
    EXPECT_EQ(probe.received.at(1), client->peerManager().discoveryDatagram());

    client->stop();
    client->start(QHostAddress::LocalHost);
    ASSERT_TRUE(probe.waitForDatagrams(3));
    EXPECT_EQ(probe.received.at(2), client->peerManager().discoveryDatagram());
    const auto datagram = DiscoveryDatagram::accept(probe.received.at(2), Service, "svc");
    ASSERT_TRUE(datagram);
    EXPECT_EQ(datagram->id, client->nodeId());
    EXPECT_EQ(datagram->serverPort, 0);
}

TEST(ComManager, ServiceIgnoresServicesAndItsOwnDatagrams)
{
    auto service = started(Service);
    auto otherService = started(Service);
    EXPECT_NE(otherService->nodeId(), service->nodeId());  // unique per instance, not per type
    Probe probe;
    const quint16 port = service->peerManager().boundPort();
    probe.send(otherService->peerManager().discoveryDatagram(), port);
    probe.send(service->peerManager().discoveryDatagram(), port);
    probe.send(DiscoveryDatagram::buildDiscovery(0, VeilCLI, service->nodeId()), port);  // own id
    probe.send(QByteArray("not a document"), port);
    probe.send(DiscoveryDatagram::buildDiscovery(0, VeilCLI, "client-1"), port);

    ASSERT_TRUE(probe.waitForDatagrams(1));
    EXPECT_EQ(probe.received.size(), 1);
    EXPECT_EQ(probe.received.first(), service->peerManager().discoveryDatagram());
    EXPECT_TRUE(service->connections().isEmpty());
}

TEST(ComManager, ClientsIgnoreClientsAndDatagramsWithTheirOwnId)
{
    Probe probe;  // stands in for the discovery port: receives the client's broadcasts
    auto client = started(VeilCLI, probe.socket.localPort());
    auto otherClient = started(DesktopLink, probe.socket.localPort());
    ASSERT_TRUE(probe.waitForDatagrams(2));

    Listener wrong;
    Listener right;
    const quint16 clientPort = client->peerManager().boundPort();
    probe.send(otherClient->peerManager().discoveryDatagram(), clientPort);
    probe.send(DiscoveryDatagram::buildDiscovery(wrong.port(), VeilCLI, "client-x"), clientPort);
    probe.send(DiscoveryDatagram::buildDiscovery(wrong.port(), Service, client->nodeId()), clientPort);
    probe.send(DiscoveryDatagram::buildDiscovery(0, Service, "service-no-port"), clientPort);
    probe.send(DiscoveryDatagram::buildDiscovery(right.port(), Service, "service-1"), clientPort);

    ASSERT_TRUE(waitUntil([&] { return !client->connections().isEmpty(); }));
    ASSERT_EQ(client->connections().size(), 1);
    EXPECT_EQ(client->connections().first()->endpointPort(), right.port());
    EXPECT_EQ(client->connections().first()->idPair(), CVNComConnection::IdPair("service-1", client->nodeId()));
    EXPECT_FALSE(wrong.server.hasPendingConnections());
    EXPECT_TRUE(otherClient->connections().isEmpty());
}

TEST(ComManager, ConnectionToAVanishedServiceIsRemovedAndRetried)
{
    Probe probe;
    auto client = started(VeilCLI, probe.socket.localPort());
    QTcpServer gone;
    ASSERT_TRUE(gone.listen(QHostAddress(QHostAddress::LocalHost), 0));
    const quint16 port = gone.serverPort();
    gone.close();

    int removed = 0;
    QObject::connect(client.get(), &CVNComManager::removedConnection, [&] { ++removed; });
    const QByteArray answer = DiscoveryDatagram::buildDiscovery(port, Service, "service-gone");
    probe.send(answer, client->peerManager().boundPort());
    ASSERT_TRUE(waitUntil([&] { return removed == 1; }));
    EXPECT_TRUE(client->connections().isEmpty());

    // The service comes back on that port: the next answer connects.
    QTcpServer back;
    ASSERT_TRUE(back.listen(QHostAddress(QHostAddress::LocalHost), port));
    probe.send(answer, client->peerManager().boundPort());
    ASSERT_TRUE(waitUntil([&] {
        return client->connections().size() == 1
            && client->connections().first()->state() == QAbstractSocket::ConnectedState;
    }));
}

// Connecting itself is proven on the fixed port; here the lookups by address
// and id pair, and what a stop keeps.
TEST(ComManager, ConnectionLookupsThenStopKeepsConnectionsAndRestartUsesTheNewAddress)
{
    auto service = started(Service);
    auto client = started(VeilCLI, service->peerManager().boundPort());
    EXPECT_FALSE(client->server().isListening());  // a client never listens on TCP
    ASSERT_TRUE(waitUntil([&] {
        return service->connections().size() == 1 && service->connections().first()->peerType() == VeilCLI;
    }));
    ASSERT_EQ(client->connections().size(), 1);
    CVNComConnection* clientSide = client->connections().first();
    CVNComConnection* serviceSide = service->connections().first();
    EXPECT_EQ(clientSide->localType(), VeilCLI);
    EXPECT_EQ(serviceSide->endpointPort(), clientSide->localPort());
    EXPECT_EQ(service->connection(QHostAddress("::ffff:127.0.0.1")), serviceSide);
    EXPECT_EQ(service->connection(HostEndpoint(QHostAddress(QHostAddress::LocalHost), clientSide->localPort())), serviceSide);
    EXPECT_FALSE(service->hasConnection(HostEndpoint(QHostAddress(QHostAddress::LocalHost), 1)));
    EXPECT_FALSE(service->hasConnection(QHostAddress("10.9.9.9")));
    EXPECT_TRUE(service->hasConnectionWithIdPair(client->nodeId(), service->nodeId()));
    EXPECT_FALSE(service->hasConnectionWithIdPair(client->nodeId(), "someone else"));
    const QString firstId = service->nodeId();

    service->stop();
    EXPECT_FALSE(service->server().isListening());
    EXPECT_EQ(service->peerManager().boundPort(), 0);
    EXPECT_EQ(service->connections().size(), 1);

    service->start(QHostAddress::Any);
    EXPECT_EQ(service->listenAddress(), QHostAddress::Any);
    EXPECT_TRUE(service->server().isListening());
    EXPECT_EQ(service->server().serverAddress(), QHostAddress(QHostAddress::Any));
    EXPECT_NE(service->nodeId(), firstId);

    // A second client still reaches the restarted service through loopback.
    auto second = started(CloudLink, service->peerManager().boundPort());
    ASSERT_TRUE(waitUntil([&] {
        return service->connections().size() == 2 && service->connections().at(1)->peerType() == CloudLink;
    }));
    EXPECT_EQ(service->connections().at(1)->idPair(), CVNComConnection::IdPair(service->nodeId(), second->nodeId()));
}

// Discovery on the fixed port 45001, on loopback only.
#include "../../unit/com/comtesthelpers.h"

#include "com/comlimits.h"
#include "com/discoverydatagram.h"

#include <QTcpServer>
#include <QUdpSocket>

#include <gtest/gtest.h>

using comtest::waitUntil;

TEST(Discovery, ClientFindsServiceOnTheDiscoveryPortAndIsAnswered)
{
    CVNComManager service(Service);
    service.start(QHostAddress::LocalHost);
    ASSERT_EQ(service.peerManager().boundPort(), CVNComLimits::kDiscoveryPort);
    comtest::EchoResponder responder(&service);

    CVNComManager client(VeilCLI);
    QList<CVNComConnection*> added;
    QObject::connect(&client, &CVNComManager::addedConnection, [&](CVNComConnection* c) { added.append(c); });
    client.start(QHostAddress::LocalHost);

    ASSERT_TRUE(waitUntil([&] {
        return service.connections().size() == 1 && service.connections().first()->peerType() == VeilCLI;
    }));
    ASSERT_EQ(added.size(), 1);
    CVNComConnection* connection = added.first();
    EXPECT_EQ(connection->idPair(), CVNComConnection::IdPair(service.nodeId(), client.nodeId()));
    EXPECT_EQ(service.connections().first()->idPair(), connection->idPair());

    // A request goes through and is answered.
    CVNDocumentChannel channel(connection, CVNDocumentChannel::Mode::LastDocument);
    QJsonObject answer;
    QObject::connect(&channel, &CVNDocumentChannel::documentReceived,
                     [&](const QJsonDocument& document) { answer = document.object(); });
    connection->writeDocument(comtest::request(5));
    ASSERT_TRUE(waitUntil([&] { return !answer.isEmpty(); }));
    EXPECT_EQ(answer.value("echo").toObject(), comtest::request(5));

    // The next broadcast pass is answered again but opens nothing new.
    QUdpSocket probe;
    ASSERT_TRUE(probe.bind(QHostAddress(QHostAddress::LocalHost), 0));
    client.peerManager().sendBroadcastDatagramClient();
    probe.writeDatagram(DiscoveryDatagram::buildDiscovery(0, DesktopLink, "probe-client"),
                        QHostAddress(QHostAddress::LocalHost), CVNComLimits::kDiscoveryPort);
    // The service answers in arrival order: once the probe has its answer,
    // the client's answer is queued at the client ahead of the marker below.
    ASSERT_TRUE(waitUntil([&] { return probe.hasPendingDatagrams(); }));
    QTcpServer marker;
    ASSERT_TRUE(marker.listen(QHostAddress(QHostAddress::LocalHost), 0));
    probe.writeDatagram(DiscoveryDatagram::buildDiscovery(marker.serverPort(), Service, "marker-service"),
                        QHostAddress(QHostAddress::LocalHost), client.peerManager().boundPort());
    ASSERT_TRUE(waitUntil([&] { return added.size() >= 2; }));
    EXPECT_EQ(added.size(), 2);
    EXPECT_EQ(added.at(1)->endpointPort(), marker.serverPort());
    EXPECT_EQ(service.connections().size(), 1);

    client.stop();
    service.stop();
    EXPECT_EQ(service.peerManager().boundPort(), 0);
}

TEST(Discovery, RestartedServiceBindsTheDiscoveryPortAgain)
{
    CVNComManager service(Service);
    service.start(QHostAddress::LocalHost);
    service.stop();
    service.start(QHostAddress::LocalHost);
    ASSERT_EQ(service.peerManager().boundPort(), CVNComLimits::kDiscoveryPort);

    QUdpSocket probe;
    ASSERT_TRUE(probe.bind(QHostAddress(QHostAddress::LocalHost), 0));
    probe.writeDatagram(DiscoveryDatagram::buildDiscovery(0, VeilCLI, "probe-client"),
                        QHostAddress(QHostAddress::LocalHost), CVNComLimits::kDiscoveryPort);
    ASSERT_TRUE(waitUntil([&] { return probe.hasPendingDatagrams(); }));
    QByteArray data(int(probe.pendingDatagramSize()), '\0');
    probe.readDatagram(data.data(), data.size());
    // Answered with the datagram of the current start.
    EXPECT_EQ(data, service.peerManager().discoveryDatagram());
    const auto answer = DiscoveryDatagram::accept(data, VeilCLI, "probe-client");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->serverPort, service.server().serverPort());
    EXPECT_EQ(answer->id, service.nodeId());
}

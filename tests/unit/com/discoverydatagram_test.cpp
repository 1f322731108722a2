#include "com/binaryjson.h"
#include "com/discoverydatagram.h"
#include "com/networkaddresses.h"

#include <QJsonArray>

#include <gtest/gtest.h>

TEST(DiscoveryDatagram, ConnectionInfoCarriesTheCommunicationPort)
{
    const auto info = DiscoveryDatagram::accept(DiscoveryDatagram::buildConnectionInfo(0, DesktopLink, "cli", 5555), Service, "svc");
    ASSERT_TRUE(info);
    EXPECT_EQ(info->frameType, "connection_info");
    EXPECT_EQ(info->communicationPort, 5555);
}

TEST(DiscoveryDatagram, AcceptanceRulesByType)
{
    const ConnectionType all[] = {Unknown, Service, VeilCLI, DesktopLink, CloudLink};
    for (ConnectionType own : all) {
        for (ConnectionType peer : all) {
            const bool expected = (own == Service && peer != Service && peer != Unknown)
                || (own != Service && own != Unknown && peer == Service);
            const auto datagram = DiscoveryDatagram::accept(DiscoveryDatagram::buildDiscovery(1, peer, "peer"), own, "me");
            EXPECT_EQ(bool(datagram), expected) << own << " receiving " << peer;
        }
    }
}

TEST(DiscoveryDatagram, RejectsOwnIdMissingFieldsAndGarbage)
{
    EXPECT_FALSE(DiscoveryDatagram::accept(DiscoveryDatagram::buildDiscovery(1, Service, "me"), VeilCLI, "me"));
    EXPECT_FALSE(DiscoveryDatagram::accept(DiscoveryDatagram::buildDiscovery(1, Service, ""), VeilCLI, "me"));
    EXPECT_FALSE(DiscoveryDatagram::accept(CVNBinaryJson::encodeDocument(QJsonObject{{"type", "Service"}}), VeilCLI, "me"));
    EXPECT_FALSE(DiscoveryDatagram::accept(CVNBinaryJson::encodeDocument(QJsonObject{{"type", "Service"}, {"id", 5}}), VeilCLI, "me"));
    EXPECT_FALSE(DiscoveryDatagram::accept(CVNBinaryJson::encodeDocument(QJsonObject{{"id", "x"}}), VeilCLI, "me"));
    EXPECT_FALSE(DiscoveryDatagram::accept(CVNBinaryJson::encodeDocument(QJsonDocument(QJsonArray({1, 2}))), VeilCLI, "me"));
    EXPECT_FALSE(DiscoveryDatagram::accept(QByteArray(), VeilCLI, "me"));
    EXPECT_FALSE(DiscoveryDatagram::accept(QByteArray("qbjs\x01\x00\x00\x00garbage", 15), VeilCLI, "me"));
    const QByteArray valid = DiscoveryDatagram::buildDiscovery(1, Service, "svc");
    EXPECT_FALSE(DiscoveryDatagram::accept(valid.left(valid.size() - 1), VeilCLI, "me"));

    // Without "server_port" a datagram is accepted but says so.
    const auto noPort = DiscoveryDatagram::accept(
        CVNBinaryJson::encodeDocument(QJsonObject{{"type", "Service"}, {"id", "svc"}, {"server_port", "x"}}), VeilCLI, "me");
    ASSERT_TRUE(noPort);
    EXPECT_TRUE(noPort->hasServerPort);
    EXPECT_EQ(noPort->serverPort, 0);
}

TEST(NetworkAddresses, LoopbackAndIpv6EntriesDoNotQualify)
{
    const QList<InterfaceAddress> entries = broadcastInterfaceAddresses();
    for (const InterfaceAddress& entry : entries) {
        EXPECT_NE(entry.ip, QHostAddress(QHostAddress::LocalHost));
        EXPECT_FALSE(entry.broadcast.isNull());
        EXPECT_EQ(entry.ip.protocol(), QAbstractSocket::IPv4Protocol);
    }
}

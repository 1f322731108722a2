#include "com/connectiontype.h"
#include "com/hostendpoint.h"

#include <gtest/gtest.h>

TEST(ConnectionType, TextFormsRoundTripAndUnknownOutsideRange)
{
    for (ConnectionType type : {Service, VeilCLI, DesktopLink, CloudLink})
        EXPECT_EQ(connectionTypeFromText(connectionTypeToText(type)), type);
    EXPECT_EQ(connectionTypeToText(VeilCLI), "VeilCLI");
    EXPECT_EQ(connectionTypeToText(Unknown), "Unknown");
    EXPECT_EQ(connectionTypeToText(ConnectionType(5)), "Unknown");
    EXPECT_EQ(connectionTypeToText(ConnectionType(-1)), "Unknown");
    EXPECT_EQ(connectionTypeFromText("service"), Unknown);  // case-sensitive
    EXPECT_EQ(connectionTypeFromText("Service "), Unknown); // whole text
    EXPECT_EQ(connectionTypeFromText(""), Unknown);
    EXPECT_EQ(connectionTypeFromText("Unknown"), Unknown);
}

TEST(HostEndpoint, FromTextAddressAndPortIsSplitAtLastColon)
{
    const HostEndpoint endpoint = HostEndpoint::fromText("192.168.1.20:3333");
    EXPECT_EQ(endpoint.host(), "192.168.1.20");
    EXPECT_EQ(endpoint.port(), 3333);
    EXPECT_EQ(endpoint.path(), "");
}

TEST(HostEndpoint, FromTextBareAddressIsHostAndPath)
{
    const HostEndpoint endpoint = HostEndpoint::fromText("192.168.1.20");
    EXPECT_EQ(endpoint.host(), "192.168.1.20");
    EXPECT_EQ(endpoint.port(), -1);
    EXPECT_EQ(endpoint.path(), "192.168.1.20");
}

TEST(HostEndpoint, FromTextOtherForms)
{
    const HostEndpoint url = HostEndpoint::fromText("tuio://10.0.0.5:3333/stream");
    EXPECT_EQ(url.host(), "10.0.0.5");
    EXPECT_EQ(url.port(), 3333);
    EXPECT_EQ(url.path(), "/stream");

    // A host name with a port is not read as a URL scheme.
    const HostEndpoint named = HostEndpoint::fromText("localhost:3333");
    EXPECT_EQ(named.host(), "localhost");
    EXPECT_EQ(named.port(), 3333);

    const HostEndpoint badPort = HostEndpoint::fromText("10.0.0.1:abc");
    EXPECT_EQ(badPort.host(), "10.0.0.1");
    EXPECT_EQ(badPort.port(), 0);

    const HostEndpoint empty = HostEndpoint::fromText("");
    EXPECT_EQ(empty.host(), "");
    EXPECT_EQ(empty.port(), -1);
}

TEST(HostEndpoint, TextFormOmitsPortUnlessPositive)
{
    EXPECT_EQ(HostEndpoint("10.0.0.1", 0).toString(), "10.0.0.1");
    EXPECT_EQ(HostEndpoint("10.0.0.1", -1).toString(), "10.0.0.1");
    EXPECT_EQ(HostEndpoint("10.0.0.1", 3333).toString(), "10.0.0.1:3333");
    EXPECT_EQ(HostEndpoint("10.0.0.1", 3333, "p").toString(), "10.0.0.1:3333/p");
    EXPECT_EQ(HostEndpoint(QHostAddress("127.0.0.1"), 80).toString(), "127.0.0.1:80");

    const QUrl url = HostEndpoint("10.0.0.1", 3333).toUrl();
    EXPECT_EQ(url.host(), "10.0.0.1");
    EXPECT_EQ(url.port(), 3333);
}

TEST(HostEndpoint, EqualityIsTolerantForMappedAddresses)
{
    EXPECT_EQ(HostEndpoint("::ffff:10.0.0.1", 5, "x"), HostEndpoint("10.0.0.1", 5, "x"));
    EXPECT_NE(HostEndpoint("::ffff:10.0.0.1", 5), HostEndpoint("10.0.0.1", 6));
    EXPECT_NE(HostEndpoint("10.0.0.1", 5, "a"), HostEndpoint("10.0.0.1", 5, "b"));
    EXPECT_NE(HostEndpoint("10.0.0.1", 5), HostEndpoint("10.0.0.2", 5));
    // Host names are not addresses: they compare by name, never as "both null".
    EXPECT_NE(HostEndpoint("alpha", 5), HostEndpoint("beta", 5));
    EXPECT_EQ(HostEndpoint("Alpha", 5), HostEndpoint("alpha", 5));
}

TEST(HostEndpoint, AddressMatchIgnoresPortAndPath)
{
    const HostEndpoint endpoint("::ffff:127.0.0.1", 99, "p");
    EXPECT_TRUE(endpoint.matchesAddress(QHostAddress("127.0.0.1")));
    EXPECT_FALSE(endpoint.matchesAddress(QHostAddress("127.0.0.2")));
    EXPECT_FALSE(HostEndpoint("somehost", 1).matchesAddress(QHostAddress()));
}

#include "com/hostendpoint.h"

#include <gtest/gtest.h>

TEST(HostEndpoint, FromText)
{
    struct Case {
        const char* text;
        const char* host;
        int port;
        const char* path;  // nullptr: not checked
    };
    const Case cases[] = {
        {"192.168.1.20:3333", "192.168.1.20", 3333, ""},  // split at the last colon
        {"192.168.1.20", "192.168.1.20", -1, "192.168.1.20"},
        {"tuio://10.0.0.5:3333/stream", "10.0.0.5", 3333, "/stream"},
        {"localhost:3333", "localhost", 3333, nullptr},  // a host name is no URL scheme
        {"10.0.0.1:abc", "10.0.0.1", 0, nullptr},
        {"", "", -1, nullptr},
    };
    for (const Case& c : cases) {
        const HostEndpoint endpoint = HostEndpoint::fromText(c.text);
        EXPECT_EQ(endpoint.host(), c.host) << c.text;
        EXPECT_EQ(endpoint.port(), c.port) << c.text;
        if (c.path)
            EXPECT_EQ(endpoint.path(), c.path) << c.text;
    }
}

TEST(HostEndpoint, TextFormOmitsPortUnlessPositive)
{
    EXPECT_EQ(HostEndpoint("10.0.0.1", 0).toString(), "10.0.0.1");
    EXPECT_EQ(HostEndpoint("10.0.0.1", -1).toString(), "10.0.0.1");
    EXPECT_EQ(HostEndpoint("10.0.0.1", 3333).toString(), "10.0.0.1:3333");
    EXPECT_EQ(HostEndpoint("10.0.0.1", 3333, "p").toString(), "10.0.0.1:3333/p");
    EXPECT_EQ(HostEndpoint(QHostAddress("127.0.0.1"), 80).toString(), "127.0.0.1:80");
    EXPECT_EQ(HostEndpoint("10.0.0.1", 3333).toUrl().port(), 3333);
}

TEST(HostEndpoint, EqualityAndAddressMatchAreTolerantForMappedAddresses)
{
    EXPECT_EQ(HostEndpoint("::ffff:10.0.0.1", 5, "x"), HostEndpoint("10.0.0.1", 5, "x"));
    EXPECT_NE(HostEndpoint("::ffff:10.0.0.1", 5), HostEndpoint("10.0.0.1", 6));
    EXPECT_NE(HostEndpoint("10.0.0.1", 5, "a"), HostEndpoint("10.0.0.1", 5, "b"));
    EXPECT_NE(HostEndpoint("10.0.0.1", 5), HostEndpoint("10.0.0.2", 5));
    // Host names are not addresses: they compare by name, never as "both null".
    EXPECT_NE(HostEndpoint("alpha", 5), HostEndpoint("beta", 5));
    EXPECT_EQ(HostEndpoint("Alpha", 5), HostEndpoint("alpha", 5));

    // The address match ignores port and path.
    const HostEndpoint endpoint("::ffff:127.0.0.1", 99, "p");
    EXPECT_TRUE(endpoint.matchesAddress(QHostAddress("127.0.0.1")));
    EXPECT_FALSE(endpoint.matchesAddress(QHostAddress("127.0.0.2")));
    EXPECT_FALSE(HostEndpoint("somehost", 1).matchesAddress(QHostAddress()));
}

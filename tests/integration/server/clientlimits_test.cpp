// The cap on client connections, seen by real TCP clients of the service core->
#include "serverharness.h"

#include "com/commanager.h"
#include "device/devicemanager.h"
#include "server/applicationserver.h"
#include "server/serverlimits.h"

#include <gtest/gtest.h>

using namespace ServerTest;

using ClientLimits = CoreOnSim;

TEST_F(ClientLimits, ClientsBeyondTheCapAreRefusedWithAnAnswer)
{
    startWith({"vasta:0200000001A3:2.005"}, false);
    core->server()->communicationManager()->server().setMaxConnections(2);
    const QJsonObject ping{{"key", "ping"}, {"id", 1}};

    TestClient first;
    TestClient second;
    ASSERT_TRUE(first.connectTo(core->port()));
    ASSERT_TRUE(second.connectTo(core->port()));
    ASSERT_TRUE(waitUntil([&] { return core->server()->sessions().size() == 2; }));

    TestClient refused;
    ASSERT_TRUE(refused.connectTo(core->port()));
    EXPECT_EQ(refused.nextResponse(), (QJsonObject{{"error", "Too many client connections"}}));
    EXPECT_TRUE(waitUntil([&] { return refused.socket.state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(core->server()->sessions().size(), 2);

    EXPECT_EQ(first.action(ping)["value"].toString(), "alive");
    EXPECT_EQ(second.action(ping)["value"].toString(), "alive");

    // A place that comes free is taken by the next client.
    first.socket.disconnectFromHost();
    ASSERT_TRUE(waitUntil([&] { return core->server()->sessions().size() == 1; }));
    TestClient next;
    ASSERT_TRUE(next.connectTo(core->port()));
    EXPECT_EQ(next.action(ping)["value"].toString(), "alive");
}

TEST_F(ClientLimits, CommandLinesPrintingTooMuchStopAndGiveBackTheirRemainingOptions)
{
    startWith({"vasta:0200000001A3:2.005"});

    QJsonArray parser;
    for (int i = 0; i < CVNServerLimits::kMaxCliOptions; ++i)
        parser.append(TestClient::option("device-help"));
    const QJsonObject answer = client->cli(parser);
    const QJsonArray output = answer["output"].toArray();
    ASSERT_GE(output.size(), 2);
    EXPECT_EQ(output[output.size() - 2].toString(), "Output of the request too large, remaining options not executed");
    EXPECT_EQ(answer["status"].toString(), "Error");
    const int remaining = answer["parser"].toArray().size();
    EXPECT_GT(remaining, 0);
    EXPECT_LT(remaining, CVNServerLimits::kMaxCliOptions);
    qint64 printed = 0;
    for (const QJsonValue& line : output)
        printed += line.toString().size() + 1;
    EXPECT_GT(printed, CVNServerLimits::kMaxAnswerBytes);
    EXPECT_LT(printed, CVNServerLimits::kMaxAnswerBytes + 16 * 1024);

    // A command line within the bound is run whole.
    const QJsonObject small = client->cli({TestClient::option("device-help")});
    EXPECT_EQ(small["status"].toString(), "Finished");
    EXPECT_TRUE(small["parser"].toArray().isEmpty());
}

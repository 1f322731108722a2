#include "device/hidexchange.h"
#include "device/devicehid.h"
#include "device/hidexchanges.h"

#include "fakeusb.h"

#include <gtest/gtest.h>

namespace
{

struct ExchangeFixture : ::testing::Test {
    std::shared_ptr<FakeController> controller = FakeController::standard();
    CVNDeviceParent* parent = new CVNDeviceParent(QStringLiteral("0200000001A3"), QStringLiteral("2.005"), 2);
    CVNDeviceHid* hid = new CVNDeviceHid(parent, std::make_unique<FakeHandle>(controller));

    ExchangeFixture() { parent->addChild(hid); }
    ~ExchangeFixture() override { delete parent; }

    CVNDeviceRequest run(const CVNDeviceRequest& request)
    {
        const CVNDeviceReplies replies = executeHidRequest(*hid, request);
        EXPECT_EQ(replies.size(), 1);
        const CVNDeviceRequest reply = replies.value(request.id);
        EXPECT_EQ(reply.id, request.id);
        EXPECT_EQ(reply.name, request.name);
        return reply;
    }
    static CVNDeviceRequest make(quint8 type, const char* name, const QVariant& value = QVariant())
    {
        CVNDeviceRequest request(type, QLatin1String(name), 42);
        request.value = value;
        return request;
    }
};

} // namespace

TEST_F(ExchangeFixture, EmptyRequestsMakeNoExchange)
{
    EXPECT_TRUE(executeHidRequest(*hid, CVNDeviceRequest()).isEmpty());
    EXPECT_TRUE(
        executeHidRequest(*hid, CVNDeviceRequest(CVNDeviceRequest::None, QStringLiteral("th"), 3)).isEmpty());
    EXPECT_TRUE(executeHidRequest(*hid, CVNDeviceRequest(CVNDeviceRequest::Get, QString(), 3)).isEmpty());
    EXPECT_EQ(controller->transfers, 0);
}

TEST_F(ExchangeFixture, GenericQuerySetAndCall)
{
    controller->registers["th"] = "120";
    CVNDeviceRequest reply = run(make(CVNDeviceRequest::Get, "th"));
    EXPECT_EQ(reply.type, CVNDeviceRequest::Get);
    EXPECT_EQ(reply.value.toString(), QStringLiteral("120"));
    EXPECT_EQ(controller->commands.last(), QStringLiteral("th "));

    reply = run(make(CVNDeviceRequest::Set, "th", 1.5));
    EXPECT_EQ(reply.value.toString(), QStringLiteral("1.5"));
    EXPECT_EQ(controller->commands.last(), QStringLiteral("th 1.5"));

    controller->registers["recal"] = "idle"; // the fake echoes what it was given
    CVNDeviceRequest call = make(CVNDeviceRequest::Call, "recal");
    call.arguments = { 3, QStringLiteral("x") };
    reply = run(call);
    EXPECT_EQ(reply.type, CVNDeviceRequest::Call);
    EXPECT_EQ(reply.value.toString(), QStringLiteral("3 x"));
    EXPECT_EQ(controller->commands.last(), QStringLiteral("recal 3 x"));
}

TEST_F(ExchangeFixture, ErrorInAnyCaseBecomesAnErrorReply)
{
    controller->registers["th"] = "ERROR42";
    const CVNDeviceRequest reply = run(make(CVNDeviceRequest::Get, "th"));
    EXPECT_EQ(reply.type, CVNDeviceRequest::Error);
    EXPECT_EQ(reply.text, QStringLiteral("ERROR42"));

    const CVNDeviceRequest unknown = run(make(CVNDeviceRequest::Set, "nosuch", true));
    EXPECT_EQ(unknown.type, CVNDeviceRequest::Error);
    EXPECT_EQ(unknown.text, QStringLiteral("error: unknown command"));
}

TEST_F(ExchangeFixture, GainKeepsTheFirstWord)
{
    controller->registers["gain"] = "4 7";
    EXPECT_EQ(run(make(CVNDeviceRequest::Get, "gain")).value.toString(), QStringLiteral("4"));
}

TEST_F(ExchangeFixture, BooleanExchange)
{
    controller->registers["tinv"] = "0";
    CVNDeviceRequest reply = run(make(CVNDeviceRequest::Set, "tinv", true));
    EXPECT_EQ(controller->commands.last(), QStringLiteral("tinv 1"));
    EXPECT_EQ(reply.value.userType(), QMetaType::Bool);
    EXPECT_TRUE(reply.value.toBool());
    reply = run(make(CVNDeviceRequest::Set, "tinv", false));
    EXPECT_EQ(controller->commands.last(), QStringLiteral("tinv 0"));
    EXPECT_FALSE(reply.value.toBool());
}

TEST_F(ExchangeFixture, PairAndTripleExchanges)
{
    controller->registers["thbound"] = "10 20";
    CVNDeviceRequest reply = run(make(CVNDeviceRequest::Get, "thbound"));
    EXPECT_EQ(reply.value.toList(), QVariantList({ 10, 20 }));

    reply = run(make(CVNDeviceRequest::Set, "thbound", QVariantList { 3, 4 }));
    EXPECT_EQ(controller->commands.last(), QStringLiteral("thbound 3 4"));
    EXPECT_EQ(reply.value.toList(), QVariantList({ 3, 4 }));

    controller->registers["fsize"] = "17";
    reply = run(make(CVNDeviceRequest::Get, "fsize"));
    EXPECT_EQ(reply.type, CVNDeviceRequest::Error);
    EXPECT_EQ(reply.text, QStringLiteral("Unknown result"));

    const int before = controller->transfers;
    reply = run(make(CVNDeviceRequest::Set, "flogs", QVariantList { 1, 2, 3 }));
    EXPECT_EQ(reply.type, CVNDeviceRequest::Error);
    EXPECT_EQ(controller->transfers, before); // nothing sent for a malformed value

    controller->registers["cfo"] = "1  2 3";
    reply = run(make(CVNDeviceRequest::Get, "cfo"));
    EXPECT_EQ(reply.value.toList(), QVariantList({ 1, 2, 3 }));
    reply = run(make(CVNDeviceRequest::Set, "te2fnref", QStringLiteral("4 5 6")));
    EXPECT_EQ(controller->commands.last(), QStringLiteral("te2fnref 4 5 6"));
}

TEST_F(ExchangeFixture, TouchesReadTheTouchReport)
{
    controller->touchReport = QByteArray(161, '\0');
    controller->touchReport[0] = 13;
    controller->touchReport[1] = 5; // identifier
    controller->touchReport[2] = 1; // flags
    const CVNDeviceRequest reply = run(make(CVNDeviceRequest::Get, "touches"));
    const QByteArray frame = reply.value.toByteArray();
    ASSERT_EQ(frame.size(), 256);
    EXPECT_EQ(frame.at(0), 13);
    EXPECT_EQ(frame.at(1), 1);
    EXPECT_EQ(frame.at(2), 5);
    EXPECT_EQ(frame.at(61), 1);
    EXPECT_TRUE(controller->commands.isEmpty()); // no command report involved
}

TEST(HidRouteTable, RowsAreTestedInOrder)
{
    const auto route = [](quint8 type, const char* name, const QVariant& value = QVariant()) {
        CVNDeviceRequest request(type, QLatin1String(name), 1);
        request.value = value;
        return CVNHidRouteTable().route(request);
    };
    EXPECT_EQ(route(1, "touches"), CVNHidRouteTable::Touches);
    EXPECT_EQ(route(1, "gain"), CVNHidRouteTable::Gain);
    EXPECT_EQ(route(4, "thbound"), CVNHidRouteTable::Pair);
    EXPECT_EQ(route(2, "cfo", true), CVNHidRouteTable::Triple);
    EXPECT_EQ(route(4, "autotune", true), CVNHidRouteTable::Function);
    EXPECT_EQ(route(2, "tinv", true), CVNHidRouteTable::Boolean);
    EXPECT_EQ(route(2, "th", 3), CVNHidRouteTable::Generic);
    // Composite rows without a handler fall through.
    EXPECT_EQ(route(1, "frame"), CVNHidRouteTable::Generic);

    EXPECT_TRUE(
        CVNHidRouteTable::matches(CVNHidRouteTable::BorderAdjust, CVNDeviceRequest(1, "x.CBA.top", 1)));
    EXPECT_TRUE(
        CVNHidRouteTable::matches(CVNHidRouteTable::Settings, CVNDeviceRequest(1, "Settings.load", 1)));
    EXPECT_TRUE(
        CVNHidRouteTable::matches(CVNHidRouteTable::FoilHealth, CVNDeviceRequest(1, "FOILH.state", 1)));
    EXPECT_TRUE(CVNHidRouteTable::matches(CVNHidRouteTable::EdgeSnapping, CVNDeviceRequest(1, "tste_x", 1)));
    EXPECT_FALSE(CVNHidRouteTable::matches(CVNHidRouteTable::EdgeSnapping, CVNDeviceRequest(1, "TSTE_x", 1)));
    EXPECT_FALSE(CVNHidRouteTable::matches(CVNHidRouteTable::Gain, CVNDeviceRequest(1, "GAIN", 1)));
}

TEST_F(ExchangeFixture, InstalledCompositeTakesItsRowBeforeLaterRows)
{
    CVNHidRouteTable table;
    table.setHandler(CVNHidRouteTable::Settings, [](CVNDeviceHid&, const CVNDeviceRequest& request) {
        CVNDeviceRequest reply = request.makeReply();
        reply.value = QStringLiteral("settings");
        return reply;
    });
    // "settings.foilh.x" matches both Settings and FoilHealth: the earlier row wins.
    CVNDeviceRequest request(CVNDeviceRequest::Get, QStringLiteral("settings.foilh.x"), 9);
    EXPECT_EQ(table.route(request), CVNHidRouteTable::Settings);
    const CVNDeviceReplies replies = table.execute(*hid, request);
    EXPECT_EQ(replies.value(9).value.toString(), QStringLiteral("settings"));
    EXPECT_EQ(controller->transfers, 0);
}

#include "device/hidexchange.h"
#include "device/hidexchanges.h"

#include "fakeusb.h"

#include <gtest/gtest.h>

namespace
{

struct ExchangeFixture : HidFixture {
    CVNDeviceRequest run(
        quint8 type, const char* name, const QVariant& value = QVariant(), const QVariantList& arguments = {})
    {
        CVNDeviceRequest request(type, QLatin1String(name), 42);
        request.value = value;
        request.arguments = arguments;
        const CVNDeviceReplies replies = executeHidRequest(*hid, request);
        EXPECT_EQ(replies.size(), 1);
        const CVNDeviceRequest reply = replies.value(42);
        EXPECT_EQ(reply.id, 42u);
        EXPECT_EQ(reply.name, request.name);
        return reply;
    }
    QString sent() const { return controller->commands.value(controller->commands.size() - 1); }
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

TEST_F(ExchangeFixture, GenericBooleanAndFunctionExchanges)
{
    controller->registers["th"] = "120";
    CVNDeviceRequest reply = run(CVNDeviceRequest::Get, "th");
    EXPECT_EQ(reply.type, CVNDeviceRequest::Get);
    EXPECT_EQ(reply.value.toString(), QStringLiteral("120"));
    EXPECT_EQ(sent(), QStringLiteral("th "));
    EXPECT_EQ(run(CVNDeviceRequest::Set, "th", 1.5).value.toString(), QStringLiteral("1.5"));
    EXPECT_EQ(sent(), QStringLiteral("th 1.5"));

    controller->registers["tinv"] = "0";
    reply = run(CVNDeviceRequest::Set, "tinv", true);
    EXPECT_EQ(sent(), QStringLiteral("tinv 1"));
    EXPECT_EQ(reply.value.userType(), QMetaType::Bool);
    EXPECT_TRUE(reply.value.toBool());
    EXPECT_FALSE(run(CVNDeviceRequest::Set, "tinv", false).value.toBool());
    EXPECT_EQ(sent(), QStringLiteral("tinv 0"));

    controller->registers["recal"] = "idle"; // the fake echoes what it was given
    reply = run(CVNDeviceRequest::Call, "recal", QVariant(), { 3, QStringLiteral("x") });
    EXPECT_EQ(reply.type, CVNDeviceRequest::Call);
    EXPECT_EQ(reply.value.toString(), QStringLiteral("3 x"));
    EXPECT_EQ(sent(), QStringLiteral("recal 3 x"));
}

TEST_F(ExchangeFixture, ErrorInAnyCaseBecomesAnErrorReply)
{
    controller->registers["th"] = "ERROR42";
    CVNDeviceRequest reply = run(CVNDeviceRequest::Get, "th");
    EXPECT_EQ(reply.type, CVNDeviceRequest::Error);
    EXPECT_EQ(reply.text, QStringLiteral("ERROR42"));

    reply = run(CVNDeviceRequest::Set, "nosuch", true);
    EXPECT_EQ(reply.type, CVNDeviceRequest::Error);
    EXPECT_EQ(reply.text, QStringLiteral("error: unknown command"));
}

TEST_F(ExchangeFixture, GainPairAndTripleExchanges)
{
    controller->registers["gain"] = "4 7";
    EXPECT_EQ(run(CVNDeviceRequest::Get, "gain").value.toString(), QStringLiteral("4"));

    controller->registers["thbound"] = "10 20";
    EXPECT_EQ(run(CVNDeviceRequest::Get, "thbound").value.toList(), QVariantList({ 10, 20 }));
    EXPECT_EQ(
        run(CVNDeviceRequest::Set, "thbound", QVariantList { 3, 4 }).value.toList(), QVariantList({ 3, 4 }));
    EXPECT_EQ(sent(), QStringLiteral("thbound 3 4"));

    controller->registers["fsize"] = "17";
    CVNDeviceRequest reply = run(CVNDeviceRequest::Get, "fsize");
    EXPECT_EQ(reply.type, CVNDeviceRequest::Error);
    EXPECT_EQ(reply.text, QStringLiteral("Unknown result"));

    const int before = controller->transfers;
    EXPECT_EQ(run(CVNDeviceRequest::Set, "flogs", QVariantList { 1, 2, 3 }).type, CVNDeviceRequest::Error);
    EXPECT_EQ(controller->transfers, before); // nothing sent for a malformed value

    controller->registers["cfo"] = "1  2 3";
    EXPECT_EQ(run(CVNDeviceRequest::Get, "cfo").value.toList(), QVariantList({ 1, 2, 3 }));
    run(CVNDeviceRequest::Set, "te2fnref", QStringLiteral("4 5 6"));
    EXPECT_EQ(sent(), QStringLiteral("te2fnref 4 5 6"));
}

TEST_F(ExchangeFixture, RouteRowsAreTestedInOrder)
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
    EXPECT_EQ(route(1, "frame"), CVNHidRouteTable::Generic); // composite rows without a handler fall through
    const QList<QPair<CVNHidRouteTable::Row, const char*>> composites
        = { { CVNHidRouteTable::BorderAdjust, "x.CBA.top" }, { CVNHidRouteTable::Settings, "Settings.load" },
              { CVNHidRouteTable::FoilHealth, "FOILH.state" }, { CVNHidRouteTable::EdgeSnapping, "tste_x" } };
    for (const auto& c : composites)
        EXPECT_TRUE(CVNHidRouteTable::matches(c.first, CVNDeviceRequest(1, c.second, 1))) << c.second;
    EXPECT_FALSE(CVNHidRouteTable::matches(CVNHidRouteTable::EdgeSnapping, CVNDeviceRequest(1, "TSTE_x", 1)));
    EXPECT_FALSE(CVNHidRouteTable::matches(CVNHidRouteTable::Gain, CVNDeviceRequest(1, "GAIN", 1)));

    CVNHidRouteTable table;
    table.setHandler(CVNHidRouteTable::Settings, [](CVNDeviceHid&, const CVNDeviceRequest& request) {
        CVNDeviceRequest reply = request.makeReply();
        reply.value = QStringLiteral("settings");
        return reply;
    });
    // "settings.foilh.x" matches both Settings and FoilHealth: the earlier row wins.
    CVNDeviceRequest request(CVNDeviceRequest::Get, QStringLiteral("settings.foilh.x"), 9);
    EXPECT_EQ(table.route(request), CVNHidRouteTable::Settings);
    EXPECT_EQ(table.execute(*hid, request).value(9).value.toString(), QStringLiteral("settings"));
    EXPECT_EQ(controller->transfers, 0);
}

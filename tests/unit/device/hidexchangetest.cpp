#include "device/hidexchange.h"
#include "device/hidexchanges.h"

#include "fakeusb.h"

#include <gtest/gtest.h>

TEST_F(HidFixture, EmptyRequestsMakeNoExchange)
{
    EXPECT_TRUE(executeHidRequest(*hid, CVNDeviceRequest()).isEmpty());
    EXPECT_TRUE(
        executeHidRequest(*hid, CVNDeviceRequest(CVNDeviceRequest::None, QStringLiteral("th"), 3)).isEmpty());
    EXPECT_TRUE(executeHidRequest(*hid, CVNDeviceRequest(CVNDeviceRequest::Get, QString(), 3)).isEmpty());
    EXPECT_EQ(controller->transfers, 0);
}

// Each row: the register's answer before the exchange, the request, what
// reaches the controller (null: nothing is sent) and the reply.
TEST_F(HidFixture, ExchangesByKindOfValue)
{
    using R = CVNDeviceRequest;
    struct Case {
        const char* word;
        const char* held;
        quint8 type;
        QVariant value;
        const char* sent;
        quint8 replyType;
        QVariant expected; // the value, or the text of an error reply
    };
    const Case cases[] = {
        { "th", "120", R::Get, {}, "th ", R::Get, "120" },
        { "th", "120", R::Set, 1.5, "th 1.5", R::Set, "1.5" },
        { "tinv", "0", R::Set, true, "tinv 1", R::Set, true },
        { "tinv", "1", R::Set, false, "tinv 0", R::Set, false },
        { "th", "ERROR42", R::Get, {}, "th ", R::Error, "ERROR42" }, // error in any case
        { "nosuch", nullptr, R::Set, true, "nosuch 1", R::Error, "error: unknown command" },
        { "gain", "4 7", R::Get, {}, "gain ", R::Get, "4" },
        { "thbound", "10 20", R::Get, {}, "thbound ", R::Get, QVariantList { 10, 20 } },
        { "thbound", "1", R::Set, QVariantList { 3, 4 }, "thbound 3 4", R::Set, QVariantList { 3, 4 } },
        { "fsize", "17", R::Get, {}, "fsize ", R::Error, "Unknown result" },
        { "flogs", "1 2", R::Set, QVariantList { 1, 2, 3 }, nullptr, R::Error, {} }, // malformed value
        { "cfo", "1  2 3", R::Get, {}, "cfo ", R::Get, QVariantList { 1, 2, 3 } },
        { "te2fnref", "0 0 0", R::Set, QStringLiteral("4 5 6"), "te2fnref 4 5 6", R::Set, {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word);
        if (c.held)
            controller->registers[c.word] = c.held;
        controller->commands.clear();
        R request(c.type, QLatin1String(c.word), 42);
        request.value = c.value;
        const CVNDeviceReplies replies = executeHidRequest(*hid, request);
        ASSERT_EQ(replies.size(), 1);
        const R reply = replies.value(42);
        EXPECT_EQ(reply.id, 42u);
        EXPECT_EQ(reply.name, request.name);
        EXPECT_EQ(reply.type, c.replyType);
        EXPECT_EQ(controller->commands, c.sent ? QStringList { QLatin1String(c.sent) } : QStringList());
        if (c.replyType == R::Error && c.expected.isValid())
            EXPECT_EQ(reply.text, c.expected.toString());
        else if (c.expected.userType() == QMetaType::QVariantList)
            EXPECT_EQ(reply.value.toList(), c.expected.toList());
        else if (c.expected.userType() == QMetaType::Bool)
            EXPECT_EQ(reply.value, c.expected); // a boolean, not its text
        else if (c.expected.isValid())
            EXPECT_EQ(reply.value.toString(), c.expected.toString());
    }

    controller->registers["recal"] = "idle"; // the fake echoes what it was given
    R call(R::Call, QStringLiteral("recal"), 7);
    call.arguments = { 3, QStringLiteral("x") };
    const R reply = executeHidRequest(*hid, call).value(7);
    EXPECT_EQ(reply.type, R::Call);
    EXPECT_EQ(reply.value.toString(), QStringLiteral("3 x"));
    EXPECT_EQ(controller->commands.last(), QStringLiteral("recal 3 x"));
}

TEST_F(HidFixture, RouteRowsAreTestedInOrder)
{
    const QList<QPair<CVNHidRouteTable::Row, const char*>> composites
        = { { CVNHidRouteTable::BorderAdjust, "x.CBA.top" }, { CVNHidRouteTable::Settings, "Settings.load" },
              { CVNHidRouteTable::FoilHealth, "FOILH.state" }, { CVNHidRouteTable::EdgeSnapping, "tste_x" } };
    for (const auto& c : composites)
        EXPECT_TRUE(CVNHidRouteTable::matches(c.first, CVNDeviceRequest(1, c.second, 1))) << c.second;
    EXPECT_FALSE(CVNHidRouteTable::matches(CVNHidRouteTable::EdgeSnapping, CVNDeviceRequest(1, "TSTE_x", 1)));
    EXPECT_FALSE(CVNHidRouteTable::matches(CVNHidRouteTable::Gain, CVNDeviceRequest(1, "GAIN", 1)));
    // Composite rows without a handler fall through.
    EXPECT_EQ(CVNHidRouteTable().route(CVNDeviceRequest(1, "frame", 1)), CVNHidRouteTable::Generic);

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

// A transfer that fails is an error reply for every kind of exchange, never
// an empty value taken for the controller's answer; an empty answer that
// did arrive stays a value.
TEST_F(HidFixture, FailedTransfersAreErrorRepliesNotValues)
{
    using R = CVNDeviceRequest;
    controller->registers["quiet"] = "";
    controller->registers["th"] = "40";
    const R quiet = executeHidRequest(*hid, R(R::Get, QStringLiteral("quiet"), 4)).value(4);
    EXPECT_EQ(quiet.type, R::Get) << quiet.text.toStdString();
    EXPECT_EQ(quiet.value.toString(), QString());

    // One failed transfer is retried; a series of them fails the exchange.
    controller->failNext = 1;
    EXPECT_EQ(executeHidRequest(*hid, R(R::Get, QStringLiteral("th"), 5)).value(5).type, R::Get);
    controller->failNext = CVNDeviceHid::TransferAttempts;
    const QList<QPair<const char*, quint8>> requests = { { "th", R::Get }, { "th", R::Set }, { "gain", R::Get },
        { "tinv", R::Set }, { "thbound", R::Get }, { "recal", R::Call } };
    for (const auto& r : requests) {
        SCOPED_TRACE(r.first);
        R request(r.second, QLatin1String(r.first), 6);
        if (r.second == R::Set)
            request.value = QLatin1String(r.first) == QLatin1String("tinv") ? QVariant(true) : QVariant(3);
        const R reply = executeHidRequest(*hid, request).value(6);
        EXPECT_EQ(reply.type, R::Error);
        EXPECT_EQ(reply.text, CVNHidExchanges::TransferFailed);
    }
    EXPECT_FALSE(parent->isOpen());
}

// The touch stream through request documents: subscribing to "touches"
// starts the poll and brings notifications with the tracked entities; the
// last unsubscribe and the end of the session stop it. TUIO receivers and
// the object-recognition or-spec set through JSON.
#include "serverharness.h"

#include "device/devicemanager.h"
#include "interface/deviceinterface.h"
#include "server/applicationserver.h"
#include "touch/devicepropertytouches.h"

#include <gtest/gtest.h>

using namespace ServerTest;

namespace {

const QString kVasta = QStringLiteral("0200000001A3");

struct TouchesOverJson : CoreOnSim {
    void SetUp() override { startWith({"vasta:" + kVasta + ":2.005,timeline=off"}, false); }
    DevicePropertyTouches* touches() const
    {
        CVNDeviceInterface* iface = core->server()->interfaceForSerial(kVasta);
        return iface ? dynamic_cast<DevicePropertyTouches*>(iface->entity("touches")) : nullptr;
    }
    static QJsonObject subscription(const char* verb)
    {
        return QJsonObject{{"key", "notifications"}, {"id", 1},
                           {verb, QJsonArray{QJsonObject{{"key", "touches"}, {"device", kVasta}}}}};
    }
    // The entities of the latest notification about "touches".
    static QJsonArray latestEntities(const TestClient& client)
    {
        for (int i = client.notifications.size() - 1; i >= 0; --i) {
            for (const QJsonValue item : client.notifications[i]["notifications"]["list"].toArray()) {
                if (item["key"] == "touches")
                    return item["value"]["entities"].toArray();
            }
        }
        return {};
    }
};

} // namespace

TEST_F(TouchesOverJson, SubscribingPollsAndNotifiesUntilTheLastGoes)
{
    ASSERT_TRUE(touches());
    EXPECT_FALSE(touches()->isPolling());
    auto client = connectClient();
    auto second = connectClient();
    ASSERT_TRUE(client && second);
    EXPECT_EQ(client->action(subscription("register"))["register"][0]["value"], "registered");
    EXPECT_TRUE(touches()->isPolling());
    EXPECT_EQ(second->action(subscription("register"))["register"][0]["value"], "registered");

    ASSERT_TRUE(sim->control({"touch", kVasta, "7", "1000", "2000", "650"}));
    ASSERT_TRUE(sim->control({"pen", kVasta, "11", "30", "40"}));
    ASSERT_TRUE(waitUntil([&] { return latestEntities(*client).size() == 2; }));
    const QJsonObject finger = latestEntities(*client)[0].toObject();
    EXPECT_EQ(finger["identifier"], 101001);
    EXPECT_EQ(finger["x"], 1000);
    EXPECT_EQ(finger["y"], 2000);
    EXPECT_EQ(finger["pressure"], 650);
    EXPECT_EQ(latestEntities(*client)[1].toObject()["identifier"], 601001);
    EXPECT_EQ(latestEntities(*client)[1].toObject()["type"], 6);

    ASSERT_TRUE(sim->control({"touch", kVasta, "7", "1100", "2100"}));
    ASSERT_TRUE(waitUntil([&] { return !latestEntities(*client).isEmpty() && latestEntities(*client)[0].toObject()["x"] == 1100; }));
    EXPECT_EQ(latestEntities(*client)[0].toObject()["identifier"], 101001) << "the same finger, moved";

    ASSERT_TRUE(sim->control({"lift", kVasta, "all"}));
    ASSERT_TRUE(waitUntil([&] { return latestEntities(*client).isEmpty(); }));

    // The first unsubscribe leaves the other session's poll running; the end
    // of that session stops it.
    EXPECT_EQ(client->action(subscription("unregister"))["unregister"][0]["value"], "unregistered");
    EXPECT_TRUE(touches()->isPolling());
    second.reset();
    EXPECT_TRUE(waitUntil([&] { return !touches()->isPolling(); }));
}

TEST_F(TouchesOverJson, OrSpecAndReceiversThroughActions)
{
    auto client = connectClient();
    ASSERT_TRUE(client);
    const auto act = [&](const QString& key, const QJsonValue& value = QJsonValue::Undefined) {
        QJsonObject action{{"key", key}, {"id", 3}, {"device", kVasta}};
        if (!value.isUndefined())
            action.insert("value", value);
        return client->action(action)["value"];
    };
    EXPECT_EQ(act("touches")["or-spec"], 0);
    act("touches", QJsonObject{{"or-spec", 2}});
    EXPECT_EQ(act("touches")["or-spec"], 2);

    act("tuio", QJsonObject{{"start", QJsonObject{{"ip", "127.0.0.1"}, {"port", 3333}}}});
    EXPECT_EQ(act("tuio"), (QJsonObject{{"address", QJsonArray{QJsonObject{{"ip", "127.0.0.1"}, {"port", 3333}}}},
                                        {"report_locked", false}}));
    EXPECT_TRUE(touches()->isPolling()) << "a receiver observes the stream";

    // The next start of the service finds the receiver and the or-spec again.
    client.reset();
    core = std::make_unique<ServiceCore>();
    ASSERT_TRUE(core->start(sim->socketPath(), 1));
    ASSERT_TRUE(touches());
    EXPECT_TRUE(touches()->isPolling());
    EXPECT_EQ(touches()->orSpec(), 2);
    client = connectClient();
    ASSERT_TRUE(client);
    EXPECT_EQ(act("tuio")["address"].toArray().size(), 1);

    act("tuio", QJsonObject{{"stop", QJsonObject{{"ip", "127.0.0.1"}, {"port", 3333}}}});
    EXPECT_FALSE(touches()->isPolling());
}

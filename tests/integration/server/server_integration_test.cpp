// The service core on corvane-sim controllers, reached by real TCP clients.
#include "serverharness.h"

#include "com/binaryjson.h"
#include "device/devicemanager.h"
#include "interface/deviceinterface.h"
#include "interface/deviceinterfaceview.h"
#include "server/applicationserver.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <algorithm>

using namespace ServerTest;

namespace {

const QString kVasta = "0200000001A3";
const QString kVasta2 = "0200000001B7";
const QString kVastaSetup = "vasta:" + kVasta + ":2.005";
const QString kVasta2Setup = "vasta:" + kVasta2 + ":2.005";

QJsonObject act(const QString& key, const QJsonObject& extra = {})
{
    QJsonObject action = extra;
    action.insert("key", key);
    if (!action.contains("id"))
        action.insert("id", 1);
    return action;
}

// The answer of device_lock: "value" is "lock" or "unlock".
QJsonObject lockAnswer(TestClient& client, const QString& value, const QJsonObject& extra = {})
{
    QJsonObject action = extra;
    action.insert("value", value);
    return client.action(act("device_lock", action))["value"].toObject();
}

QStringList outputOf(const QJsonObject& cli)
{
    QStringList lines;
    for (const QJsonValue& line : cli.value("output").toArray())
        lines.append(line.toString());
    return lines;
}

struct ServiceOnSim : CoreOnSim
{
    void startWith(const QStringList& setups = {kVastaSetup}) { CoreOnSim::startWith(setups, false); }
    // Entities in a view of the built interface of a device.
    int viewSize(const QString& serial, const QString& view) const
    {
        CVNDeviceInterface* root = core->server()->interfaceForSerial(serial);
        return root && root->view(view) ? root->view(view)->entityNames().size() : -1;
    }
};

TEST_F(ServiceOnSim, WorkedExampleAndFunctionsNeedingTheDeviceMember)
{
    startWith();
    auto client = connectClient();
    ASSERT_TRUE(client);

    QJsonObject answer = client->action(act("gain", {{"id", 7}}));
    EXPECT_EQ(answer, (QJsonObject{{"id", 7}, {"key", "gain"}, {"value", 3}}));

    answer = client->action(act("gain", {{"id", 8}, {"value", 5}}));
    EXPECT_EQ(answer, (QJsonObject{{"id", 8}, {"key", "gain"}, {"value", 5}}));
    EXPECT_EQ(sim->registerValue(kVasta, "gain"), "5");
    EXPECT_TRUE(sim->trafficHas(kVasta + " gain 5 -> 5"));

    // A null value only reads; a named device comes back in the answer.
    answer = client->action(act("gain", {{"value", QJsonValue::Null}, {"device", kVasta}}));
    EXPECT_EQ(answer.value("value").toInt(), 5);
    EXPECT_EQ(answer.value("device").toString(), kVasta);

    // Out of the domain: whatever the property makes of it, the answer is
    // what the controller holds afterwards.
    answer = client->action(act("gain", {{"value", 99}}));
    EXPECT_EQ(QString::number(answer.value("value").toInt()), sim->registerValue(kVasta, "gain"));

    // Writes that do not take effect say why, beside the value held.
    struct Refused {
        const char* key;
        QJsonValue value;
        const char* error;
        int held;
    };
    for (const Refused& r : {Refused{"gainmax", 3, "Property is not writable", 7},
                             Refused{"gain", QJsonArray{1}, "Invalid argument", 7},
                             Refused{"th", 300, "error: out of range", 40}}) {
        answer = client->action(act(r.key, {{"id", 9}, {"value", r.value}}));
        EXPECT_EQ(answer.value("error").toString(), r.error) << r.key;
        EXPECT_EQ(answer.value("value").toInt(), r.held) << r.key;
        EXPECT_EQ(answer.value("id").toInt(), 9) << r.key;
    }

    // Functions need the "device" member, even an empty one.
    answer = client->action(act("sversion"));
    EXPECT_EQ(answer.value("error").toString(), "action not found");

    answer = client->action(act("sversion", {{"device", QString()}}));
    EXPECT_FALSE(answer.contains("error"));
    EXPECT_EQ(answer.value("device").toString(), QString());
    EXPECT_TRUE(answer.contains("value"));
    EXPECT_TRUE(sim->trafficHas(kVasta + " sversion"));

    // A device that is not there reaches nothing, not even the selected one.
    answer = client->action(act("gain", {{"device", "0200000009ZZ"}}));
    EXPECT_EQ(answer.value("error").toString(), "action not found");
}

TEST_F(ServiceOnSim, RequestDocumentRulesOnTheWire)
{
    startWith();
    auto client = connectClient();
    ASSERT_TRUE(client);

    // Two documents in one write: both answered, in order.
    const QByteArray first = CVNBinaryJson::encodeDocument(QJsonObject{{"actions", QJsonObject{{"list", QJsonArray{act("ping", {{"id", 1}})}}}}});
    const QByteArray second = CVNBinaryJson::encodeDocument(QJsonObject{{"actions", QJsonObject{{"list", QJsonArray{act("ping", {{"id", 2}})}}}}});
    client->sendRaw(first + second);
    EXPECT_EQ(client->nextResponse()["reactions"]["list"][0]["id"].toInt(), 1);
    EXPECT_EQ(client->nextResponse()["reactions"]["list"][0]["id"].toInt(), 2);

    // A document split over two writes is answered once complete.
    client->sendRaw(first.left(10));
    EXPECT_TRUE(client->nextResponse(200).isEmpty());
    client->sendRaw(first.mid(10));
    EXPECT_EQ(client->nextResponse()["reactions"]["list"][0]["value"].toString(), "alive");

    EXPECT_EQ(client->request(QJsonObject()), (QJsonObject{{"error", "Request is empty"}}));
    client->sendRaw(CVNBinaryJson::encodeDocument(QJsonDocument(QJsonArray{1, 2})));
    EXPECT_EQ(client->nextResponse(), (QJsonObject{{"error", "Request is empty"}}));

    const QJsonObject mixed = client->request(QJsonObject{
        {"bogus", 1}, {"cli", QJsonObject()}, {"actions", QJsonObject{{"list", QJsonArray{act("version")}}}}});
    EXPECT_EQ(mixed["bogus"].toString(), "key not found");
    EXPECT_EQ(mixed["cli"]["error"].toString(), "parser not found in request");
    EXPECT_TRUE(mixed["reactions"]["list"][0]["value"].toString().startsWith("Session Manager 1.0.0\n"));

    // Wrong member types are answered, not fatal.
    const QJsonObject odd = client->request(QJsonObject{
        {"actions", QJsonObject{{"list", QJsonArray{42, QJsonObject{{"key", 5}}, QJsonObject{{"key", "gain"}, {"device", 7}},
                                                    QJsonObject{{"key", "notifications"}, {"register", "x"}},
                                                    QJsonObject{{"key", "device_lock"}, {"value", QJsonArray()}}}}}}});
    const QJsonArray list = odd["reactions"]["list"].toArray();
    ASSERT_EQ(list.size(), 5);
    EXPECT_EQ(list[0]["error"].toString(), "action not found");
    EXPECT_EQ(list[1]["error"].toString(), "action not found");

    // A second client is not disturbed by a broken stream of the first.
    auto other = connectClient();
    ASSERT_TRUE(other);
    client->sendRaw(QByteArray("garbage that is no binary json at all"));
    EXPECT_TRUE(waitUntil([&] { return client->socket.state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(other->action(act("ping"))["value"].toString(), "alive");
    EXPECT_EQ(other->action(act("gain"))["value"].toInt(), 3);
}

TEST_F(ServiceOnSim, LocksBetweenTwoSessions)
{
    startWith();
    auto first = connectClient();
    auto second = connectClient();
    ASSERT_TRUE(first && second);

    EXPECT_EQ(lockAnswer(*first, "lock"), (QJsonObject{{"value", "locked"}}));
    // Locking again changes nothing and answers an empty object.
    EXPECT_EQ(lockAnswer(*first, "lock"), QJsonObject());

    EXPECT_EQ(lockAnswer(*second, "unlock", {{"device", kVasta}}), (QJsonObject{{"value", "not_found"}}));
    EXPECT_EQ(second->action(act("gain", {{"device", kVasta}}))["error"].toString(), "action not found");
    EXPECT_EQ(second->action(act("gain"))["error"].toString(), "action not found");
    EXPECT_TRUE(second->action(act("devices_all"))["value"].toArray().isEmpty());
    EXPECT_EQ(first->action(act("devices_all"))["value"].toArray().size(), 1);
    EXPECT_EQ(first->action(act("devices_list"))["value"][0]["device_locked"].toString(), "locked");

    EXPECT_EQ(lockAnswer(*first, "unlock"), (QJsonObject{{"value", "unlocked"}}));
    EXPECT_EQ(second->action(act("gain", {{"device", kVasta}}))["value"].toInt(), 3);

    // The locking session leaves in the middle of a burst of requests: the
    // lock goes, the device is reset and the other session works on.
    EXPECT_EQ(lockAnswer(*second, "lock"), (QJsonObject{{"value", "locked"}}));
    second->action(act("notifications", {{"register", QJsonArray{QJsonObject{{"key", "devices_list"}}}}}));
    EXPECT_FALSE(sim->trafficHas(kVasta + " dreset"));
    QByteArray burst;
    for (int i = 0; i < 200; ++i)
        burst += CVNBinaryJson::encodeDocument(QJsonObject{{"actions", QJsonObject{{"list", QJsonArray{act("gain", {{"id", i}})}}}}});
    second->sendRaw(burst.left(burst.size() - 3));  // the last one incomplete
    second->socket.abort();
    second.reset();
    EXPECT_TRUE(waitUntil([&] { return core->server()->sessions().size() == 1; }));
    EXPECT_TRUE(waitUntil([&] { return sim->trafficHas(kVasta + " dreset"); }));
    EXPECT_TRUE(waitUntil([&] { return first->action(act("gain"))["value"].toInt() == 3; }));
    EXPECT_EQ(first->action(act("devices_list"))["value"][0]["device_locked"].toString(), "unlocked");
}

TEST_F(ServiceOnSim, DeviceRemovalWithTwoSessionsOpen)
{
    startWith({kVastaSetup, kVasta2Setup});
    auto first = connectClient();
    auto second = connectClient();
    ASSERT_TRUE(first && second);
    const QString expected = "Session Manager 1.0.0\nCurrent device: Vasta %1 Hid";
    EXPECT_EQ(first->action(act("version"))["value"].toString(), expected.arg(kVasta));
    EXPECT_EQ(second->action(act("version"))["value"].toString(), expected.arg(kVasta));
    // The second session works on the other device while it goes away.
    EXPECT_EQ(second->cli({TestClient::option("device", {kVasta2})})["status"].toString(), "Finished");

    ASSERT_TRUE(sim->control({"unplug", kVasta}));
    EXPECT_TRUE(waitUntil([&] { return core->server()->deviceInterfaces().size() == 1; }));
    EXPECT_EQ(first->action(act("version"))["value"].toString(), expected.arg(kVasta2));
    EXPECT_EQ(second->action(act("version"))["value"].toString(), expected.arg(kVasta2));
    EXPECT_EQ(first->action(act("gain"))["value"].toInt(), 3);

    ASSERT_TRUE(sim->control({"unplug", kVasta2}));
    EXPECT_TRUE(waitUntil([&] { return core->server()->deviceInterfaces().isEmpty(); }));
    for (TestClient* client : {first.get(), second.get()}) {
        EXPECT_EQ(client->action(act("version"))["value"].toString(), "Session Manager 1.0.0\nNo Device found");
        EXPECT_EQ(client->action(act("gain"))["error"].toString(), "action not found");
        EXPECT_EQ(client->action(act("ping"))["value"].toString(), "alive");
    }

    // Plugged in again: offered to both sessions.
    ASSERT_TRUE(sim->control({"plug", kVastaSetup}));
    EXPECT_TRUE(waitUntil([&] { return core->server()->deviceInterfaces().size() == 1; }));
    EXPECT_EQ(first->action(act("devices_all"))["value"].toArray().size(), 1);
    EXPECT_EQ(second->action(act("gain", {{"device", kVasta}}))["value"].toInt(), 3);
}

TEST_F(ServiceOnSim, DevicesAllAndViewsPerClientType)
{
    startWith();
    auto plain = connectClient();
    auto link = connectClient();
    ASSERT_TRUE(plain && link);
    link->announce(DesktopLink, core->discoveryPort());

    const QJsonArray plainDevices = plain->action(act("devices_all"))["value"].toArray();
    ASSERT_EQ(plainDevices.size(), 1);
    EXPECT_EQ(plainDevices[0]["serial_number"].toString(), kVasta);
    EXPECT_EQ(plainDevices[0]["product_id"].toInt(), 2);
    EXPECT_EQ(plainDevices[0]["product_name"].toString(), "Vasta");
    EXPECT_EQ(plainDevices[0]["device_type"].toString(), "Hid");
    EXPECT_EQ(plainDevices[0]["version"].toString(), "2.005");
    ASSERT_EQ(plainDevices[0]["views"].toArray().size(), 1);
    EXPECT_EQ(plainDevices[0]["views"][0].toArray().size(), viewSize(kVasta, "advanced"));

    EXPECT_TRUE(waitUntil([&] {
        return link->action(act("devices_all"))["value"][0]["views"][0].toArray().size()
            == viewSize(kVasta, "corvane_link");
    }));
    EXPECT_EQ(link->action(act("sessiondeviceview"))["value"],
              (QJsonArray{QJsonObject{{"device", kVasta}, {"view", "corvane_link"}}}));

    // The current view gives descriptions; another open view gives names.
    const QJsonArray basic = plain->action(act("device-interface-view", {{"view", "basic"}}))["value"].toArray();
    ASSERT_EQ(basic.size(), viewSize(kVasta, "basic"));
    ASSERT_GT(basic.size(), 0);
    EXPECT_TRUE(basic[0].isString());
    const QJsonObject current = plain->action(act("device-interface-view", {{"view", "advanced"}}));
    EXPECT_EQ(current["view"].toString(), "advanced");
    EXPECT_TRUE(current["value"][0].isObject());
    EXPECT_TRUE(plain->action(act("device-interface-view", {{"view", "nosuch"}}))["value"].toArray().isEmpty());
    EXPECT_TRUE(plain->action(act("device-interface-list"))["value"].toArray().isEmpty());
}

TEST_F(ServiceOnSim, PortalTokenGrantsPerDevice)
{
    startWith({kVastaSetup, kVasta2Setup});
    PortalStandIn portal;
    portal.statusBySerial.insert(kVasta, 200);
    portal.statusBySerial.insert(kVasta2, 401);
    auto client = connectClient();
    auto other = connectClient();
    ASSERT_TRUE(client && other);

    EXPECT_EQ(client->action(act("portal_url", {{"value", portal.url()}}))["value"].toString(), portal.url());
    EXPECT_EQ(client->action(act("settoken", {{"value", "secret-token"}}))["value"].toString(), "verifying");
    EXPECT_TRUE(waitUntil([&] { return portal.requestLines.size() == 2; }));
    EXPECT_TRUE(waitUntil([&] { return client->action(act("settoken"))["value"].toString() != "verifying"; }));
    EXPECT_EQ(portal.authorizations, (QStringList{"secret-token", "secret-token"}));
    EXPECT_TRUE(portal.requestLines[0].startsWith("GET /api/status/token/write?serial="));

    EXPECT_TRUE(waitUntil([&] {
        return !client->action(act("device-interface-list", {{"device", kVasta}}))["value"].toArray().isEmpty();
    }));
    EXPECT_EQ(client->action(act("device-interface-list", {{"device", kVasta}}))["value"].toArray(),
              (QJsonArray{"advanced", "basic", "corvane_link"}));
    EXPECT_TRUE(client->action(act("device-interface-list", {{"device", kVasta2}}))["value"].toArray().isEmpty());
    // Grants belong to the session that checked the token.
    EXPECT_TRUE(other->action(act("device-interface-list", {{"device", kVasta}}))["value"].toArray().isEmpty());

    // A portal that cannot be reached ends in "error".
    client->action(act("portal_url", {{"value", "http://127.0.0.1:1/api"}}));
    client->action(act("settoken", {{"value", "another"}}));
    EXPECT_TRUE(waitUntil([&] { return client->action(act("settoken"))["value"].toString() == "error"; }));
}

TEST_F(ServiceOnSim, NotificationsBatchAndFollowLocks)
{
    startWith();
    auto client = connectClient();
    auto watcher = connectClient();
    ASSERT_TRUE(client && watcher);

    const QJsonObject registered = client->action(act("notifications", {{"register", QJsonArray{
        QJsonObject{{"key", "gain"}, {"device", ""}}, QJsonObject{{"key", "nosuch"}, {"device", ""}},
        QJsonObject{{"key", "gain"}, {"device", "0200000009ZZ"}}}}}));
    EXPECT_EQ(registered["register"].toArray(),
              (QJsonArray{QJsonObject{{"key", "gain"}, {"value", "registered"}},
                          QJsonObject{{"key", "nosuch"}, {"error", "key not found"}},
                          QJsonObject{{"key", "gain"}, {"error", "key not found"}}}));

    // Two writes in one request: one notification with the final value.
    client->request(QJsonObject{{"actions", QJsonObject{{"list", QJsonArray{
        act("gain", {{"value", 4}}), act("gain", {{"value", 6}, {"id", 2}})}}}}});
    ASSERT_TRUE(client->waitForNotifications(1));
    EXPECT_FALSE(client->waitForNotifications(2, 200));
    EXPECT_EQ(client->notifications.at(0), (QJsonObject{{"notifications", QJsonObject{{"list", QJsonArray{
        QJsonObject{{"key", "gain"}, {"value", 6}, {"device", kVasta}}}}}}}));

    EXPECT_EQ(watcher->action(act("notifications", {{"register", QJsonArray{QJsonObject{{"key", "devices_list"}}}}}))
                  ["register"][0]["value"].toString(),
              "registered");
    client->action(act("device_lock", {{"value", "lock"}}));
    ASSERT_TRUE(watcher->waitForNotifications(1));
    const QJsonObject item = watcher->notifications.at(0)["notifications"]["list"][0].toObject();
    EXPECT_EQ(item["key"].toString(), "devices_list");
    EXPECT_EQ(item["value"][0]["device_locked"].toString(), "locked");
    EXPECT_FALSE(item.contains("device"));

    // The watcher cannot subscribe to the locked device's entities.
    EXPECT_EQ(watcher->action(act("notifications", {{"register", QJsonArray{QJsonObject{{"key", "gain"}, {"device", kVasta}}}}}))
                  ["register"][0]["error"].toString(),
              "key not found");

    const QJsonObject unregistered = client->action(act("notifications", {{"unregister", QJsonArray{QJsonObject{{"key", "gain"}}}}}));
    EXPECT_EQ(unregistered["unregister"][0]["value"].toString(), "unregistered");
    client->action(act("gain", {{"value", 2}}));
    EXPECT_FALSE(client->waitForNotifications(2, 200));
}

// The option texts the tool prints are checked end to end; these are the
// help column layout and the session options the tool tests do not run.
TEST_F(ServiceOnSim, CliAnswersOfTheServerOptions)
{
    startWith();
    auto client = connectClient();
    ASSERT_TRUE(client);

    QJsonObject answer = client->cli({TestClient::option("device-help")});
    EXPECT_EQ(outputOf(answer).at(1), QStringLiteral("\"Vasta %1 Hid\" basic options").arg(kVasta));
    // Sorted by command word, entities without one (the frame) last,
    // descriptions in the help column (on the next line after a long
    // argument hint).
    QStringList help;
    for (const QString& line : outputOf(answer).mid(2)) {
        if (line.startsWith(" --"))
            help.append(line);
        else if (!line.isEmpty() && !help.isEmpty())
            help.last() += '\n' + line;
    }
    EXPECT_EQ(help.size(), viewSize(kVasta, "basic"));
    QStringList sorted = help.filter(QRegularExpression("^ --\\S"));
    sorted.sort();
    EXPECT_EQ(help.mid(0, sorted.size()), sorted);
    EXPECT_EQ(help.mid(sorted.size()).filter(QRegularExpression("^ -- ")).size(), help.size() - sorted.size());
    const QStringList gainLines = help.filter(QRegularExpression("^ --gain "));
    ASSERT_EQ(gainLines.size(), 1);
    EXPECT_TRUE(gainLines.first().startsWith(QStringLiteral(" --gain [0..7]").leftJustified(40) + "Analog gain"))
        << gainLines.first().toStdString();

    answer = client->cli({TestClient::option("sessions-list")});
    EXPECT_EQ(outputOf(answer).at(0), "sessions_list:");
    EXPECT_TRUE(outputOf(answer).at(1).startsWith(" # Connection"));

    answer = client->cli({TestClient::option("session-device-view", {"basic"})});
    EXPECT_EQ(outputOf(answer).first(), "view \"basic\" selected");
    answer = client->cli({TestClient::option("session-device-view", {"secret"})});
    EXPECT_EQ(outputOf(answer).first(), "view \"secret\" not selected");
}

} // namespace

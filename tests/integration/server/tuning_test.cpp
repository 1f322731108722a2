// The guided tuning sequence and the auto-tune end to end: the service core
// on corvane-sim controllers, driven by real TCP clients with structured
// writes and followed through their state and notifications.
#include "serverharness.h"

#include "device/device.h"
#include "device/devicemanager.h"
#include "interface/deviceinterface.h"
#include "properties/devicepropertyfoilh.h"
#include "properties/devicepropertytunevasta.h"
#include "server/applicationserver.h"
#include "tuio/devicepropertytuio.h"

#include <QTest>

#include <gtest/gtest.h>

using namespace ServerTest;

namespace {

const QString kSerial = "0200000001F1";
// tcenable 2 and tidlee 1000 (a custom shield, level -1) show what comes back.
const QString kQuiet = "vasta:" + kSerial + ":2.005,cosensor=0,tcenable=2,timeline=off";
const QString kLively = "vasta:" + kSerial + ":2.005,cosensor=0,tcenable=2";
const QStringList kWords = {"gain", "th", "thn", "tdelayn", "tidlee", "bmode", "tcstrong", "tcenable"};

QJsonObject act(const QString& key, const QJsonValue& value = QJsonValue())
{
    QJsonObject action{{"key", key}, {"id", 1}, {"device", kSerial}};
    if (!value.isUndefined())
        action.insert("value", value);
    return action;
}

// Polls every 25 ms within a bound.
bool until(const std::function<bool()>& condition, int timeoutMs = 20000)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QTest::qWait(25);
    }
    return true;
}

struct TuningOnSim : ::testing::Test
{
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<ServiceCore> core;
    std::unique_ptr<TestClient> client;
    QString before;

    void startWith(const QString& setup)
    {
        sim = std::make_unique<SimProcess>(QStringList{setup});
        ASSERT_TRUE(sim->isRunning());
        core = std::make_unique<ServiceCore>();
        ASSERT_TRUE(core->start(sim->socketPath(), 1));
        client = std::make_unique<TestClient>();
        ASSERT_TRUE(client->connectTo(core->port()));
        ASSERT_TRUE(waitUntil([&] { return !core->server()->sessions().isEmpty(); }));
        quicken();
        before = settings();
    }
    // The pauses that let a person follow are of no use here.
    void quicken()
    {
        ASSERT_TRUE(wizard());
        wizard()->setStepDelayMs(20);
        wizard()->setCosensorWaitMs(20);
    }

    CVNDeviceInterface* iface() const
    {
        for (CVNDeviceInterface* i : core->server()->deviceInterfaces()) {
            if (i->device() && i->device()->serialNumber() == kSerial)
                return i;
        }
        return nullptr;
    }
    DevicePropertyTuneVasta* wizard() const
    {
        return iface() ? dynamic_cast<DevicePropertyTuneVasta*>(iface()->entity("tune_vasta")) : nullptr;
    }
    QString settings() const
    {
        QStringList values;
        for (const QString& word : kWords)
            values.append(word + "=" + sim->registerValue(kSerial, word));
        return values.join(' ');
    }
    QJsonObject state() { return client->action(act("tune_vasta"))["value"].toObject()["state"].toObject(); }
    // The answer to an action: "error" when it was refused.
    QJsonObject send(const QString& action) { return client->action(act("tune_vasta", QJsonObject{{"action", action}})); }
    bool reach(const QString& test, const QString& status = QString(), int timeoutMs = 20000)
    {
        return until(
            [&] {
                const QJsonObject s = state();
                return s["currentTest"] == test && (status.isEmpty() || s["currentTestStatus"] == status);
            },
            timeoutMs);
    }
    int traffic(const QString& word) const { return sim->trafficLines().filter(kSerial + " " + word + " ").size(); }
    // Nothing more is asked of the controller's tests once the sequence is over.
    void expectQuiet()
    {
        const int dtune = traffic("dtune");
        const int foilh = traffic("foilh");
        const int frames = traffic("frirf");
        QTest::qWait(400);
        EXPECT_EQ(traffic("dtune"), dtune);
        EXPECT_EQ(traffic("foilh"), foilh);
        EXPECT_EQ(traffic("frirf"), frames);
    }
    // Plays the person at the sensor until the touch stage is over.
    bool touchThrough()
    {
        bool down = false;
        return until([&] {
            const QJsonObject s = state();
            if (s["currentTest"] != "Touch")
                return true;
            const QString touch = s["currentTestData"].toObject()["touchState"].toString();
            if (touch == "Down" && !down)
                down = sim->control({"touch", kSerial, "1", "2000", "2000"});
            else if (touch == "Up" && down)
                down = !sim->control({"lift", kSerial, "1"});
            return false;
        });
    }
    bool touchOutputHeld() const
    {
        auto* tuio = dynamic_cast<DevicePropertyTuio*>(iface()->entity("tuio"));
        return tuio && tuio->isOutputHeld();
    }

    void TearDown() override
    {
        client.reset();
        core.reset();
        sim.reset();
    }
};

QStringList valuesOf(const QList<QJsonObject>& notifications, const QString& key, const QString& member)
{
    QStringList values;
    for (const QJsonObject& document : notifications) {
        for (const QJsonValue& item : document["notifications"].toObject()["list"].toArray()) {
            const QJsonObject object = item.toObject();
            if (object["key"] != key)
                continue;
            QJsonObject value = object["value"].toObject();
            if (value.contains("state"))
                value = value["state"].toObject();
            const QString text = value[member].toString();
            if (values.isEmpty() || values.last() != text)
                values.append(text);
        }
    }
    return values;
}

}  // namespace

TEST_F(TuningOnSim, HealthySensorPassesEveryStepDrivenByTheTimelineAndKeepsTheTunedGainAndTh)
{
    startWith(kLively);
    const QJsonObject subscribe{{"key", "notifications"}, {"id", 2},
                                {"register", QJsonArray{QJsonObject{{"key", "tune_vasta"}, {"device", kSerial}},
                                                        QJsonObject{{"key", "auto_tune"}, {"device", kSerial}}}}};
    client->action(subscribe);

    EXPECT_FALSE(send("startTest").contains("error"));
    EXPECT_EQ(sim->registerValue(kSerial, "tcenable"), "0");
    EXPECT_TRUE(touchOutputHeld());
    // The built-in timeline's fingers come and go by themselves.
    ASSERT_TRUE(reach("Calibration", "", 40000)) << settings().toStdString();
    EXPECT_EQ(sim->registerValue(kSerial, "gain"), "5");
    const QString tunedTh = sim->registerValue(kSerial, "th");
    EXPECT_NE(tunedTh, "40");
    // The wizard waits in Calibration for the client.
    QTest::qWait(200);
    EXPECT_EQ(state()["currentTest"], "Calibration");
    EXPECT_FALSE(send("nextTest").contains("error"));
    ASSERT_TRUE(reach("End", "Pass"));

    const QJsonObject end = state();
    EXPECT_EQ(end["running"], false);
    EXPECT_EQ(end["ended"], "completed");
    EXPECT_FALSE(end.contains("notRestored"));
    QString expected = before;
    expected.replace("gain=3", "gain=5").replace("th=40", "th=" + tunedTh);
    EXPECT_EQ(settings(), expected);
    EXPECT_FALSE(touchOutputHeld());
    expectQuiet();

    client->waitForNotifications(1, 1000);
    const QStringList tests = valuesOf(client->notifications, "tune_vasta", "currentTest");
    EXPECT_EQ(tests, (QStringList{"Hardware", "ColsRows", "Touch", "Calibration", "End"})) << tests.join(' ').toStdString();
    const QStringList tune = valuesOf(client->notifications, "auto_tune", "tune_status");
    EXPECT_TRUE(tune.join(' ').startsWith("GainNoise GainTouch Done")) << tune.join(' ').toStdString();
    EXPECT_TRUE(valuesOf(client->notifications, "tune_vasta", "currentTestStatus").contains("Pass"));
}

TEST_F(TuningOnSim, CosensorOneFailsHardwareAndActionsOutOfOrderAreAnsweredClearly)
{
    startWith(kQuiet + ",cosensor=1");
    struct Refusal
    {
        QJsonValue value;
        QString error;
    };
    const QList<Refusal> early = {
        {QJsonObject{{"action", "nextTest"}}, "not running"},
        {QJsonObject{{"action", "failed"}}, "not running"},
        {QJsonObject{{"action", "jump"}}, "Unknown action \"jump\""},
        {QJsonObject{{"go", 1}}, "Invalid argument"},
        {QJsonValue(3), "Invalid argument"},
    };
    for (const Refusal& r : early)
        EXPECT_TRUE(client->action(act("tune_vasta", r.value))["error"].toString().contains(r.error)) << r.error.toStdString();
    EXPECT_EQ(state()["currentTest"], "Next");

    send("startTest");
    ASSERT_TRUE(reach("Hardware", "Error"));
    const QJsonObject hardware = state();
    EXPECT_EQ(hardware["currentTestData"].toObject()["cosensor"], 1);
    EXPECT_TRUE(hardware["error"].toString().contains("cosensor 1"));
    EXPECT_TRUE(send("startTest")["error"].toString().contains("already running"));
    EXPECT_TRUE(send("disableColsAndRows")["error"].toString().contains("ColsRows"));
    // The Error status holds the sequence until the client acts.
    QTest::qWait(200);
    EXPECT_EQ(state()["currentTestStatus"], "Error");

    EXPECT_FALSE(send("failed").contains("error"));
    const QJsonObject failed = state();
    EXPECT_EQ(failed["currentTest"], "Fail");
    EXPECT_EQ(failed["ended"], "failed");
    EXPECT_EQ(settings(), before);
    EXPECT_TRUE(send("reTest")["error"].toString().contains("not running"));
}

TEST_F(TuningOnSim, ThirtyOneDamagedLinesOrAFailedFoilTestSwitchToTheGridTestOnce)
{
    // 16 dead columns and 15 broken rows.
    QStringList columns;
    QStringList rows;
    for (int n = 10; n < 42; n += 2)
        columns.append(QString::number(n));
    for (int n = 20; n < 50; n += 2)
        rows.append(QString::number(n));
    startWith(kQuiet + ",deadcols=" + columns.join('+') + ",brokenrows=" + rows.join('+'));
    send("startTest");
    ASSERT_TRUE(reach("ColsRows", "Error"));
    QJsonObject data = state()["currentTestData"].toObject();
    EXPECT_EQ(data["gridTestUsed"], true);
    EXPECT_FALSE(data["cols"].toArray().isEmpty() && data["rows"].toArray().isEmpty());
    EXPECT_EQ(sim->trafficLines().filter(kSerial + " foilh start").size(), 1);
    const int rawModes = sim->trafficLines().filter(kSerial + " fmode raw").size();
    EXPECT_EQ(rawModes, 1);

    // Again: the grid test alone.
    send("reTest");
    ASSERT_TRUE(until([&] { return sim->trafficLines().filter(kSerial + " fmode raw").size() == 2; }));
    ASSERT_TRUE(reach("ColsRows", "Error"));
    EXPECT_EQ(sim->trafficLines().filter(kSerial + " foilh start").size(), 1);

    EXPECT_FALSE(send("stopTest").contains("error"));
    EXPECT_EQ(state()["ended"], "stopped");
    EXPECT_EQ(state()["currentTest"], "End");
    EXPECT_EQ(settings(), before);
    expectQuiet();

    // A foil health test that does not end in time leads there as well.
    dynamic_cast<DevicePropertyFoilh*>(iface()->entity("foil_health"))->setMaxRunMs(500);
    send("startTest");
    ASSERT_TRUE(reach("ColsRows", "Error"));
    EXPECT_EQ(state()["currentTestData"].toObject()["gridTestUsed"], true);
    EXPECT_EQ(sim->trafficLines().filter(kSerial + " fmode raw").size(), 3);
    send("failed");
}

TEST_F(TuningOnSim, DamagedColumnSixtyGivesTheFixedProcessAndALeavingClientLeavesTheControllerAsItWas)
{
    startWith(kQuiet + ",deadcols=60");
    send("startTest");
    ASSERT_TRUE(reach("ColsRows", "Error"));
    EXPECT_EQ(state()["currentTestData"].toObject()["cols"].toArray(), (QJsonArray{60}));
    EXPECT_FALSE(send("disableColsAndRows").contains("error"));
    const QJsonObject cells = client->action(act("enable_disable_cells"))["value"].toObject();
    EXPECT_EQ(cells["cols"].toArray().at(60), 0);
    EXPECT_EQ(cells["cols"].toArray().at(59), 1);

    ASSERT_TRUE(reach("Touch"));
    ASSERT_TRUE(until([&] { return state()["currentTestData"].toObject()["touchState"] == "Down"; }));
    EXPECT_EQ(state()["currentTestData"].toObject()["touchProcess"], "FixedProcess");
    EXPECT_TRUE(sim->control({"touch", kSerial, "1", "2000", "2000"}));
    ASSERT_TRUE(until([&] { return state()["currentTestData"].toObject()["touchState"] == "Up"; }));
    EXPECT_EQ(sim->registerValue(kSerial, "gain"), "5");

    // The driving client goes in the middle of the touch stage.
    client.reset();
    ASSERT_TRUE(until([&] { return !wizard()->isRunning(); }));
    EXPECT_EQ(settings(), before);
    EXPECT_EQ(wizard()->currentTest(), DevicePropertyTuneVasta::End);
    expectQuiet();
}

TEST_F(TuningOnSim, AFailingAutoTuneEndsInFailWithTheSettingsRestored)
{
    struct Case
    {
        QStringList fault;
        QString error;
    };
    // Five values come after the controller changed gain and th; an empty
    // text forever is given up on.
    const QList<Case> cases = {
        {{"five"}, "5 values instead of 6"},
        {{"fail"}, "noise level too high"},
        {{"text"}, "makes no sense"},
    };
    startWith(kQuiet);
    for (const Case& c : cases) {
        ASSERT_TRUE(sim->control(QStringList{"tunefault", kSerial} + c.fault));
        send("startTest");
        ASSERT_TRUE(reach("Touch"));
        ASSERT_TRUE(touchThrough());
        const QJsonObject failed = state();
        EXPECT_EQ(failed["currentTest"], "Fail") << c.error.toStdString();
        EXPECT_TRUE(failed["error"].toString().contains(c.error)) << failed["error"].toString().toStdString();
        EXPECT_EQ(settings(), before);
        EXPECT_EQ(client->action(act("auto_tune"))["value"].toObject()["tune_status"], "Fail");
        expectQuiet();
    }
}

TEST_F(TuningOnSim, StopTestMidRunAndTheServiceStoppingLeaveTheControllerAsItWas)
{
    startWith(kQuiet);
    send("startTest");
    ASSERT_TRUE(until([&] { return state()["currentTestData"].toObject()["touchState"] == "Down"; }));
    EXPECT_NE(settings(), before);
    EXPECT_FALSE(send("stopTest").contains("error"));
    EXPECT_EQ(settings(), before);
    EXPECT_EQ(client->action(act("auto_tune"))["value"].toObject()["tune_status"], "Stopped");
    expectQuiet();

    // The service stops while its client drives the sequence, and while
    // nobody does (started from inside the service).
    for (bool fromClient : {true, false}) {
        if (fromClient)
            send("startTest");
        else
            wizard()->setValue(QJsonObject{{"action", "startTest"}});
        ASSERT_TRUE(reach("Touch"));
        ASSERT_NE(settings(), before);
        core.reset();
        client.reset();
        EXPECT_EQ(settings(), before) << fromClient;
        const int lines = sim->trafficLines().size();
        QTest::qWait(200);
        EXPECT_EQ(sim->trafficLines().size(), lines);
        core = std::make_unique<ServiceCore>();
        ASSERT_TRUE(core->start(sim->socketPath(), 1));
        client = std::make_unique<TestClient>();
        ASSERT_TRUE(client->connectTo(core->port()));
        ASSERT_TRUE(waitUntil([&] { return !core->server()->sessions().isEmpty(); }));
        quicken();
    }
}

TEST_F(TuningOnSim, ControllerUnpluggedMidSequence)
{
    startWith(kQuiet);
    send("startTest");
    ASSERT_TRUE(reach("Touch"));
    ASSERT_TRUE(sim->control({"unplug", kSerial}));
    ASSERT_TRUE(waitUntil([&] { return core->server()->deviceInterfaces().isEmpty(); }));
    const int lines = sim->trafficLines().size();
    QTest::qWait(400);
    EXPECT_EQ(sim->trafficLines().size(), lines);

    // Plugged in again, it runs a new sequence; ended before the auto-tune
    // was done, that writes back gain and th too.
    ASSERT_TRUE(sim->control({"plug", kQuiet}));
    ASSERT_TRUE(waitUntil([&] { return core->server()->deviceInterfaces().size() == 1; }));
    quicken();
    send("startTest");
    ASSERT_TRUE(reach("Touch"));
    EXPECT_FALSE(send("endTest").contains("error"));
    ASSERT_TRUE(reach("End", "Pass"));
    EXPECT_EQ(settings(), before);
}

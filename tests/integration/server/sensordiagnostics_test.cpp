// Sensor diagnostics and shaping end to end: the service core on corvane-sim
// controllers with damaged and healthy foils, driven by real TCP clients.
#include "serverharness.h"

#include "device/devicemanager.h"
#include "server/applicationserver.h"

#include <QImage>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace ServerTest;

namespace {

const QString kDamaged = "0200000001D1";
const QString kHealthy = "0200000001E2";
const QString kDamagedSetup = "vasta:" + kDamaged + ":2.005,gain=5,capmode=2,deadcols=60,brokenrows=5";
const QString kHealthySetup = "vasta:" + kHealthy + ":2.005,gain=4,capmode=1";

struct SensorOnSim : CoreOnSim
{
    // The text a command line gives for one device option.
    QString text(const QString& serial, const QString& option, const QStringList& values = {})
    {
        const QJsonObject answer
            = client->cli({TestClient::option("device", {serial}), TestClient::option(option, values)});
        QStringList lines;
        for (const QJsonValue& line : answer.value("output").toArray())
            lines.append(line.toString());
        return lines.join('\n');
    }

    QString settings(const QString& serial)
    {
        return sim->registerValue(serial, "gain") + " " + sim->registerValue(serial, "capmode") + " "
            + sim->registerValue(serial, "fmode");
    }

    // Waits for a test's structured value to leave "running".
    QJsonObject finished(const QString& key, const QString& serial, int timeoutMs = 15000)
    {
        QJsonObject value;
        waitUntil(
            [&] {
                value = client->action(deviceAction(key, serial))["value"].toObject();
                const QString state = value["state"].toString();
                return state == "done" || state == "failed";
            },
            timeoutMs);
        return value;
    }
};

TEST_F(SensorOnSim, BothTestsReportTheDamagedAndTheHealthyFoil)
{
    startWith({kDamagedSetup, kHealthySetup});

    EXPECT_TRUE(text(kDamaged, "foilh", {"start"}).contains("start"));
    EXPECT_TRUE(text(kHealthy, "foilh", {"start"}).contains("start"));
    QJsonObject foil = finished("foil_health", kDamaged);
    EXPECT_EQ(foil["state"].toString(), "done");
    EXPECT_EQ(foil["damaged_cols"].toArray(), (QJsonArray{60}));
    EXPECT_EQ(foil["damaged_rows"].toArray(), (QJsonArray{5}));
    foil = finished("foil_health", kHealthy);
    EXPECT_EQ(foil["damaged_cols"].toArray(), QJsonArray());
    EXPECT_EQ(foil["damaged_rows"].toArray(), QJsonArray());
    EXPECT_TRUE(sim->trafficHas(kDamaged + " foilh bg33"));

    EXPECT_TRUE(text(kDamaged, "grid-test", {"status"}).contains("Please start the test first"));
    EXPECT_TRUE(text(kDamaged, "grid-test", {"start"}).contains("Grid Test started"));
    EXPECT_EQ(settings(kDamaged), "0 0 raw");
    client->action(deviceAction("grid_test", kHealthy, QJsonObject{{"action", "init"}}));
    EXPECT_EQ(finished("grid_test", kDamaged)["state"].toString(), "done");
    EXPECT_EQ(finished("grid_test", kHealthy)["state"].toString(), "done");
    EXPECT_TRUE(text(kDamaged, "grid-test", {"status"}).contains("Damaged Cols: 60 Damaged Rows: 5 "));
    EXPECT_TRUE(text(kHealthy, "grid-test", {"status"}).contains("Rows: OK, Cols: OK"));
    EXPECT_EQ(settings(kDamaged), "5 2 normal");
    EXPECT_EQ(settings(kHealthy), "4 1 normal");
}

TEST_F(SensorOnSim, FramePictureAndLivePolling)
{
    startWith({kDamagedSetup});
    const QString base64 = client->action(deviceAction("frame", kDamaged, true))["value"].toString();
    const QImage image = QImage::fromData(QByteArray::fromBase64(base64.toLatin1()), "PNG")
                             .convertToFormat(QImage::Format_Grayscale8);
    ASSERT_EQ(image.size(), QSize(672, 384));
    for (int y = 0; y < 384; ++y) {
        for (int x = 0; x < 672; ++x) {
            const uchar pixel = image.constScanLine(y)[x];
            // Each cell is a square of four by four equal pixels.
            ASSERT_EQ(pixel, image.constScanLine(y / 4 * 4)[x / 4 * 4]) << x << "," << y;
            // The dead column and the broken row read 0 in normal frames.
            if (x / 4 == 60 || y / 4 == 5)
                ASSERT_EQ(pixel, 0) << x << "," << y;
        }
    }

    // Observed, the frame is polled; no longer observed, it rests.
    const QJsonObject subscribe{{"key", "notifications"}, {"id", 2},
                                {"register", QJsonArray{QJsonObject{{"key", "frame"}, {"device", kDamaged}}}}};
    client->action(subscribe);
    ASSERT_TRUE(client->waitForNotifications(3, 5000));
    const QJsonObject last = client->notifications.last();
    EXPECT_FALSE(last["notifications"].toObject()["list"].toArray().at(0).toObject()["value"].toString().isEmpty());
    client->action(QJsonObject{{"key", "notifications"}, {"id", 3},
                               {"unregister", QJsonArray{QJsonObject{{"key", "frame"}, {"device", kDamaged}}}}});
    waitUntil([] { return false; }, 200);
    const int frames = sim->trafficLines().filter(" frirf ").size();
    waitUntil([] { return false; }, 400);
    EXPECT_EQ(sim->trafficLines().filter(" frirf ").size(), frames);
}

TEST_F(SensorOnSim, GridTestRestoresWhenFramesStopAndAfterItsSessionLeft)
{
    startWith({kDamagedSetup});
    // Frames stop mid-test; the command channel still works.
    client->action(deviceAction("grid_test", kDamaged, QJsonObject{{"action", "init"}}));
    ASSERT_TRUE(waitUntil([&] { return sim->trafficLines().filter(" frirf ").size() >= 3; }));
    ASSERT_TRUE(sim->control({"set", kDamaged, "frirf", "0"}));
    const QJsonObject failed = finished("grid_test", kDamaged);
    EXPECT_EQ(failed["state"].toString(), "failed");
    EXPECT_TRUE(failed["error"].toString().contains("gain, capmode and fmode restored"));
    EXPECT_EQ(settings(kDamaged), "5 2 normal");

    // The session that started it leaves at once; the test goes on.
    ASSERT_TRUE(sim->control({"set", kDamaged, "frirf", "1"}));
    client->action(deviceAction("grid_test", kDamaged, QJsonObject{{"action", "init"}}));
    EXPECT_EQ(settings(kDamaged), "0 0 raw");
    client.reset();
    EXPECT_TRUE(waitUntil([&] { return settings(kDamaged) == "5 2 normal"; }, 15000));
    client = connectClient();
    ASSERT_TRUE(client);
    EXPECT_TRUE(text(kDamaged, "grid-test", {"status"}).contains("Damaged Cols: 60 Damaged Rows: 5 "));
}

TEST_F(SensorOnSim, GridTestOnAControllerUnpluggedMidTest)
{
    startWith({kDamagedSetup});
    client->action(deviceAction("grid_test", kDamaged, QJsonObject{{"action", "init"}}));
    ASSERT_TRUE(waitUntil([&] { return sim->trafficLines().filter(" frirf ").size() >= 3; }));
    ASSERT_TRUE(sim->control({"unplug", kDamaged}));
    ASSERT_TRUE(waitUntil([&] { return core->server()->deviceInterfaces().isEmpty(); }));
    // The service goes on and nothing more is sent to the gone controller.
    waitUntil([] { return false; }, 500);
    const int lines = sim->trafficLines().size();
    EXPECT_EQ(client->action(QJsonObject{{"key", "devices_all"}, {"id", 1}})["value"].toArray().size(), 0);

    // Plugged in again it holds its own settings, and a new test runs.
    ASSERT_TRUE(sim->control({"plug", kDamagedSetup}));
    ASSERT_TRUE(waitUntil([&] { return core->server()->deviceInterfaces().size() == 1; }));
    EXPECT_EQ(settings(kDamaged), "5 2 normal");
    EXPECT_GT(sim->trafficLines().size(), lines);
    client->action(deviceAction("grid_test", kDamaged, QJsonObject{{"action", "init"}}));
    EXPECT_EQ(finished("grid_test", kDamaged)["damaged_cols"].toArray(), (QJsonArray{60}));
    EXPECT_EQ(settings(kDamaged), "5 2 normal");
}

TEST_F(SensorOnSim, CellMaskShieldAndBlobLevelsThroughTheirCompanions)
{
    startWith({kHealthySetup});
    EXPECT_TRUE(text(kHealthy, "enable-disable-cells", {"row", "5", "0"}).contains("row is disabled"));
    EXPECT_EQ(sim->trafficLines().filter(QRegularExpression(" fec bs[0-9][0-9]")).size(), 34);
    EXPECT_TRUE(text(kHealthy, "enable-disable-cells", {"cells", "0", "0", "168", "10"}).contains("invalid arguments"));
    const QJsonObject mask = client->action(deviceAction("enable_disable_cells", kHealthy))["value"].toObject();
    EXPECT_EQ(mask["rows"].toArray().at(5).toInt(), 0);
    EXPECT_EQ(mask["frame"].toObject()["size"].toObject()["width"].toInt(), 168);

    EXPECT_TRUE(text(kHealthy, "shield", {"5"}).contains("5"));
    EXPECT_EQ(sim->registerValue(kHealthy, "tdelayn") + sim->registerValue(kHealthy, "tidlee")
                  + sim->registerValue(kHealthy, "bmode") + sim->registerValue(kHealthy, "tcstrong"),
              "4231");
    // bmode changed by hand: no row of the table, the shield reads custom.
    EXPECT_EQ(client->action(deviceAction("bmode", kHealthy, 0))["value"].toInt(), 0);
    EXPECT_EQ(client->action(deviceAction("shield_vasta", kHealthy))["value"].toInt(), -1);

    EXPECT_EQ(client->action(deviceAction("blob_rejection", kHealthy, 3))["value"].toInt(), 3);
    EXPECT_EQ(sim->registerValue(kHealthy, "tblobdis"), "333 333");
    EXPECT_EQ(sim->registerValue(kHealthy, "tblobth"), "5");
    EXPECT_EQ(sim->registerValue(kHealthy, "tblobrej"), "1");
}

} // namespace

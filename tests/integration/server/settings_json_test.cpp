// The settings store through request documents: a JSON client downloads a
// controller's configuration as a Base64 image and uploads it to another.
#include "serverharness.h"

#include "device/devicemanager.h"
#include "server/applicationserver.h"

#include <QDataStream>

#include <gtest/gtest.h>

using namespace ServerTest;

namespace {

const QString kSource = "0200000001A3";
const QString kTarget = "0200000001B7";

}  // namespace

using SettingsOverJson = CoreOnSim;

TEST_F(SettingsOverJson, Base64DownloadAndUpload)
{
    startWith({"vasta:" + kSource + ":2.005,th=63", "vasta:" + kTarget + ":2.005"});

    // The download is queued: the answer comes first, the image later.
    QJsonObject answer = client->action(deviceAction("device_settings", kSource, QJsonObject{{"action", "download"}}));
    EXPECT_EQ(answer.value("value"), QJsonValue(QString()));
    QString image;
    ASSERT_TRUE(waitUntil([&] {
        image = client->action(deviceAction("device_settings", kSource)).value("value").toString();
        return !image.isEmpty();
    }));
    const QByteArray bytes = QByteArray::fromBase64(image.toLatin1());
    QDataStream stream(bytes);
    QString header, version, length, key;
    QByteArray configuration;
    stream >> header >> version >> length >> key >> configuration;
    EXPECT_EQ(header, "Corvane Veil File Settings v2.4");
    EXPECT_EQ(length, sim->registerValue(kSource, "sbl"));
    EXPECT_TRUE(configuration.contains("\nth=63\n"));

    answer = client->action(deviceAction("device_settings", kTarget, QJsonObject{{"action", "upload"}, {"data", image}}));
    EXPECT_FALSE(answer.contains("error"));
    EXPECT_TRUE(waitUntil([&] { return sim->registerValue(kTarget, "th") == "63"; }));
    EXPECT_TRUE(sim->trafficHas(kTarget + " sbe " + key + ' ' + length + " -> ok"));
    // The service re-read the target: its cached threshold is the new one.
    EXPECT_EQ(client->action(deviceAction("th", kTarget)).value("value").toInt(), 63);
}

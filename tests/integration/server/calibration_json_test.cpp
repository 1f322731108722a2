// Calibration and border settings through request documents: a client of
// the service core on a simulated Vasta reads and writes the structured
// values, and sees a write that the controller fails half way as an error.
#include "serverharness.h"

#include "device/devicemanager.h"
#include "server/applicationserver.h"

#include <gtest/gtest.h>

using namespace ServerTest;

namespace {

const QString kVasta = QStringLiteral("0200000001A3");

QJsonObject zone(int x, int y, int width, int height, const QJsonArray& matrix = {1, 0, 0, 0, 1, 0, 0, 0, 1})
{
    return QJsonObject{{"transform", matrix},
                       {"rectangle", QJsonObject{{"origin", QJsonObject{{"x", x}, {"y", y}}},
                                                 {"size", QJsonObject{{"width", width}, {"height", height}}}}}};
}

struct CalibrationOverJson : CoreOnSim {
    void SetUp() override { startWith({"vasta:" + kVasta + ":2.005"}); }

    // The value answered for one action on the Vasta, with or without a value to write.
    QJsonValue act(const QString& key, const QJsonValue& value = QJsonValue::Undefined)
    {
        const QJsonObject answer = client->action(deviceAction(key, kVasta, value));
        EXPECT_FALSE(answer.contains("error")) << qPrintable(key);
        return answer.value("value");
    }
    int linesWith(const QString& part) const { return sim->trafficLines().filter(kVasta + ' ' + part).size(); }
};

} // namespace

TEST_F(CalibrationOverJson, StructuredWriteTurnsCalibrationOn)
{
    const QJsonObject fresh = act("geometric_calibration").toObject();
    EXPECT_EQ(fresh.value("flipX"), 0);
    ASSERT_EQ(fresh.value("zones_buffer").toArray().size(), 4);
    EXPECT_EQ(fresh.value("zones_buffer")[3], zone(2048, 2048, 2048, 2048));
    EXPECT_EQ(sim->registerValue(kVasta, "cenable"), "0");

    const QJsonObject written = act("geometric_calibration",
                                    QJsonObject{{"flipX", 1}, {"flipY", 0}, {"orientation", 2},
                                                {"zones_buffer", QJsonArray{zone(0, 0, 2048, 4096, {1.5, 0, 0, 0, 1, 0, -8, 0, 1}),
                                                                            zone(2048, 0, 2048, 4096)}}})
                                    .toObject();
    EXPECT_FALSE(written.contains("error")) << qPrintable(written.value("error").toString());
    EXPECT_EQ(written.value("flipX"), 1);
    EXPECT_EQ(written.value("orientation"), 2);
    // What the controller holds after the clear: the two zones written.
    ASSERT_EQ(written.value("zones_buffer").toArray().size(), 2);
    EXPECT_EQ(written.value("zones_buffer")[0], zone(0, 0, 2048, 4096, {1.5, 0, 0, 0, 1, 0, -8, 0, 1}));
    EXPECT_EQ(sim->registerValue(kVasta, "cenable"), "1");
    EXPECT_EQ(sim->registerValue(kVasta, "cfo"), "1 0 2");
    EXPECT_EQ(act("cenable"), true);
}

TEST_F(CalibrationOverJson, WriteFailedHalfWayIsReportedAndNotClaimed)
{
    const int clears = linesWith("cclear");
    // The third zone lies beyond the controller's grid (0..4095).
    const QJsonObject answer = act("geometric_calibration",
                                   QJsonObject{{"zones_buffer", QJsonArray{zone(0, 0, 100, 100), zone(100, 0, 100, 100),
                                                                           zone(4000, 0, 500, 100), zone(200, 0, 100, 100)}}})
                                   .toObject();
    EXPECT_EQ(answer.value("error").toString(), "Calibration error: zone 2 of 4 not written (error: out of range)");
    EXPECT_EQ(linesWith("cclear"), clears + 1);
    EXPECT_EQ(linesWith("cmatrix 627320"), 3) << "nothing sent after the refusal";
    EXPECT_EQ(answer.value("zones_buffer").toArray(), (QJsonArray{zone(0, 0, 100, 100), zone(100, 0, 100, 100)}));
    EXPECT_EQ(sim->registerValue(kVasta, "cenable"), "0") << "a half calibration is not switched on";

    // Values of the wrong shape reach nothing on the controller.
    const int lines = sim->trafficLines().size();
    for (const QJsonValue& bad :
         {QJsonValue(QJsonArray{1, 2}), QJsonValue(QJsonObject{{"zones_buffer", 3}}),
          QJsonValue(QJsonObject{{"zones_buffer", QJsonArray{zone(0, 0, 0, 10)}}}),
          QJsonValue(QJsonObject{{"flipX", "1"}, {"zones_buffer", QJsonArray()}})}) {
        const QJsonObject refused = act("geometric_calibration", bad).toObject();
        EXPECT_TRUE(refused.value("error").toString().startsWith("Invalid argument: ")) << qPrintable(refused.value("error").toString());
    }
    EXPECT_EQ(sim->trafficLines().size(), lines) << qPrintable(sim->trafficLines().mid(lines).join('\n'));
}

TEST_F(CalibrationOverJson, BorderSettingsAndTouchCalibration)
{
    EXPECT_EQ(act("tste", QJsonObject{{"top", 33}}),
              QJsonValue(QJsonObject{{"left", 20}, {"top", 33}, {"right", 20}, {"bottom", 20}}));
    EXPECT_EQ(act("tste", QJsonArray{1, 2, 3, 4}), QJsonValue(QJsonObject{{"left", 4}, {"top", 1}, {"right", 2}, {"bottom", 3}}));
    EXPECT_EQ(linesWith("tste t 33 -> 33"), 1);

    const QJsonObject cba = act("cba", QJsonObject{{"left", QJsonObject{{"x", 130}, {"y", 140}}}}).toObject();
    EXPECT_EQ(cba.value("left"), QJsonValue(QJsonObject{{"x", 130}, {"y", 140}}));
    EXPECT_EQ(cba.value("top"), QJsonValue(QJsonObject{{"x", 100}, {"y", 100}}));
    EXPECT_EQ(linesWith("cba l 130 140 -> 130 140"), 1);

    EXPECT_EQ(act("tctlrc", QJsonArray{1, false}), QJsonValue(QJsonArray{1, false}));
    EXPECT_EQ(sim->registerValue(kVasta, "tctlrc"), "1");
    EXPECT_EQ(act("tctlrc", QJsonArray{0, true}), QJsonValue(QJsonArray{0, true}));
    EXPECT_EQ(sim->registerValue(kVasta, "tctlrc"), "0");
}

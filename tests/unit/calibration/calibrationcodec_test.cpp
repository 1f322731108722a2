// The pure parts of the calibration: the 64-byte zone block, the text
// command's words, the zone text, the JSON value and the point mapping.
#include "properties/calibrationblock.h"
#include "properties/calibrationcommand.h"
#include "properties/calibrationmap.h"
#include "properties/calibrationvalue.h"
#include "properties/calibrationzonetext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace {

using Kind = CVNCalibrationCommand::Kind;

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

QJsonValue json(const char* text)
{
    return QJsonDocument::fromJson(QByteArray("[") + text + "]").array().at(0);
}

} // namespace

TEST(CalibrationBlock, WriteBlockLayoutByteByByte)
{
    QByteArray block = CVNCalibrationBlock::emptyBlock();
    block.replace(39, 3, "\x01\x02\x03"); // left over from a reply: kept
    block[60] = '\x7f';
    CVNCalibrationBlock::layMarker(block, CVNCalibrationBlock::Marker::Write);
    const CVNCalibrationZone zone{QTransform(2, 0, 0, 0, -0.5, 0, 10, 20, 1), QRect(10, 20, 300, 200)};
    CVNCalibrationBlock::layZone(block, zone);
    const QByteArray expected = hex("627320"
                                    "00000040" "00000000" "00000000" // 2 0 0
                                    "00000000" "000000bf" "00000000" // 0 -0.5 0
                                    "00002041" "0000a041" "0000803f" // 10 20 1
                                    "010203" "0000"
                                    "0a001400" "35011400" "0a00db00" "3501db00" // (10,20) (309,20) (10,219) (309,219)
                                    "7f000000");
    EXPECT_EQ(block.toHex(), expected.toHex());

    CVNCalibrationZone back;
    ASSERT_TRUE(CVNCalibrationBlock::readZone(block, &back));
    EXPECT_EQ(back, zone);

    CVNCalibrationBlock::layRead(block, 7);
    EXPECT_EQ(block.mid(3, 36), QByteArray(36, '\0'));
    EXPECT_EQ(block.at(42), 7);
    EXPECT_EQ(block.mid(44, 16), QByteArray(16, '\0'));
}

TEST(CalibrationBlock, EmptyZonesAndErrorAnswers)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        float m11;
        float m33;
        bool present;
    } cases[] = {{1, 1, true}, {1, -1, true}, {1, 1.5f, true}, {1, 0.99f, false}, {1, -0.5f, false},
                 {1, 0, false}, {1, nan, false}, {inf, 1, false}, {nan, 2, false}};
    for (const Case& c : cases) {
        QByteArray block = CVNCalibrationBlock::emptyBlock();
        CVNCalibrationBlock::layMarker(block, CVNCalibrationBlock::Marker::Read);
        std::memcpy(block.data() + 3, &c.m11, 4);
        std::memcpy(block.data() + 35, &c.m33, 4);
        CVNCalibrationZone zone;
        EXPECT_EQ(CVNCalibrationBlock::readZone(block, &zone), c.present) << c.m11 << " " << c.m33;
    }
    CVNCalibrationZone zone;
    EXPECT_FALSE(CVNCalibrationBlock::readZone(QByteArray("bg "), &zone));

    QByteArray refused = QByteArray("Error: out of range").leftJustified(64, '\0');
    EXPECT_EQ(CVNCalibrationBlock::errorText(refused), QStringLiteral("Error: out of range"));
    QByteArray zoneBlock = QByteArray("bs error").leftJustified(64, '\0');
    EXPECT_EQ(CVNCalibrationBlock::errorText(zoneBlock), QString());
    EXPECT_EQ(CVNCalibrationBlock::errorText(QByteArray("ok").leftJustified(64, '\0')), QString());
}

TEST(CalibrationCommand, WordFormsAndBadInput)
{
    struct Case {
        QStringList words;
        Kind kind;
        QString error;
        int zone;
    } cases[] = {
        {{}, Kind::ShowAll, {}, 0},
        {{"RESET"}, Kind::Reset, {}, 0},
        {{"10", "20", "300", "200"}, Kind::SetZone, {}, 0},
        {{"1", "0", "0", "0", "1", "0", "0", "0", "1"}, Kind::SetZone, {}, 0},
        {{"Z3"}, Kind::ShowZone, {}, 3},
        {{"z3", "Reset"}, Kind::ResetZone, {}, 3},
        {{"z2", "10", "20", "300", "200"}, Kind::SetZone, {}, 2},
        {{"z-1", "reset"}, Kind::ResetZone, {}, -1}, // checked against the zones held
        {{"z1", "1", "0", "0", "0", "1", "0", "0", "0", "1", "0", "0", "5", "5"}, Kind::SetZone, {}, 1},
        // Wrong word counts.
        {{"x"}, Kind::Invalid, "Invalid arguments", 0},
        {{"1", "2"}, Kind::Invalid, "Invalid arguments", 0},
        {{"z1", "1", "2"}, Kind::Invalid, "Invalid arguments", 0},
        {{"z1", "clear"}, Kind::Invalid, "Invalid arguments", 0},
        {{"1", "0", "0", "0", "1", "0", "0", "0", "1", "0", "0", "5", "5"}, Kind::Invalid, "Invalid arguments", 0},
        // Non-numbers, non-finite matrices, rectangles outside 0..65535.
        {{"zq", "reset"}, Kind::Invalid, "Invalid parameter", 0},
        {{"z", "reset"}, Kind::Invalid, "Invalid parameter", 0},
        {{"z1", "a", "20", "300", "200"}, Kind::Invalid, "Invalid parameter", 0},
        {{"10", "20", "3.5", "200"}, Kind::Invalid, "Invalid parameter", 0},
        {{"1", "0", "0", "0", "1", "0", "0", "0", "nan"}, Kind::Invalid, "Invalid parameter", 0},
        {{"inf", "0", "0", "0", "1", "0", "0", "0", "1"}, Kind::Invalid, "Invalid parameter", 0},
        {{"1e39", "0", "0", "0", "1", "0", "0", "0", "1"}, Kind::Invalid, "Invalid parameter", 0},
        {{"-1", "0", "10", "10"}, Kind::Invalid, "Invalid parameter", 0},
        {{"65530", "0", "7", "10"}, Kind::Invalid, "Invalid parameter", 0},
        {{"0", "0", "0", "10"}, Kind::Invalid, "Invalid parameter", 0},
        {{"z0", "0", "0", "65537", "1"}, Kind::Invalid, "Invalid parameter", 0},
        {{"z0", "0", "0", "65536", "1"}, Kind::SetZone, {}, 0},
        {{"2147483647", "0", "2147483647", "1"}, Kind::Invalid, "Invalid parameter", 0},
    };
    for (const Case& c : cases) {
        const CVNCalibrationCommand command = CVNCalibrationCommand::parse(c.words);
        const std::string label = c.words.join(' ').toStdString();
        EXPECT_EQ(command.kind, c.kind) << label;
        EXPECT_EQ(command.error.toStdString(), c.error.toStdString()) << label;
        if (c.kind != Kind::Invalid)
            EXPECT_EQ(command.zone, c.zone) << label;
    }
    const CVNCalibrationCommand both = CVNCalibrationCommand::parse(
        {"z1", "2", "0", "0", "0", "2", "0", "0", "0", "1", "0", "0", "65535", "65535"});
    EXPECT_TRUE(both.hasTransform && both.hasRectangle && both.zoneNamed);
    EXPECT_EQ(both.transform, QTransform(2, 0, 0, 0, 2, 0, 0, 0, 1));
    EXPECT_EQ(both.rectangle, QRect(0, 0, 65535, 65535));
}

TEST(CalibrationZoneText, OneZoneAndSeveral)
{
    const CVNCalibrationZone identity{QTransform(), QRect(0, 0, 1920, 1080)};
    EXPECT_EQ(CVNCalibrationZoneText::all({identity}), "\nMatrix: "
                                                       "\n       1      0      0"
                                                       "\n       0      1      0"
                                                       "\n       0      0      1\n"
                                                       "Rectangle: pt(0, 0) size(1920, 1080)\n");
    const CVNCalibrationZone odd{QTransform(1.0 / 3, -2.5, 1e-7, 1234567, 0, 0, 10, 20, 1), QRect(10, 20, 300, 200)};
    const CVNCalibrationZones two{identity, odd};
    EXPECT_EQ(CVNCalibrationZoneText::zone(two, 1), "\nZone 1 Matrix: "
                                                    "\n       0.333333   -2.5  1e-07"
                                                    "\n    1.23457e+06      0      0"
                                                    "\n             10     20      1\n"
                                                    "Zone 1 Rectangle: pt(10, 20) size(300, 200)\n");
    EXPECT_EQ(CVNCalibrationZoneText::zone(two, 2), "Invalid zone index 2");
    EXPECT_TRUE(CVNCalibrationZoneText::all(two).startsWith("\nZone 0 Matrix: \n              1"));
    EXPECT_EQ(CVNCalibrationZoneText::all({}), "No zones defined");
}

TEST(CalibrationValue, ReadsGoodValuesAndRefusesWrongShapes)
{
    CVNCalibrationValue value;
    QString error;
    ASSERT_TRUE(CVNCalibrationValue::fromJson(
        json(R"({"flipX": 1, "orientation": 2, "zones_buffer": [
                 {"transform": [2, 0, 0, 0, 2, 0, 5, 6, 1],
                  "rectangle": {"origin": {"x": 10, "y": 20}, "size": {"width": 300, "height": 200}}},
                 {"rectangle": {"size": {"width": 4, "height": 4}}}]})"),
        &value, &error)) << qPrintable(error);
    EXPECT_EQ(value.flipX, 1);
    EXPECT_EQ(value.flipY, 0);
    EXPECT_EQ(value.orientation, 2);
    ASSERT_EQ(value.zones.size(), 2);
    EXPECT_EQ(value.zones[0].transform, QTransform(2, 0, 0, 0, 2, 0, 5, 6, 1));
    EXPECT_EQ(value.zones[0].rectangle, QRect(10, 20, 300, 200));
    // Missing numbers count as 0: an all-zero matrix, origin (0, 0).
    EXPECT_EQ(value.zones[1].transform, QTransform(0, 0, 0, 0, 0, 0, 0, 0, 0));
    EXPECT_EQ(value.zones[1].rectangle, QRect(0, 0, 4, 4));
    // The structured value reads back the same.
    CVNCalibrationValue again;
    ASSERT_TRUE(CVNCalibrationValue::fromJson(value.toJson(), &again, &error));
    EXPECT_EQ(again.zones, value.zones);

    QString manyZones = R"({"zones_buffer": [)";
    for (int i = 0; i < 26; ++i)
        manyZones += QStringLiteral(R"(%1{"rectangle": {"size": {"width": 1, "height": 1}}})").arg(i ? "," : "");
    manyZones += "]}";
    const QByteArray many = manyZones.toUtf8();
    const char* bad[] = {
        "[1, 2]", R"("zones")", "{}", R"({"zones_buffer": {}})", R"({"zones_buffer": [1]})",
        R"({"flipX": "1", "zones_buffer": []})", R"({"flipX": 1.5, "zones_buffer": []})",
        R"({"orientation": 1e12, "zones_buffer": []})",
        R"({"zones_buffer": [{"transform": [1, 0, 0, 0, 1, 0, 0, 0]}]})",
        R"({"zones_buffer": [{"transform": [1, 0, 0, 0, 1, 0, 0, 0, "1"], "rectangle": {"size": {"width": 1, "height": 1}}}]})",
        R"({"zones_buffer": [{"transform": [1e39, 0, 0, 0, 1, 0, 0, 0, 1], "rectangle": {"size": {"width": 1, "height": 1}}}]})",
        R"({"zones_buffer": [{"rectangle": {"origin": {"x": -1}, "size": {"width": 1, "height": 1}}}]})",
        R"({"zones_buffer": [{"rectangle": {"origin": {"x": 65535}, "size": {"width": 2, "height": 1}}}]})",
        R"({"zones_buffer": [{"rectangle": {"origin": {"x": 2147483647}, "size": {"width": 2147483647, "height": 1}}}]})",
        R"({"zones_buffer": [{"rectangle": {"size": {"width": 0, "height": 1}}}]})",
        R"({"zones_buffer": [{"rectangle": {"origin": [0, 0], "size": {"width": 1, "height": 1}}}]})",
        R"({"zones_buffer": [{"rectangle": 5}]})",
        many.constData(),
    };
    for (const char* text : bad) {
        error.clear();
        EXPECT_FALSE(CVNCalibrationValue::fromJson(json(text), &value, &error)) << text;
        EXPECT_TRUE(error.startsWith("Invalid argument: ")) << text;
    }
}

TEST(CalibrationMap, MapsThroughTheZoneHoldingThePoint)
{
    const CVNCalibrationMap none;
    EXPECT_EQ(none.map(QPointF(5, 6)), QPointF(5, 6));
    EXPECT_EQ(none.zoneFor(QPointF(5, 6)), -1);

    const CVNCalibrationMap map({{QTransform::fromTranslate(100, 0), QRect(0, 0, 100, 100)},
                                 {QTransform::fromScale(2, 2), QRect(100, 0, 100, 100)},
                                 {QTransform(), QRect(0, 0, 0, 0)}});
    EXPECT_EQ(map.map(QPointF(10, 10)), QPointF(110, 10));
    EXPECT_EQ(map.map(QPointF(150, 50)), QPointF(300, 100));
    EXPECT_EQ(map.zoneFor(QPointF(99.5, 0)), 0); // the last cell of zone 0
    // Outside every rectangle the nearest zone maps; an empty zone never does.
    EXPECT_EQ(map.zoneFor(QPointF(250, 300)), 1);
    EXPECT_EQ(map.zoneFor(QPointF(-5, -5)), 0);
    EXPECT_EQ(map.zoneFor(QPointF(std::nan(""), 1)), -1);
}

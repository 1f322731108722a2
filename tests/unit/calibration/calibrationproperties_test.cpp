// The calibration and border properties on a simulated controller in this
// process: what the text commands and JSON writes answer, what reaches the
// controller, and what the properties hold when the controller fails them.
#include "calibrationrig.h"

#include "interface/accessmode.h"
#include "interface/devicepropertybool.h"
#include "properties/devicepropertycalibration.h"
#include "properties/devicepropertycba.h"
#include "properties/devicepropertytouchcalibration.h"
#include "properties/devicepropertytouchsnaptoedge.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

QJsonObject zoneJson(const QRect& r, const QJsonArray& matrix = {1, 0, 0, 0, 1, 0, 0, 0, 1})
{
    return QJsonObject{{"transform", matrix},
                       {"rectangle", QJsonObject{{"origin", QJsonObject{{"x", r.x()}, {"y", r.y()}}},
                                                 {"size", QJsonObject{{"width", r.width()}, {"height", r.height()}}}}}};
}

QJsonObject calibration(const QJsonArray& zones, int flipX = 0, int flipY = 0, int orientation = 0)
{
    return QJsonObject{{"flipX", flipX}, {"flipY", flipY}, {"orientation", orientation}, {"zones_buffer", zones}};
}

} // namespace

TEST_F(CalibrationRig, ZoneCountFromCsizeLimitedToOneToTwentyFive)
{
    for (const auto& c : {std::make_pair("0", 1), std::make_pair("x", 1), std::make_pair("30", 25),
                          std::make_pair("9", 9)}) {
        stop();
        start(QStringLiteral("vasta:0200000001A3:2.005,csize=") + c.first);
        (void)run("geom-calibration");
        EXPECT_EQ(exchanges("cmatrix").size(), c.second) << c.first;
    }
    // Only the four zones of a fresh controller are held; the others read as absent.
    EXPECT_EQ(entity<DevicePropertyCalibration>("geometric_calibration")->zones().size(), 4);
}

TEST_F(CalibrationRig, EditsKeepTheOtherPartAndBadWordsSendNothing)
{
    start();
    auto* cal = entity<DevicePropertyCalibration>("geometric_calibration");
    ASSERT_TRUE(cal);
    EXPECT_EQ(cal->zones().size(), 0) << "nothing read before the first request";
    const QString zone3 = run("geom-calibration", {"z3"});
    EXPECT_TRUE(zone3.startsWith("\nZone 3 Matrix: ")) << qPrintable(zone3);

    (void)run("geom-calibration", {"z3", "2", "0", "0", "0", "2", "0", "7", "8", "1"});
    const QString reset = run("geom-calibration", {"z3", "reset"});
    EXPECT_EQ(reset, run("geom-calibration", {"z3"}));
    EXPECT_EQ(cal->zones().at(3).transform, QTransform());
    EXPECT_EQ(cal->zones().at(3).rectangle, QRect(2048, 2048, 2048, 2048)) << "rectangle kept";

    const int before = traffic.size();
    const QList<QPair<QStringList, QString>> bad = {
        {{"z4", "reset"}, "Invalid zone index"},
        {{"z-1"}, "Invalid zone index"},
        {{"z1", "1", "2"}, "Invalid arguments"},
        {{"z1", "1", "2", "3", "x"}, "Invalid parameter"},
        {{"1", "0", "0", "0", "1", "0", "0", "0", "inf"}, "Invalid parameter"},
        {{"0", "0", "70000", "10"}, "Invalid parameter"},
        {{"q"}, "Invalid arguments"},
    };
    for (const auto& b : bad)
        EXPECT_EQ(run("geom-calibration", b.first), b.second) << qPrintable(b.first.join(' '));
    EXPECT_EQ(traffic.size(), before) << qPrintable(traffic.mid(before).join('\n'));

    // Nothing goes out for a JSON value of the wrong shape either; the answer says why.
    cal->setValue(QJsonObject{{"zones_buffer", QJsonArray{1}}});
    EXPECT_EQ(traffic.size(), before);
    EXPECT_EQ(cal->value().toObject().value("error").toString(), "Invalid argument: a zone is not an object");
}

TEST_F(CalibrationRig, ReadOnlyCalibrationRefusesEveryEdit)
{
    start();
    DevicePropertyCalibration readOnly(iface.get(), "geometric_calibration", {}, "gc", AccessMode::Read);
    readOnly.setSymbolExtra("csize", "csize");
    const int before = traffic.size();
    CVNEntityContext context;
    for (const QStringList& words : {QStringList{"reset"}, QStringList{"1", "2", "3", "4"}, QStringList{"z1", "reset"},
                                     QStringList{"z1", "x", "y", "z", "w"}}) {
        context.arguments = words;
        EXPECT_EQ(readOnly.execute(context), "Property is not writable") << qPrintable(words.join(' '));
    }
    readOnly.setValue(calibration({}));
    EXPECT_EQ(traffic.size(), before);
    context.arguments = QStringList{"z1"};
    EXPECT_TRUE(readOnly.execute(context).startsWith("\nZone 1 Matrix"));
}

TEST_F(CalibrationRig, ZonesBelowOneInM33ReadBackAbsent)
{
    start();
    auto* cal = entity<DevicePropertyCalibration>("geometric_calibration");
    cal->setValue(calibration({zoneJson(QRect(0, 0, 10, 10)), zoneJson(QRect(10, 0, 10, 10), {1, 0, 0, 0, 1, 0, 0, 0, 0.5}),
                               zoneJson(QRect(20, 0, 10, 10), {1, 0, 0, 0, 1, 0, 0, 0, -1})}));
    EXPECT_EQ(cal->lastWriteError(), QString());
    EXPECT_EQ(exchanges("cclear").size(), 1);
    EXPECT_EQ(exchanges("cmatrix").filter(QRegularExpression("^cmatrix 627320")).size(), 3);
    cal->setRequestState(DeviceProperty::Idle);
    const CVNCalibrationZones zones = cal->zones();
    (void)cal->value();
    ASSERT_EQ(cal->zones().size(), 2);
    EXPECT_EQ(cal->zones().at(1).rectangle, QRect(20, 0, 10, 10));
    EXPECT_EQ(cal->zones().at(1).transform.m33(), -1);
}

TEST_F(CalibrationRig, WriteRefusedHalfWayIsAnErrorAndClaimsNothing)
{
    start();
    auto* cal = entity<DevicePropertyCalibration>("geometric_calibration");
    auto* enable = entity<DevicePropertyBool>("cenable");
    ASSERT_TRUE(cal && enable);
    // The controller's grid ends at 4095: the third zone lies outside it.
    cal->setValue(calibration({zoneJson(QRect(0, 0, 100, 100)), zoneJson(QRect(100, 0, 100, 100)),
                               zoneJson(QRect(4000, 0, 200, 100)), zoneJson(QRect(300, 0, 100, 100))}, 1, 0, 0));
    EXPECT_EQ(cal->lastWriteError(), "Calibration error: zone 2 of 4 not written (error: out of range)");
    EXPECT_EQ(exchanges("cmatrix").filter(QRegularExpression("^cmatrix 627320")).size(), 3) << "nothing after the refusal";
    EXPECT_EQ(reg("cenable"), "0") << "calibration not switched on";
    EXPECT_EQ(reg("cfo"), "0 0 0");
    // The property holds what the controller holds: the two zones it took.
    const QJsonObject value = cal->value().toObject();
    EXPECT_EQ(value.value("error").toString(), cal->lastWriteError());
    ASSERT_EQ(value.value("zones_buffer").toArray().size(), 2);
    EXPECT_EQ(cal->zones().at(1).rectangle, QRect(100, 0, 100, 100));
    EXPECT_FALSE(cal->isCalibrationEnabled());

    // A good write afterwards clears the error and switches calibration on.
    cal->setValue(calibration({zoneJson(QRect(0, 0, 4096, 4096))}, 1, 1, 2));
    EXPECT_EQ(cal->lastWriteError(), QString());
    EXPECT_EQ(reg("cenable"), "1");
    EXPECT_EQ(reg("cfo"), "1 1 2");
    EXPECT_TRUE(cal->isCalibrationEnabled());
    EXPECT_FALSE(cal->value().toObject().contains("error"));
}

TEST_F(CalibrationRig, ControllerGoneMidWriteAnswersTheErrorNotTheZone)
{
    start();
    // Every transfer fails once the second zone block went out: the
    // controller is gone before it answered.
    int blocks = 0;
    onTraffic = [&](const QString& line) {
        if (line.startsWith("cmatrix 627320") && ++blocks == 2)
            controller->faults().failNext(1000);
    };
    const QString answer = run("geom-calibration", {"z2", "10", "20", "300", "200"});
    EXPECT_EQ(answer, "Calibration error: zone 1 of 4 not written (no answer from the controller)");
    auto* cal = entity<DevicePropertyCalibration>("geometric_calibration");
    EXPECT_TRUE(cal->zones().isEmpty()) << "no zone claimed that the controller may not hold";
    EXPECT_EQ(cal->requestState(), DeviceProperty::Idle);
    EXPECT_FALSE(parent->isOpen());
}

TEST_F(CalibrationRig, ResetNeedsTheZoneCountAndTheLogicalSize)
{
    start();
    preset("flogs", "1920 1080");
    EXPECT_EQ(run("geom-calibration", {"reset"}), "Calibration clear");
    EXPECT_EQ(reg("csize"), "1");
    EXPECT_EQ(run("geom-calibration"), "\nMatrix: \n       1      0      0\n       0      1      0\n       0      0      1\n"
                                       "Rectangle: pt(0, 0) size(1920, 1080)\n");
    // After a "cclear" the controller holds nothing; reset gives it its zone back.
    (void)run("cclear");
    auto* cal = entity<DevicePropertyCalibration>("geometric_calibration");
    cal->setRequestState(DeviceProperty::Idle);
    EXPECT_EQ(run("geom-calibration"), "No zones defined");
    EXPECT_EQ(run("geom-calibration", {"1", "2", "3", "4"}), "No zones defined");
    EXPECT_EQ(run("geom-calibration", {"reset"}), "Calibration clear");
    EXPECT_EQ(cal->zones().size(), 1);

    stop();
    start();
    preset("flogs", "0 0");
    const int before = traffic.size();
    EXPECT_EQ(run("geom-calibration", {"reset"}), "Calibration error: no logical sensor size");
    EXPECT_EQ(traffic.mid(before), QStringList{"flogs  -> 0 0"}) << "nothing changed";

    // The zone count write fails: the controller is gone after reporting its size.
    stop();
    start();
    EXPECT_EQ(run("flogs"), "4095 4095");
    controller->faults().failNext(1000);
    EXPECT_EQ(run("geom-calibration", {"reset"}), "Failed to reset number of zones");
    EXPECT_TRUE(exchanges("cclear").isEmpty());
}

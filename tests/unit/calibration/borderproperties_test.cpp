// Touch calibration, edge snapping and border adjustment on a simulated
// controller in this process, and every shipped description building them.
#include "calibrationrig.h"

#include "interface/devicepropertyinttriple.h"
#include "properties/devicepropertycalibration.h"
#include "properties/devicepropertycba.h"
#include "properties/devicepropertytouchcalibration.h"
#include "properties/devicepropertytouchsnaptoedge.h"

#include <QDir>
#include <QJsonArray>

TEST_F(CalibrationRig, TouchCalibrationValueAndReportFlag)
{
    start();
    auto* tc = entity<DevicePropertyTouchCalibration>("tctlrc");
    ASSERT_TRUE(tc);
    EXPECT_EQ(tc->flipOrientationLink(), entity<DevicePropertyIntTriple>("cfo"));
    EXPECT_EQ(run("tctlrc", {"1"}), "1");
    EXPECT_EQ(reg("tctlrc"), "1");
    EXPECT_TRUE(tc->isEnabled());
    // The flag asks for calibrated reports while the controller's value is 0.
    tc->setValue(QJsonArray{0, true});
    EXPECT_EQ(reg("tctlrc"), "0");
    EXPECT_EQ(run("tctlrc"), "1");
    EXPECT_EQ(tc->value(), QJsonValue(QJsonArray{0, true}));
    EXPECT_TRUE(tc->reportFlag() && tc->isEnabled());
    EXPECT_EQ(tc->deviceValue(), 0);
    // A text write clears the flag.
    EXPECT_EQ(run("tctlrc", {"0"}), "0");
    EXPECT_FALSE(tc->isEnabled());

    const int before = traffic.size();
    for (const QStringList& words : {QStringList{"x"}, QStringList{"1.5"}, QStringList{"1", "1"}})
        EXPECT_EQ(run("tctlrc", words), "Invalid arguments\n0 | 1");
    for (const QJsonValue& bad : {QJsonValue(1), QJsonValue(QJsonArray{1}), QJsonValue(QJsonArray{"1", true}),
                                  QJsonValue(QJsonArray{1, 1})})
        tc->setValue(bad);
    EXPECT_EQ(traffic.size(), before);
    // A value the controller refuses answers with its words.
    EXPECT_EQ(run("tctlrc", {"2"}), "error: out of range");
}

TEST_F(CalibrationRig, EdgeSnappingSidesReadAndWritten)
{
    start();
    auto* snap = entity<DevicePropertyTouchSnapToEdge>("tste");
    ASSERT_TRUE(snap);
    EXPECT_EQ(run("tste"), "20 20 20 20");
    EXPECT_EQ(exchanges("tste"), (QStringList{"tste l -> 20", "tste t -> 20", "tste r -> 20", "tste b -> 20"}));

    int from = traffic.size();
    EXPECT_EQ(run("tste", {"1", "2", "3", "4"}), "1 2 3 4");
    EXPECT_EQ(exchanges("tste", from).mid(4), (QStringList{"tste l 4 -> 4", "tste t 1 -> 1", "tste r 2 -> 2", "tste b 3 -> 3"}));
    EXPECT_EQ(run("tste", {"top", "12"}), "top 12");
    EXPECT_EQ(run("tste", {"left"}), "left 4");
    snap->setValue(QJsonObject{{"bottom", 9}, {"left", 7}}); // left comes first
    EXPECT_EQ(snap->value(), QJsonValue(QJsonObject{{"left", 7}, {"top", 12}, {"right", 2}, {"bottom", 3}}));
    snap->setValue(QJsonArray{5, 6, 7, 8});
    EXPECT_EQ(run("tste"), "5 6 7 8");

    from = traffic.size();
    for (const QStringList& words : {QStringList{"top", "x"}, QStringList{"middle"}, QStringList{"1", "2", "3"},
                                     QStringList{"top", "1", "2"}, QStringList{"1", "2", "x", "4"}})
        EXPECT_EQ(run("tste", words), "invalid arguments") << qPrintable(words.join(' '));
    snap->setValue(QJsonObject{{"top", "5"}});
    snap->setValue(QJsonArray{1, 2});
    EXPECT_EQ(traffic.size(), from) << "nothing sent for bad words";

    // A refused value is the controller's error, and the side keeps what it holds.
    EXPECT_EQ(run("tste", {"top", "5000"}), "error: out of range");
    EXPECT_EQ(snap->side("top"), 5);
    EXPECT_EQ(run("tste", {"reset"}), "Default values");
    EXPECT_EQ(snap->value(), QJsonValue(QJsonObject{{"left", 20}, {"top", 20}, {"right", 20}, {"bottom", 20}}));
    snap->setValue(QJsonObject{{"reset", true}});
    EXPECT_EQ(exchanges("tste").filter("reset").size(), 2);
}

TEST_F(CalibrationRig, BorderAdjustmentSidesReadAndWritten)
{
    start();
    auto* cba = entity<DevicePropertyCba>("cba");
    ASSERT_TRUE(cba);
    EXPECT_EQ(run("cba"), "(100,100) (100,100) (100,100) (100,100)");
    EXPECT_EQ(run("cba", {"left", "150", "120"}), "left 150 120");
    EXPECT_EQ(run("cba", {"left"}), "left 150 120");
    int from = traffic.size();
    EXPECT_EQ(run("cba", {"left", "a"}), "left 100 100");
    EXPECT_TRUE(exchanges("cba", from).contains("cba l a -> 100 100")) << qPrintable(traffic.mid(from).join('\n'));
    cba->setValue(QJsonObject{{"top", QJsonObject{{"x", 90}, {"y", 80}}}});
    EXPECT_EQ(cba->value().toObject().value("top"), QJsonValue(QJsonObject{{"x", 90}, {"y", 80}}));
    EXPECT_EQ(run("cba"), "(90,80) (100,100) (100,100) (100,100)");

    from = traffic.size();
    for (const QStringList& words : {QStringList{"middle"}, QStringList{"left", "b"}, QStringList{"left", "1", "x"},
                                     QStringList{"left", "1", "2", "3"}, QStringList{"1", "2", "3"}})
        EXPECT_EQ(run("cba", words), "Invalid arguments") << qPrintable(words.join(' '));
    cba->setValue(QJsonObject{{"top", QJsonObject{{"x", "1"}, {"y", 2}}}});
    cba->setValue(QJsonArray{1, 2});
    EXPECT_EQ(traffic.size(), from);
    EXPECT_EQ(run("cba", {"right", "1001", "5"}), "error: out of range");
    EXPECT_EQ(cba->sideValue("right", 0), 100);
}

TEST_F(CalibrationRig, OlderFirmwareWithoutTheBorderCommands)
{
    // TwinPoint 2.004 has edge snapping but no border adjustment.
    start("twinpoint:0C00000002B7:2.004", "c-2_004-hid");
    EXPECT_EQ(run("tste", {"top", "3"}), "top 3");
    EXPECT_EQ(iface->entity("cba"), nullptr);
    // The controller itself does not know the word either.
    EXPECT_EQ(controller->registers().exchange("cba", "t"), "error: unknown command");
}

TEST(CalibrationDescriptions, EveryShippedDescriptionBuildsItsCalibrationEntities)
{
    registerEntityBuilders();
    DeviceInterfaceBuilder builder;
    const QMap<QString, const char*> classes{{"GeomCalibration", "GeomCalibration"},
                                             {"TouchCalibration", "TouchCalibration"}, {"Tste", "Tste"}, {"Cba", "Cba"}};
    int built = 0;
    for (const QString& file : QDir(":/devices-interfaces-resources").entryList({"*-hid.json"})) {
        QJsonObject json;
        ASSERT_TRUE(DeviceInterfaceBuilder::readDescription(":/devices-interfaces-resources/" + file, &json));
        CVNDeviceInterface iface("root", nullptr);
        ASSERT_TRUE(builder.populate(&iface, json)) << qPrintable(file);
        for (const QJsonValue& entry : json.value("entities").toArray()) {
            const QString type = entry.toObject().value("type").toString();
            if (!classes.contains(type))
                continue;
            Entity* entity = iface.entity(entry.toObject().value("name").toString());
            ASSERT_TRUE(entity) << qPrintable(file + " " + type);
            EXPECT_EQ(entity->typeName(), type) << qPrintable(file);
            ++built;
            if (auto* cal = dynamic_cast<DevicePropertyCalibration*>(entity)) {
                EXPECT_TRUE(cal->enableLink() && cal->flipOrientationLink() && cal->zoneCountLink()
                            && cal->logicalSizeLink())
                    << qPrintable(file);
                EXPECT_EQ(cal->dependencies().keys().size(), 5) << qPrintable(file);
            }
            if (auto* snap = dynamic_cast<DevicePropertyTouchSnapToEdge*>(entity))
                EXPECT_EQ(snap->actionName("reset"), "tste.reset");
        }
    }
    // Vasta 2.004/2.005 and Lyn 2.004/2.005 have all four, Lyn 2.003 and
    // TwinPoint 2.002 two, TwinPoint 2.004 three, TwinPoint 2.005 four.
    EXPECT_EQ(built, 4 * 4 + 2 + 2 + 3 + 4);
}

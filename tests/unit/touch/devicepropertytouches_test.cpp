#include "properties/devicepropertytouchcalibration.h"
#include "touch/devicepropertytouchentities.h"
#include "touch/touchentity.h"

#include "touchrig.h"

#include <QJsonArray>
#include <QSettings>
#include <QTest>
#include <gtest/gtest.h>

namespace
{

struct CountingObserver : CVNPropertyObserver {
    int changes = 0;
    void propertyChanged(CVNProperty*) override { ++changes; }
    void propertyDestroyed(CVNProperty*) override {}
};

} // namespace

TEST(DevicePropertyTouches, PollsOnlyWhileObservedAndTellsObserversPerReply)
{
    TouchRig rig;
    auto* touches = rig.entity<DevicePropertyTouchEntities>(QStringLiteral("touches"));
    ASSERT_TRUE(touches);
    EXPECT_FALSE(touches->isPolling());
    CountingObserver first;
    CountingObserver second;
    touches->addObserver(&first);
    touches->addObserver(&second);
    EXPECT_TRUE(touches->isPolling());
    rig.surface().putFinger(4, 1000, 2000, 600);
    QTRY_VERIFY_WITH_TIMEOUT(first.changes >= 3, 5000);
    ASSERT_EQ(touches->tracker().entities().size(), 1);
    const TouchEntity* finger = touches->tracker().entities().first();
    EXPECT_EQ(finger->identifier(), 101001);
    EXPECT_EQ(finger->latest().position, QPoint(1000, 2000));
    EXPECT_EQ(finger->latest().pressure, 600);

    touches->removeObserver(&first);
    EXPECT_TRUE(touches->isPolling()) << "one observer left";
    touches->removeObserver(&second);
    EXPECT_FALSE(touches->isPolling());
    const int seen = second.changes;
    QTest::qWait(100);
    EXPECT_EQ(second.changes, seen);
}

TEST(DevicePropertyTouches, ValueListsEntitiesWithPensAndLosesThemAfterTheLift)
{
    TouchRig rig;
    auto* touches = rig.entity<DevicePropertyTouches>(QStringLiteral("touches"));
    ASSERT_TRUE(touches);
    QJsonObject value = touches->value().toObject();
    EXPECT_EQ(value.value("or-spec").toInt(), 0);
    EXPECT_FALSE(value.contains("entities")) << "nothing on the sensor";

    rig.surface().putFinger(1, 100, 200, 500);
    rig.surface().putPen(12, 300, 400, 700);
    value = touches->value().toObject();
    const QJsonArray entities = value.value("entities").toArray();
    ASSERT_EQ(entities.size(), 2);
    EXPECT_EQ(entities[0].toObject().value("identifier").toInt(), 101001);
    EXPECT_EQ(entities[1].toObject().value("identifier").toInt(), 601001);
    EXPECT_EQ(entities[1].toObject().value("x").toInt(), 300);
    EXPECT_EQ(entities[1].toObject().value("pressure").toInt(), 700);

    rig.surface().liftAll();
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(touches->value().toObject().value("entities").toArray().size(), 2) << i;
    EXPECT_FALSE(touches->value().toObject().contains("entities")) << "gone at the third reply";
}

TEST(DevicePropertyTouches, ErrorReplyLeavesTheTrackerAlone)
{
    TouchRig rig;
    auto* touches = rig.entity<DevicePropertyTouches>(QStringLiteral("touches"));
    rig.surface().putFinger(1, 100, 200, 500);
    (void)touches->value();
    ASSERT_EQ(touches->tracker().entities().size(), 1);
    CVNDeviceRequest error(CVNDeviceRequest::Error, QStringLiteral("touches"), 1);
    error.text = QStringLiteral("Touch reports not read");
    for (int i = 0; i < 5; ++i)
        touches->handleReply(error);
    ASSERT_EQ(touches->tracker().entities().size(), 1);
    EXPECT_EQ(touches->tracker().entities()[0]->keepAliveCounter(), 3);
}

TEST(DevicePropertyTouches, OrSpecByCommandJsonAndSettings)
{
    QSettings(QStringLiteral("Corvane"), QStringLiteral("CorvaneService")).clear();
    {
        TouchRig rig;
        auto* touches = rig.entity<DevicePropertyTouchEntities>(QStringLiteral("touches"));
        struct Case {
            QStringList words;
            QString answer;
        };
        for (const Case& c : { Case { {}, "0" }, Case { { "2" }, "2" }, Case { { "7" }, "2" }, Case { { "-1" }, "0" },
                 Case { { "x" }, "Invalid argument\n0 | 1 | 2" }, Case { { "1", "2" }, "Invalid parameters" },
                 Case { { "1" }, "1" } }) {
            CVNEntityContext context;
            context.arguments = c.words;
            EXPECT_EQ(touches->execute(context), c.answer) << qPrintable(c.words.join(' '));
        }
        touches->setValue(QJsonObject{ { "or-spec", 1.5 } });
        EXPECT_EQ(touches->orSpec(), 1) << "no whole number, no change";
        touches->setValue(QJsonObject{ { "or-spec", 2 } });
        EXPECT_EQ(touches->orSpec(), 2);
        EXPECT_EQ(touches->value().toObject().value("or-spec").toInt(), 2);
    }
    TouchRig again;
    QSettings settings(QStringLiteral("Corvane"), QStringLiteral("CorvaneService"));
    settings.beginGroup(QStringLiteral("ApplicationServer"));
    again.iface->loadSettings(settings);
    EXPECT_EQ(again.entity<DevicePropertyTouchEntities>(QStringLiteral("touches"))->orSpec(), 2);
}

TEST(DevicePropertyTouches, TouchCalibrationSwitchesTheMapping)
{
    TouchRig rig;
    auto* touches = rig.entity<DevicePropertyTouches>(QStringLiteral("touches"));
    auto* calibration = rig.entity<DevicePropertyTouchCalibration>(QStringLiteral("tctlrc"));
    ASSERT_TRUE(calibration && touches->geometricCalibrationLink());
    rig.surface().putFinger(1, 100, 200, 500);
    (void)touches->value();
    EXPECT_FALSE(touches->tracker().entities()[0]->isCalibrated());
    calibration->setValue(QJsonArray{ 0, true }); // asked for by a client, whatever the controller does
    (void)touches->value();
    EXPECT_TRUE(touches->tracker().entities()[0]->isCalibrated());
    EXPECT_FALSE(touches->tracker().entities()[0]->calibrationData().isEmpty()) << "the controller's zones";
    calibration->setValue(QJsonArray{ 0, false });
    (void)touches->value();
    EXPECT_FALSE(touches->tracker().entities()[0]->isCalibrated());
}

#include "touch/touchentity.h"
#include "touch/touchentityjson.h"
#include "touch/touchparameters.h"
#include "touch/touchtracker.h"

#include "touchblocks.h"

#include <QJsonArray>
#include <gtest/gtest.h>

namespace
{

struct Tracker : ::testing::Test {
    CVNTouchTracker tracker;
    qint64 now = 1000000;

    ~Tracker() override { CVNTouchParameters::setCurrent(CVNTouchParameters()); }

    void poll(const QVector<FingerAt>& fingers, const QVector<PenAt>& pens = {})
    {
        now += 30;
        tracker.update(CVNTouchRecords::decode(touchBlock(fingers, pens)), now);
    }
    QVector<int> identifiers() const
    {
        QVector<int> ids;
        for (const TouchEntity* e : tracker.entities())
            ids.append(e->identifier());
        return ids;
    }
};

// An object entity that a recognition processor makes: it counts its end of
// poll and dies when told.
class FakeObject : public TouchEntity
{
public:
    FakeObject(CVNTouchSerialPools* pools, int* endPolls)
        : TouchEntity(TriangleV1Kind, 3, pools)
        , m_endPolls(endPolls)
    {
        setUpdated(true);
    }
    void endPoll() override
    {
        ++*m_endPolls;
        TouchEntity::endPoll();
    }
    bool updateFromContact(const CVNRawContact& record, qint64) override { return record.id == 42; }

private:
    int* m_endPolls;
};

class FakeProcess : public TouchEntityProcess
{
public:
    int processed = 0;
    int rejected = 0;
    int endPolls = 0;
    void process(Context& context) override
    {
        if (processed++ == 0)
            context.entities.append(new FakeObject(&context.pools, &endPolls));
    }
    void rejectPoints(Context&) override { ++rejected; }
};

} // namespace

TEST_F(Tracker, FingerKeepsItsIdentifierAndGoesAtTheThirdReplyWithoutIt)
{
    poll({ { 5, 100, 200 } });
    ASSERT_EQ(identifiers(), QVector<int>({ 101001 }));
    poll({ { 5, 110, 210 } });
    poll({ { 5, 120, 220 } });
    ASSERT_EQ(identifiers(), QVector<int>({ 101001 }));
    EXPECT_EQ(tracker.entities()[0]->latest().position, QPoint(120, 220));
    EXPECT_EQ(tracker.entities()[0]->history().size(), 3);
    poll({});
    poll({});
    EXPECT_EQ(identifiers(), QVector<int>({ 101001 })) << "two more replies";
    poll({});
    EXPECT_TRUE(tracker.entities().isEmpty());

    // The freed serial goes to the end of the pool: the next finger gets 2.
    poll({ { 5, 1, 1 }, { 6, 2, 2 } });
    EXPECT_EQ(identifiers(), QVector<int>({ 101002, 101003 }));
}

TEST_F(Tracker, EmptySlotsAndBadPenIdsAreIgnored)
{
    poll({ { 0xFF, 1, 1 }, { 0, 2, 2 }, { 254, 3, 3 } }, { { 9, 1, 1 }, { 128, 1, 1 }, { 10, 7, 8 }, { 127, 9, 9 } });
    EXPECT_EQ(identifiers(), QVector<int>({ 101001, 101002, 601001, 601002 }));
    EXPECT_EQ(tracker.entities()[2]->deviceId(), 10);
    // A pen that leaves keeps its place two more replies, like a finger.
    poll({ { 0, 2, 2 }, { 254, 3, 3 } }, { { 127, 9, 9 } });
    EXPECT_EQ(identifiers().size(), 4);
}

TEST_F(Tracker, HistoryHoldsTwentySamples)
{
    for (int i = 0; i < 25; ++i)
        poll({ { 1, i, i } });
    ASSERT_EQ(tracker.entities().size(), 1);
    const QVector<TouchEntityProperties>& history = tracker.entities()[0]->history();
    ASSERT_EQ(history.size(), TouchEntity::MaxHistory);
    EXPECT_EQ(history.first().position, QPoint(5, 5));
    EXPECT_EQ(history.last().position, QPoint(24, 24));
}

TEST_F(Tracker, PressureThresholdSparesLockedFingersUnlessToldOtherwise)
{
    CVNTouchParameters parameters;
    parameters.pressureThreshold = 100;
    CVNTouchParameters::setCurrent(parameters);
    poll({ { 1, 1, 1, 99 }, { 2, 2, 2, 100 } });
    ASSERT_EQ(identifiers(), QVector<int>({ 101001 })) << "a light new contact is not made";
    EXPECT_EQ(tracker.entities()[0]->deviceId(), 2);
    EXPECT_FALSE(tracker.entities()[0]->isLocked(now));

    now += parameters.timeLockMs; // locked from now on
    EXPECT_TRUE(tracker.entities()[0]->isLocked(now + 30));
    poll({ { 2, 5, 5, 10 } });
    ASSERT_EQ(identifiers(), QVector<int>({ 101001 }));
    EXPECT_EQ(tracker.entities()[0]->latest().pressure, 10) << "locked and light: still tracked";

    parameters.pressureRejectsLocked = true;
    CVNTouchParameters::setCurrent(parameters);
    for (int i = 0; i < 3; ++i)
        poll({ { 2, 5, 5, 10 } });
    EXPECT_TRUE(tracker.entities().isEmpty()) << "light records no longer match, nor make a new finger";

    // A forced lock counts at once.
    CVNTouchParameters::setCurrent(CVNTouchParameters());
    poll({ { 3, 1, 1 } });
    EXPECT_FALSE(tracker.entities()[0]->isLocked(now));
    tracker.entities()[0]->setLockForced(true);
    EXPECT_TRUE(tracker.entities()[0]->isLocked(now));
}

TEST_F(Tracker, OrSpecChangeRestartsWithFreshSerials)
{
    poll({ { 1, 1, 1 }, { 2, 2, 2 } });
    tracker.setOrSpec(7);
    EXPECT_EQ(tracker.orSpec(), 2);
    EXPECT_TRUE(tracker.entities().isEmpty());
    poll({ { 9, 1, 1 } });
    EXPECT_EQ(identifiers(), QVector<int>({ 101001 })) << "pools refilled: serial 1 again";
    tracker.setOrSpec(-1);
    EXPECT_EQ(tracker.orSpec(), 0);
    EXPECT_TRUE(tracker.entities().isEmpty());
}

TEST(TouchSerialPools, AscendingReusedInOrderFreedEmptyGivesZero)
{
    CVNTouchSerialPools pools;
    for (int i = 1; i <= 999; ++i)
        ASSERT_EQ(pools.take(TouchEntity::FingerKind), i);
    EXPECT_EQ(pools.take(TouchEntity::FingerKind), 0) << "pool exhausted";
    EXPECT_EQ(pools.take(TouchEntity::PenKind), 1) << "pens have their own pool";
    pools.release(TouchEntity::FingerKind, 7);
    pools.release(TouchEntity::FingerKind, 3);
    pools.release(TouchEntity::FingerKind, 1000); // not a serial
    EXPECT_EQ(pools.take(TouchEntity::FingerKind), 7);
    EXPECT_EQ(pools.take(TouchEntity::FingerKind), 3);
    EXPECT_EQ(pools.take(TouchEntity::FingerKind), 0);
    EXPECT_EQ(pools.take(99), 0);
}

TEST_F(Tracker, RecognitionRunsAsStepSevenAndOwnsWhatItAdds)
{
    auto process = std::make_unique<FakeProcess>();
    FakeProcess* fake = process.get();
    tracker.setOrSpec(1);
    tracker.setProcessor(std::move(process));
    poll({ { 1, 1, 1 } });
    EXPECT_EQ(fake->processed, 1);
    EXPECT_EQ(fake->rejected, 1);
    EXPECT_EQ(fake->endPolls, 1) << "the new object ends its poll in step 7";
    ASSERT_EQ(identifiers(), QVector<int>({ 101001, 203001 }));

    // A record the object takes is not offered to fingers, nor made a finger.
    poll({ { 1, 1, 1 }, { 42, 9, 9 } });
    EXPECT_EQ(identifiers(), QVector<int>({ 101001, 203001 }));
    tracker.entities()[1]->setDead(true);
    poll({ { 1, 1, 1 } });
    EXPECT_EQ(identifiers(), QVector<int>({ 101001 })) << "a dead object is removed in step 8";
}

TEST_F(Tracker, CalibrationMapsPublishedPositions)
{
    poll({ { 1, 100, 200 } }, { { 10, 50, 60 } });
    CVNCalibrationZone zone;
    zone.rectangle = QRect(0, 0, 4096, 4096);
    zone.transform = QTransform(2, 0, 0, 0, 1, 0, 5, 0, 1);
    const CVNCalibrationMap map(CVNCalibrationZones{ zone });
    tracker.applyCalibration(&map);
    const QJsonArray json = CVNTouchEntityJson::toJson(tracker.entities());
    ASSERT_EQ(json.size(), 2);
    EXPECT_EQ(json[0].toObject().value("x").toInt(), 205);
    EXPECT_EQ(json[0].toObject().value("y").toInt(), 200);
    EXPECT_EQ(tracker.entities()[1]->latest().position, QPoint(50, 60)) << "samples stay in device units";
    tracker.applyCalibration(nullptr);
    EXPECT_EQ(CVNTouchEntityJson::toJson(tracker.entities())[0].toObject().value("x").toInt(), 100);
}

TEST_F(Tracker, EntityJsonCarriesEveryKey)
{
    poll({ { 3, 10, 20, 321 } }, { { 12, 30, 40, 555, 0x0A, 20 } });
    const QJsonArray json = CVNTouchEntityJson::toJson(tracker.entities());
    ASSERT_EQ(json.size(), 2);
    const QJsonObject finger = json[0].toObject();
    EXPECT_EQ(finger.value("type").toInt(), 1);
    EXPECT_EQ(finger.value("subtype").toInt(), 1);
    EXPECT_EQ(finger.value("identifier").toInt(), 101001);
    EXPECT_EQ(finger.value("width").toInt(), 11);
    EXPECT_EQ(finger.value("height").toInt(), 12);
    EXPECT_EQ(finger.value("pressure").toInt(), 321);
    EXPECT_EQ(finger.value("color").toDouble(), 4278190080.0) << "opaque black";
    EXPECT_FALSE(finger.value("barrel").toBool());
    EXPECT_FALSE(finger.contains("nested_entities"));
    const QJsonObject pen = json[1].toObject();
    EXPECT_EQ(pen.value("type").toInt(), 6);
    EXPECT_EQ(pen.value("identifier").toInt(), 601001);
    EXPECT_EQ(pen.value("width").toInt(), 1);
    EXPECT_EQ(pen.value("pressure").toInt(), 555);
    EXPECT_EQ(pen.value("rotation").toDouble(), 45.0);
    EXPECT_EQ(pen.value("tilt_x").toInt(), -2);
    EXPECT_EQ(pen.value("tilt_y").toInt(), 3);
    EXPECT_EQ(pen.value("color").toInt(), 0x00FFFF) << "cyan, alpha 0";
    EXPECT_TRUE(pen.value("barrel").toBool());
    EXPECT_TRUE(pen.value("eraser").toBool());
    for (const char* key : { "x", "y", "radius", "tilt_x", "tilt_y", "rotation" })
        EXPECT_TRUE(finger.contains(key)) << key;
}

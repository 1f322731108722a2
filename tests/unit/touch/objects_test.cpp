// Object recognition: the classification's boundaries and refusals, every
// class the simulator lays out recognised as itself, and objects checked for
// shape, given replacement feet, completed by a fourth foot and guarding
// against stray fingers.
#include "touch/objectrules.h"
#include "touch/touchentityjson.h"

#include "objectrig.h"

#include <QJsonArray>
#include <QtMath>

#include <cmath>
#include <functional>

namespace
{

const QList<int> kClasses{ 201, 202, 203, 204, 301, 302, 401, 402, 403, 404, 405, 406,
                           407, 408, 509, 510, 511, 512, 513, 514, 515, 516 };

struct Objects : ::testing::Test, ParametersReset {
    CVNTouchTracker tracker;
    qint64 now = 1000000;
    QVector<CVNRawContact> surface;

    // Puts feet down (or moves them) as contacts with ids from firstId on.
    void put(const QVector<QPoint>& feet, int firstId, int pressure = 500)
    {
        for (int i = 0; i < feet.size(); ++i) {
            lift(firstId + i);
            surface.append(contactAt(firstId + i, feet[i], pressure));
        }
    }
    void lift(int id)
    {
        surface.erase(std::remove_if(surface.begin(), surface.end(), [&](const CVNRawContact& s) { return s.id == id; }),
                      surface.end());
    }
    void poll(qint64 step = 30)
    {
        now += step;
        CVNTouchRecords records;
        records.contacts = surface;
        tracker.update(records, now);
    }
    QVector<int> classes() const
    {
        QVector<int> out;
        for (const TouchEntity* e : tracker.entities())
            out.append(e->identifier() / 1000);
        return out;
    }
};

QPoint around(int legs, double degrees)
{
    const double r = qDegreesToRadians(degrees);
    return QPoint(1000 + qRound(legs * std::cos(r)), 1000 + qRound(legs * std::sin(r)));
}

} // namespace

TEST(ObjectRules, TriangleClassesBoundariesAndRefusals)
{
    struct Case {
        const char* what;
        int orSpec;
        QVector<QPoint> points;
        int variant; // 0: no triangle
        int apex;
        std::function<void(CVNObjectParameters&)> tune;
    };
    const auto none = [](CVNObjectParameters&) {};
    const auto wide = [](CVNObjectParameters& p) {
        for (int id : CVNObjectParameters::classIds())
            p.setRange(id, 0, 360);
    };
    const QVector<QPoint> right{ { 1000, 1000 }, { 1400, 1000 }, { 1000, 1400 } };
    const QVector<QPoint> equilateral{ { 1000, 1000 }, { 1500, 1000 }, { 1250, 567 } };
    const QVector<QPoint> legs900{ { 1000, 1000 }, around(900, -15), around(900, 15) };
    const QVector<QPoint> legs1100{ { 1000, 1000 }, around(1100, -15), around(1100, 15) };
    const QVector<QPoint> scalene{ { 1000, 1000 }, { 1788, 1000 }, { 1531, 694 } }; // angles 30, 50, 100
    const std::vector<Case> cases{
        { "equilateral, or-spec 1", 1, equilateral, 0, 0, none },
        { "equilateral, or-spec 2", 2, equilateral, 0, 0, none },
        { "apex exactly 90, or-spec 1", 1, right, 4, 0, none },
        { "apex exactly 90, or-spec 2", 2, right, 6, 0, none },
        { "high end exclusive", 1, right, 4, 0, [](CVNObjectParameters& p) { p.setRange(203, 72, 90); } },
        { "low end inclusive", 2, right, 5, 0, [](CVNObjectParameters& p) { p.setRange(405, 90, 91); } },
        { "apex given second", 1, { right[1], right[0], right[2] }, 4, 1, none },
        { "legs of 900, or-spec 1", 1, legs900, 1, 0, none },
        { "legs of 1100, or-spec 1", 1, legs1100, 0, 0, none },
        { "legs of 1100, or-spec 2", 2, legs1100, 1, 0, none },
        { "legs of 1100, max-distance 1100", 1, legs1100, 1, 0, [](CVNObjectParameters& p) { p.maxDistanceV1 = 1101; } },
        { "base angles 50 apart", 1, scalene, 0, 0, none },
        { "base angles 50 apart, base-diff 60", 1, scalene, 1, 0, [](CVNObjectParameters& p) { p.baseDiff = 60; } },
        { "collinear", 1, { { 1000, 1000 }, { 1200, 1000 }, { 1400, 1000 } }, 0, 0, wide },
        { "coincident", 2, { { 1000, 1000 }, { 1000, 1000 }, { 1000, 1000 } }, 0, 0, wide },
        { "two on one spot", 1, { { 1000, 1000 }, { 1000, 1000 }, { 1300, 1300 } }, 0, 0, wide },
        { "huge", 2, { { 0, 0 }, { 65535, 0 }, { 0, 65535 } }, 0, 0, wide },
    };
    for (const Case& c : cases) {
        CVNObjectParameters parameters;
        c.tune(parameters);
        const auto shape = CVNObjectRules(c.orSpec, parameters).triangle(c.points[0], c.points[1], c.points[2]);
        EXPECT_EQ(shape ? shape->variant : 0, c.variant) << c.what;
        if (shape)
            EXPECT_EQ(shape->order[0], c.apex) << c.what;
    }
}

TEST(ObjectRules, QuadTableTiesAndReach)
{
    struct Case {
        const char* what;
        int classId;
        int variant; // 0: no quad
        std::function<void(CVNObjectParameters&)> tune;
        double reach = 1.0; // of the fourth foot's distance from the apex
    };
    const std::vector<Case> cases{
        { "301", 301, 1, [](CVNObjectParameters&) {} },
        { "302", 302, 2, [](CVNObjectParameters&) {} },
        { "301 outside its range", 301, 0, [](CVNObjectParameters& p) { p.setRange(301, 50, 68); } },
        { "equal scores: the first entry", 302, 1,
          [](CVNObjectParameters& p) { p.setRange(301, 0, 360); p.setRange(302, 0, 360); } },
        { "fourth foot too far", 301, 0, [](CVNObjectParameters&) {}, 1.4 },
    };
    for (const Case& c : cases) {
        for (double rotation : { 0.0, 77.0, 181.0, 290.0 }) {
            CVNObjectParameters parameters;
            c.tune(parameters);
            QVector<QPoint> feet = CVNTangibleObject::feet(c.classId, 3000, 3000, rotation);
            feet[3] = feet[0] + (feet[3] - feet[0]) * c.reach;
            const auto quad = CVNObjectRules(1, parameters).quad(feet.data());
            EXPECT_EQ(quad ? quad->variant : 0, c.variant) << c.what << " at " << rotation;
        }
    }
}

TEST_F(Objects, EverySimulatedClassIsRecognisedAsItself)
{
    for (int classId : kClasses) {
        for (double rotation : { 0.0, 45.0, 123.0, 270.0, 359.0 }) {
            tracker.clear();
            surface.clear();
            recognise(tracker, classId < 400 ? 1 : 2);
            put(CVNTangibleObject::feet(classId, 2500, 1800, rotation), 40);
            poll();
            SCOPED_TRACE(testing::Message() << classId << " at " << rotation);
            ASSERT_EQ(classes(), QVector<int>({ classId }));
            const TouchEntity* object = tracker.entities().first();
            EXPECT_LE((object->latest().position - QPoint(2500, 1800)).manhattanLength(), 2);
            EXPECT_NEAR(std::remainder(object->latest().rotation - rotation, 360.0), 0.0, 0.5);
            const QJsonObject json = CVNTouchEntityJson::toJson(*object);
            const QJsonArray nested = json.value("nested_entities").toArray();
            ASSERT_EQ(nested.size(), classId < 300 || (classId > 400 && classId < 500) ? 3 : 2);
            if (nested.size() == 2)
                EXPECT_EQ(nested[0].toObject().value("nested_entities").toArray().size(), 3);
        }
    }
}

TEST_F(Objects, StretchedBeyondItsShapeIsKilled)
{
    recognise(tracker, 2);
    const QVector<QPoint> feet = CVNTangibleObject::feet(406, 2000, 2000, 0);
    put(feet, 1);
    poll();
    ASSERT_EQ(classes(), QVector<int>({ 406 }));
    put({ feet[1] + (feet[1] - feet[2]) / 2 }, 2); // the base 50% longer
    poll();
    EXPECT_FALSE(classes().contains(406)) << "longest side grew over 1.3 x";
}

TEST_F(Objects, ALostFootIsReplacedByANewContactBesideIt)
{
    recognise(tracker, 1);
    const QVector<QPoint> feet = CVNTangibleObject::feet(202, 2000, 2000, 0);
    put(feet, 1);
    poll();
    poll(1200); // locked
    lift(2);
    put({ feet[1] + QPoint(6, -4) }, 9); // the foot came back with a new contact id
    put({ QPoint(2000, 3200) }, 20); // a finger farther off stays a finger
    poll();
    ASSERT_EQ(classes(), QVector<int>({ 202, 101 }));
    const QJsonArray members = CVNTouchEntityJson::toJson(*tracker.entities().first()).value("nested_entities").toArray();
    EXPECT_EQ(tracker.entities().first()->identifier(), 202001);
    EXPECT_EQ(members[1].toObject().value("x").toInt(), feet[1].x() + 6);
}

TEST_F(Objects, TriangleAndALaterFourthFootMakeAQuad)
{
    recognise(tracker, 1);
    const QVector<QPoint> feet = CVNTangibleObject::feet(302, 2000, 2000, 200);
    put(feet.mid(0, 3), 1);
    poll();
    ASSERT_EQ(classes(), QVector<int>({ 201 }));
    put({ feet[3] }, 4);
    poll();
    EXPECT_EQ(classes(), QVector<int>({ 302 }));
}

TEST_F(Objects, LockedObjectsRejectStrayFingersAndKeepLightFeet)
{
    struct Case {
        double percent;
        int timeLock;
        bool rejected;
    };
    for (const Case& c : { Case{ 100, 1000, true }, Case{ 5, 1000, false }, Case{ 0, 1000, false }, Case{ 100, 0, true } }) {
        tracker.clear();
        surface.clear();
        CVNObjectParameters parameters;
        parameters.pointRejection = c.percent / 100.0;
        CVNObjectParameters::setCurrent(parameters);
        CVNTouchParameters touch;
        touch.pressureThreshold = 300;
        touch.timeLockMs = c.timeLock; // 0: new feet still form objects, new fingers are still rejected
        CVNTouchParameters::setCurrent(touch);
        recognise(tracker, 2);
        put(CVNTangibleObject::feet(404, 2000, 2000, 0), 1);
        poll();
        ASSERT_EQ(classes(), QVector<int>({ 404 })) << c.timeLock;
        poll(c.timeLock);
        put(CVNTangibleObject::feet(404, 2000, 2000, 0), 1, 100); // lighter than the threshold, but locked
        put({ QPoint(2010, 2005) }, 30); // a stray finger near the centre
        poll();
        poll();
        EXPECT_EQ(classes(), c.rejected ? QVector<int>({ 404 }) : QVector<int>({ 404, 101 })) << c.percent;
        EXPECT_TRUE(tracker.entities().first()->isUpdated()) << "light feet of a locked object still count";
    }
}

TEST_F(Objects, AFullReportOfCrowdedContactsEndsItsPoll)
{
    // 252 contacts within reach of each other, almost on one line: no choice
    // makes an object, so every one is tried. Only the first 64 fingers are
    // searched (all would take minutes and gigabytes per poll), so the feet
    // of a triangle that come after them stay fingers.
    recognise(tracker, 2);
    for (int id = 0; id < 252; ++id)
        put({ QPoint(1000 + 4 * id, 1000 + (id * id) % 3) }, id);
    put(CVNTangibleObject::feet(406, 3000, 3000, 0), 252);
    poll();
    EXPECT_EQ(classes(), QVector<int>(255, 101));
}

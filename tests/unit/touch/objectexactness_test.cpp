// The recognition's finger search against the plain enumeration of every
// ordered choice of fingers: from the same fingers both must make exactly
// the same objects (class, identifier, feet, order, position, rotation),
// poll after poll, on random finger sets mixed with placed objects and on
// sets built to be hard: class boundaries, overlapping objects, ties.
#include "touch/touchentityjson.h"

#include "objectrig.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtMath>

#include <random>

namespace
{

using Surface = QVector<CVNRawContact>;

const QList<int> kV1{ 201, 202, 203, 204, 301, 302 };
const QList<int> kV2{ 401, 402, 403, 404, 405, 406, 407, 408, 509, 510, 511, 512, 513, 514, 515, 516 };

// Two trackers, one with each enumeration, fed the same polls.
struct Pair {
    CVNTouchTracker fast;
    CVNTouchTracker straight;
    qint64 now = 5000000;
    int objects = 0;

    explicit Pair(int orSpec)
    {
        recognise(fast, orSpec);
        recognise(straight, orSpec, true);
    }
    // One poll on both; a failure shows both entity lists.
    ::testing::AssertionResult poll(const Surface& surface, qint64 step = 30)
    {
        now += step;
        CVNTouchRecords records;
        records.contacts = surface;
        fast.update(records, now);
        straight.update(records, now);
        const QJsonArray a = CVNTouchEntityJson::toJson(fast.entities());
        const QJsonArray b = CVNTouchEntityJson::toJson(straight.entities());
        for (const TouchEntity* e : fast.entities())
            objects += e->isObject() ? 1 : 0;
        if (a == b)
            return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure() << "search:\n" << QJsonDocument(a).toJson().constData()
                                             << "\nenumeration:\n" << QJsonDocument(b).toJson().constData();
    }
};

// Points as contacts with distinct ids, in a shuffled order.
Surface shuffled(const QVector<QPoint>& points, std::mt19937& rng)
{
    std::vector<int> ids(255);
    std::iota(ids.begin(), ids.end(), 0);
    std::shuffle(ids.begin(), ids.end(), rng);
    Surface surface;
    for (int i = 0; i < points.size(); ++i)
        surface.append(contactAt(ids[size_t(i)], points[i]));
    std::shuffle(surface.begin(), surface.end(), rng);
    return surface;
}

} // namespace

TEST(RecognitionExactness, RandomFingersAndPlacedObjects)
{
    ParametersReset reset;
    int total = 0;
    for (unsigned seed = 0; seed < 124; ++seed) {
        std::mt19937 rng(seed);
        const int orSpec = 1 + int(seed % 2);
        const int fingers = int(seed % 31);
        CVNObjectParameters parameters;
        if (seed % 3 == 1) { // wider classes: more shapes and ties
            for (int id : CVNObjectParameters::classIds())
                parameters.setRange(id, parameters.range(id).low - 8, parameters.range(id).high + 8);
            parameters.baseDiff = 45;
        }
        CVNObjectParameters::setCurrent(parameters);
        const int span = seed % 3 == 2 ? 1400 : 4095; // a crowded corner or the whole sensor
        std::uniform_int_distribution<int> coordinate(0, span);
        QVector<QPoint> points;
        const QList<int>& classes = orSpec == 1 ? kV1 : kV2;
        for (int k = int(rng() % 4); k > 0 && points.size() + 4 <= fingers; --k) {
            const int classId = classes[int(rng() % unsigned(classes.size()))];
            points += CVNTangibleObject::feet(classId, 500 + coordinate(rng) % 3000, 500 + coordinate(rng) % 3000, rng() % 360);
        }
        while (points.size() < fingers)
            points.append(QPoint(coordinate(rng), coordinate(rng)));

        SCOPED_TRACE(testing::Message() << "seed " << seed << ", " << fingers << " fingers, spec " << orSpec);
        Pair pair(orSpec);
        Surface surface = shuffled(points, rng);
        ASSERT_TRUE(pair.poll(surface));
        // Feet wander a little, one lifts, a finger lands beside another.
        std::uniform_int_distribution<int> jitter(-3, 3);
        for (CVNRawContact& c : surface) {
            c.x = quint16(qBound(0, c.x + jitter(rng), 0xFFFF));
            c.y = quint16(qBound(0, c.y + jitter(rng), 0xFFFF));
        }
        if (!surface.isEmpty()) {
            const CVNRawContact gone = surface.takeAt(int(rng() % unsigned(surface.size())));
            surface.append(contactAt(255 - 1 - int(seed % 20), QPoint(gone.x + 40, gone.y - 25)));
        }
        ASSERT_TRUE(pair.poll(surface));
        ASSERT_TRUE(pair.poll(surface, 1100)); // locked now
        total += pair.objects;
    }
    EXPECT_GT(total, 200) << "the sets must make objects, or the comparison says little";
}

TEST(RecognitionExactness, ClassBoundariesOverlapsAndTies)
{
    ParametersReset reset;
    std::mt19937 rng(7);
    struct Set {
        const char* what;
        int orSpec;
        QVector<QPoint> points;
        std::function<void(CVNObjectParameters&)> tune;
    };
    const auto none = [](CVNObjectParameters&) {};
    std::vector<Set> sets;
    // Isosceles triangles with apex angles on and beside every end of every range.
    for (int orSpec : { 1, 2 }) {
        QVector<QPoint> points;
        const CVNObjectParameters defaults;
        for (int id : CVNObjectParameters::classIds()) {
            if ((id < 400) != (orSpec == 1) || id / 100 == 3)
                continue;
            for (double end : { defaults.range(id).low, defaults.range(id).high }) {
                for (double apex : { end - 0.05, end, end + 0.05 }) {
                    const QPoint at(300 + int(points.size()) * 37 % 3500, 300 + int(points.size()) * 53 % 3500);
                    const double half = qDegreesToRadians(apex / 2);
                    points += { at, at + QPoint(qRound(700 * std::cos(half)), qRound(700 * std::sin(half))),
                                at + QPoint(qRound(700 * std::cos(half)), qRound(-700 * std::sin(half))) };
                }
            }
        }
        sets.push_back({ "class boundaries", orSpec, points.mid(0, 30), none });
        sets.push_back({ "class boundaries, second half", orSpec, points.mid(30, 30), none });
    }
    // Objects on one centre, turned against each other, and neighbours overlapping them.
    for (int orSpec : { 1, 2 }) {
        const QList<int>& classes = orSpec == 1 ? kV1 : kV2;
        for (int a = 0; a + 1 < classes.size(); a += 2) {
            QVector<QPoint> points = CVNTangibleObject::feet(classes[a], 2000, 2000, 15 * a);
            points += CVNTangibleObject::feet(classes[a + 1], 2000, 2000, 15 * a + 60);
            points += CVNTangibleObject::feet(classes[(a + 3) % classes.size()], 2150, 1900, 100);
            sets.push_back({ "overlapping objects", orSpec, points, none });
        }
    }
    // Ties: squares and their centres (many equal right triangles), fourth
    // feet that both quad ranges take.
    QVector<QPoint> grid;
    for (int x = 0; x < 5; ++x)
        for (int y = 0; y < 5; ++y)
            grid.append(QPoint(1000 + 300 * x, 1000 + 300 * y));
    const auto bothQuadRanges = [](CVNObjectParameters& p) { p.setRange(301, 0, 360); p.setRange(302, 0, 360); p.setRange(201, 0, 180); };
    // Sides 3, 4, 5: two corners tie for the apex, so the order of the
    // fingers decides the class (90 degrees, or 36.87 with a wider base-diff).
    QVector<QPoint> pythagorean;
    for (int t = 0; t < 6; ++t) {
        const QPoint at(600 + 500 * t, 600 + 400 * (t % 3));
        const int k = 60 + 20 * t;
        pythagorean += t % 2 ? QVector<QPoint>{ at, at + QPoint(3 * k, 0), at + QPoint(0, 4 * k) }
                             : QVector<QPoint>{ at, at + QPoint(0, -3 * k), at + QPoint(-4 * k, 0) };
    }
    for (int orSpec : { 1, 2 }) {
        sets.push_back({ "3-4-5 triangles", orSpec, pythagorean, none });
        sets.push_back({ "3-4-5 triangles, base-diff 40", orSpec, pythagorean,
                         [](CVNObjectParameters& p) { p.baseDiff = 40; } });
        sets.push_back({ "square grid", orSpec, grid, none });
    }
    sets.push_back({ "fourth feet in both ranges", 1, CVNTangibleObject::feet(301, 1500, 1500, 0) + CVNTangibleObject::feet(302, 1700, 1500, 30) + grid.mid(0, 6), bothQuadRanges });

    for (const Set& set : sets) {
        CVNObjectParameters parameters;
        set.tune(parameters);
        CVNObjectParameters::setCurrent(parameters);
        for (int order = 0; order < 3; ++order) {
            SCOPED_TRACE(testing::Message() << set.what << ", or-spec " << set.orSpec << ", order " << order);
            Pair pair(set.orSpec);
            const Surface surface = shuffled(set.points, rng);
            ASSERT_TRUE(pair.poll(surface));
            ASSERT_TRUE(pair.poll(surface.mid(1)));
            EXPECT_GT(pair.objects, 0);
        }
    }
}

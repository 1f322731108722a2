#include "touch/objectrules.h"

#include <QLineF>
#include <QtMath>

#include <cmath>

namespace
{

constexpr int V1Triangles[] = { 201, 202, 203, 204 };
constexpr int V2Triangles[] = { 401, 402, 403, 404, 405, 406, 407, 408 };
constexpr double MaxScoredDifference = 50.0;
constexpr double ScorePerDegree = 0.02;
constexpr double QuadReach = 1.1; // of the triangle's longest side, from the apex
constexpr int CentreShare = 2; // closer than radius / 2 to the centre
constexpr int OppositeShare = 4; // closer than radius / 4 to the reflected apex

// Twice the signed area: zero for collinear or coincident points.
qint64 cross(const QPoint& a, const QPoint& b, const QPoint& c)
{
    return qint64(b.x() - a.x()) * qint64(c.y() - a.y()) - qint64(b.y() - a.y()) * qint64(c.x() - a.x());
}

} // namespace

CVNObjectRules::CVNObjectRules(int orSpec, const CVNObjectParameters& parameters)
    : m_orSpec(orSpec == 2 ? 2 : 1)
    , m_maxSide(parameters.maxDistance(m_orSpec))
    , m_baseDiff(parameters.baseDiff)
{
    if (m_orSpec == 2) {
        for (int id : V2Triangles)
            m_classes[m_classCount++] = parameters.range(id);
    } else {
        for (int id : V1Triangles)
            m_classes[m_classCount++] = parameters.range(id);
    }
    m_quadRanges[0] = parameters.range(301);
    m_quadRanges[1] = parameters.range(302);
}

double CVNObjectRules::distance(const QPoint& a, const QPoint& b)
{
    // Exact integer squares, so that the distance is the same both ways.
    const qint64 dx = qint64(b.x()) - a.x();
    const qint64 dy = qint64(b.y()) - a.y();
    return std::sqrt(static_cast<double>(dx * dx + dy * dy));
}

double CVNObjectRules::angleAt(const QPoint& a, const QPoint& b, const QPoint& c)
{
    // The counter-clockwise turn folded into 0..180 is the unsigned angle
    // between the two lines: one arc tangent of exact integer terms.
    const qint64 ux = qint64(b.x()) - a.x(), uy = qint64(b.y()) - a.y();
    const qint64 vx = qint64(c.x()) - a.x(), vy = qint64(c.y()) - a.y();
    const double cross = std::abs(static_cast<double>(ux * vy - uy * vx));
    return qRadiansToDegrees(std::atan2(cross, static_cast<double>(ux * vx + uy * vy)));
}

bool CVNObjectRules::notAfter(const QPoint& from, const QPoint& u, const QPoint& v)
{
    // Direction angles counter-clockwise as seen on the sensor: with y up,
    // the upper half-plane (with the +x axis) comes first, then within a
    // half-plane the turn from one line to the other decides. Exact for integers.
    const qint64 ux = qint64(u.x()) - from.x(), uy = qint64(from.y()) - u.y();
    const qint64 vx = qint64(v.x()) - from.x(), vy = qint64(from.y()) - v.y();
    const auto lowerHalf = [](qint64 x, qint64 y) { return y < 0 || (y == 0 && x < 0); };
    const bool uLower = lowerHalf(ux, uy);
    if (uLower != lowerHalf(vx, vy))
        return !uLower;
    return ux * vy - uy * vx >= 0;
}

void CVNObjectRules::measure(const QPoint points[3], QPoint* position, int* radius, float* rotation)
{
    const double cx = (double(points[0].x()) + points[1].x() + points[2].x()) / 3.0;
    const double cy = (double(points[0].y()) + points[1].y() + points[2].y()) / 3.0;
    double sum = 0.0;
    for (int i = 0; i < 3; ++i)
        sum += std::hypot(points[i].x() - cx, points[i].y() - cy);
    *position = QPoint(qRound(cx), qRound(cy));
    *radius = qRound(sum / 3.0);
    double degrees = qRadiansToDegrees(std::atan2(points[0].y() - cy, points[0].x() - cx));
    if (degrees < 0.0)
        degrees += 360.0;
    *rotation = degrees >= 360.0 ? 0.0f : static_cast<float>(degrees);
}

std::optional<CVNTriangleShape> CVNObjectRules::triangle(const QPoint& p0, const QPoint& p1, const QPoint& p2) const
{
    return triangle(p0, p1, p2, distance(p0, p1), distance(p0, p2), distance(p1, p2));
}

std::optional<CVNTriangleShape> CVNObjectRules::triangle(const QPoint& p0, const QPoint& p1, const QPoint& p2, double a,
                                                         double b, double c) const
{
    // Feet on one line (or on one spot) make no triangle, whatever the tables say.
    if (cross(p0, p1, p2) == 0)
        return std::nullopt;
    if (a > m_maxSide || b > m_maxSide || c > m_maxSide)
        return std::nullopt;

    // The apex: the point whose two sides differ least, the earlier one among equals.
    const QPoint input[3] = { p0, p1, p2 };
    int apex = 0;
    double difference = std::abs(a - b);
    if (std::abs(a - c) < difference) {
        apex = 1;
        difference = std::abs(a - c);
    }
    if (std::abs(b - c) < difference)
        apex = 2;
    const int u = apex == 0 ? 1 : 0;
    const int v = apex == 2 ? 1 : 2;
    const double apexAngle = angleAt(input[apex], input[u], input[v]);
    int variant = 0;
    for (int i = 0; i < m_classCount && variant == 0; ++i) {
        if (m_classes[i].contains(apexAngle))
            variant = i + 1;
    }
    if (variant == 0)
        return std::nullopt;

    // The first base point is the one in the smaller (or equal) direction from the apex.
    const bool uFirst = notAfter(input[apex], input[u], input[v]);
    CVNTriangleShape shape;
    shape.order[0] = apex;
    shape.order[1] = uFirst ? u : v;
    shape.order[2] = uFirst ? v : u;
    for (int k = 0; k < 3; ++k)
        shape.points[k] = input[shape.order[k]];
    const double atFirst = angleAt(shape.points[1], shape.points[0], shape.points[2]);
    const double atSecond = angleAt(shape.points[2], shape.points[0], shape.points[1]);
    shape.baseDifference = std::abs(atFirst - atSecond);
    if (shape.baseDifference > m_baseDiff)
        return std::nullopt;

    shape.variant = variant;
    shape.apexAngle = apexAngle;
    shape.shortest = std::min({ a, b, c });
    shape.longest = std::max({ a, b, c });
    measure(shape.points, &shape.position, &shape.radius, &shape.rotation);
    return shape;
}

double CVNObjectRules::score(const CVNTriangleShape& triangle)
{
    if (!(triangle.baseDifference < MaxScoredDifference))
        return 0.0;
    return 1.0 - ScorePerDegree * triangle.baseDifference;
}

bool CVNObjectRules::closerThan(const QPoint& a, const QPoint& b, int radius, int share)
{
    // |ab| < radius / share, in exact integers: share^2 |ab|^2 < radius^2.
    const qint64 dx = qint64(b.x()) - a.x();
    const qint64 dy = qint64(b.y()) - a.y();
    return qint64(share) * share * (dx * dx + dy * dy) < qint64(radius) * radius;
}

bool CVNObjectRules::centreFits(const CVNTriangleShape& triangle, const QPoint& fourth) const
{
    return triangle.variant >= 1 && triangle.variant < OppositeTriangle
        && closerThan(fourth, triangle.position, triangle.radius, CentreShare);
}

bool CVNObjectRules::oppositeFits(const CVNTriangleShape& triangle, const QPoint& fourth) const
{
    if (triangle.variant != OppositeTriangle)
        return false;
    const QPoint expected = triangle.position * 2 - triangle.apex();
    return closerThan(fourth, expected, triangle.radius, OppositeShare);
}

std::optional<CVNQuadShape> CVNObjectRules::quadV1(const QPoint& fourth, const CVNTriangleShape& first) const
{
    if (first.variant != QuadTableTriangle || !(distance(first.apex(), fourth) < QuadReach * first.longest))
        return std::nullopt;
    const double direction = QLineF(first.apex(), first.position).angleTo(QLineF(first.apex(), fourth));
    std::optional<CVNQuadShape> kept;
    double keptScore = 0.0;
    for (int i = 0; i < 2; ++i) {
        if (!m_quadRanges[i].contains(direction))
            continue;
        const double s = score(first);
        if (s > keptScore) {
            keptScore = s;
            kept = CVNQuadShape{ 3, i + 1, 0, first, s };
        }
    }
    return kept;
}

std::optional<CVNQuadShape> CVNObjectRules::quad(const QPoint points[4]) const
{
    const std::optional<CVNTriangleShape> first = triangle(points[0], points[1], points[2]);
    if (!first)
        return std::nullopt;
    std::optional<CVNTriangleShape> rotated[4];
    return quad(points, *first, [&](int rotation) -> const CVNTriangleShape* {
        rotated[rotation] = triangle(points[rotation], points[(rotation + 1) % 4], points[(rotation + 2) % 4]);
        return rotated[rotation] ? &*rotated[rotation] : nullptr;
    });
}

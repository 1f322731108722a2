#pragma once

#include "touch/objectparameters.h"

#include <QPoint>

#include <optional>

// A triangle that the classification recognised: which of the three points
// is the apex and which the first and second base point, its class
// (variant) and what it measured.
struct CVNTriangleShape
{
    int variant = 0; // 1-based row of the or-spec's class table
    int order[3] = { 0, 1, 2 }; // input indices: apex, first base point, second base point
    QPoint points[3]; // in that order
    double shortest = 0.0;
    double longest = 0.0;
    double apexAngle = 0.0;
    double baseDifference = 0.0; // of the angles at the two base points
    QPoint position; // centroid, rounded
    int radius = 0; // mean distance of the points from the centroid, rounded
    float rotation = 0.0f; // direction from the centroid to the apex, degrees 0..360

    const QPoint& apex() const { return points[0]; }
};

// A quad: its triangle and where the fourth point was. The four input points
// were rotated `rotation` times (the first moved to the end); the triangle
// is made of the first three after that, the fourth point is the last.
struct CVNQuadShape
{
    int kind = 0; // 3 or 5
    int variant = 0;
    int rotation = 0;
    CVNTriangleShape triangle;
    double score = 0.0;

    // Input index of the triangle's k-th point (apex, base, base) and of the fourth point.
    int triangleInput(int k) const { return (rotation + triangle.order[k]) % 4; }
    int fourthInput() const { return (rotation + 3) % 4; }
};

// The geometry of object recognition for one or-spec, with the
// parameters of one moment: triangle classification, the quad forms and
// their score. Pure functions of the points given; positions are device
// units and angles degrees with the y axis growing downward.
class CVNObjectRules
{
public:
    static constexpr int QuadTableTriangle = 1; // the triangle variant that makes quads of or-spec 1
    static constexpr int OppositeTriangle = 8; // the triangle variant of the opposite form

    CVNObjectRules(int orSpec, const CVNObjectParameters& parameters);

    int orSpec() const { return m_orSpec; }
    double maxSide() const { return m_maxSide; }

    // The triangle of three points in this order, if they make one.
    std::optional<CVNTriangleShape> triangle(const QPoint& p0, const QPoint& p1, const QPoint& p2) const;
    // The same with the sides |p0p1|, |p0p2|, |p1p2| already measured by distance().
    std::optional<CVNTriangleShape> triangle(const QPoint& p0, const QPoint& p1, const QPoint& p2, double a, double b,
                                             double c) const;

    // The quad of four points, if they make one: the first three must make a
    // triangle (first), and the fourth point must sit where the
    // or-spec's forms want it. classifyRotation(r) gives the triangle
    // of the points rotated r times (1..3), or null; only the opposite form
    // of or-spec 2 asks for it.
    template <typename Classify>
    std::optional<CVNQuadShape> quad(const QPoint points[4], const CVNTriangleShape& first, Classify&& classifyRotation) const;
    std::optional<CVNQuadShape> quad(const QPoint points[4]) const;

    // The fourth point of or-spec 2 near the centre of a triangle of
    // variant 1..7 / near the apex reflected through the centre of a triangle of variant 8.
    bool centreFits(const CVNTriangleShape& triangle, const QPoint& fourth) const;
    bool oppositeFits(const CVNTriangleShape& triangle, const QPoint& fourth) const;

    // 1 - 0.02 x the difference of the base angles; 0 from 50 degrees on.
    static double score(const CVNTriangleShape& triangle);

    // Helpers of the geometry, shared with the tracking of objects.
    static double distance(const QPoint& a, const QPoint& b);
    // Counter-clockwise (as seen on the sensor) from line a->b to line a->c, folded into 0..180.
    static double angleAt(const QPoint& a, const QPoint& b, const QPoint& c);
    // Whether the direction from `from` to u is counter-clockwise from +x by
    // no more than the direction to v (0..360, as seen on the sensor).
    static bool notAfter(const QPoint& from, const QPoint& u, const QPoint& v);
    // |ab| < radius / share.
    static bool closerThan(const QPoint& a, const QPoint& b, int radius, int share);
    // The centroid, the mean distance of the points from it and the direction from it to the first.
    static void measure(const QPoint points[3], QPoint* position, int* radius, float* rotation);

private:
    std::optional<CVNQuadShape> quadV1(const QPoint& fourth, const CVNTriangleShape& first) const;

    int m_orSpec;
    double m_maxSide;
    double m_baseDiff;
    // The or-spec's triangle classes in table order.
    CVNObjectParameters::Range m_classes[8];
    int m_classCount = 0;
    // Or-spec 1: the directions of the fourth point giving quad variants 1 and 2.
    CVNObjectParameters::Range m_quadRanges[2];
};

template <typename Classify>
std::optional<CVNQuadShape> CVNObjectRules::quad(const QPoint points[4], const CVNTriangleShape& first,
                                                 Classify&& classifyRotation) const
{
    if (m_orSpec != 2)
        return quadV1(points[3], first);
    // Centre form first: a fourth foot near the centre of a triangle of variant 1..7.
    if (centreFits(first, points[3])) {
        const double s = score(first);
        if (s > 0.0)
            return CVNQuadShape{ 5, 8 + first.variant, 0, first, s };
    }
    // Opposite form: each point once the fourth; the best score wins, the first among equals.
    std::optional<CVNQuadShape> kept;
    double keptScore = 0.0;
    for (int rotation = 0; rotation < 4; ++rotation) {
        const CVNTriangleShape* triangle = rotation == 0 ? &first : classifyRotation(rotation);
        if (!triangle || !oppositeFits(*triangle, points[(rotation + 3) % 4]))
            continue;
        const double s = score(*triangle);
        if (s > keptScore) {
            keptScore = s;
            kept = CVNQuadShape{ 5, 16, rotation, *triangle, s };
        }
    }
    return kept;
}

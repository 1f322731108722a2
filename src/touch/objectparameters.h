#pragma once

#include <array>

// The parameters of object recognition that every controller shares: the
// apex-angle range of each object class, the allowed difference of the base
// angles, the largest triangle side of each or-spec, the point
// rejection around locked objects and the capture distance of an object's
// feet. Read and changed on the event-loop thread only; the tracking values
// (time-lock, keep-alive, pressure) live in CVNTouchParameters.
struct CVNObjectParameters
{
    static constexpr int ClassCount = 14;
    static constexpr double DefaultBaseDiff = 27.0;
    static constexpr double DefaultMaxDistanceV1 = 1000.0;
    static constexpr double DefaultMaxDistanceV2 = 1500.0;
    static constexpr double DefaultMaxCapture = 5.0;

    struct Range
    {
        double low = 0.0;
        double high = 0.0;
        // low inclusive, high exclusive
        bool contains(double angle) const { return low <= angle && angle < high; }
        bool operator==(const Range& other) const { return low == other.low && high == other.high; }
    };

    // Indexed like classIds().
    std::array<Range, ClassCount> angleRanges;
    double baseDiff = DefaultBaseDiff; // degrees
    double maxDistanceV1 = DefaultMaxDistanceV1; // device units
    double maxDistanceV2 = DefaultMaxDistanceV2;
    double pointRejection = 0.0; // fraction of an object's radius
    double maxCapture = DefaultMaxCapture; // factor of an object's longest side

    CVNObjectParameters(); // the defaults

    // 201..204, 301, 302, 401..408: the classes with an angle range.
    static const std::array<int, ClassCount>& classIds();
    // Index into angleRanges, or -1 for a class without a range.
    static int classIndex(int classId);

    Range range(int classId) const;
    // Clamps both ends to 0..360 and puts them in order.
    void setRange(int classId, double low, double high);
    // The largest triangle side of or-spec 1 or 2.
    double maxDistance(int orSpec) const { return orSpec == 2 ? maxDistanceV2 : maxDistanceV1; }
    void setMaxDistance(int orSpec, double value);

    bool operator==(const CVNObjectParameters& other) const;

    static const CVNObjectParameters& current();
    static void setCurrent(const CVNObjectParameters& parameters);
};

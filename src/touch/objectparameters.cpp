#include "touch/objectparameters.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>

namespace
{

constexpr std::array<int, CVNObjectParameters::ClassCount> Ids{ 201, 202, 203, 204, 301, 302, 401,
                                                                402, 403, 404, 405, 406, 407, 408 };
constexpr double DefaultRanges[CVNObjectParameters::ClassCount][2]{
    { 18, 38 }, { 41, 57 }, { 72, 88 }, { 90, 110 }, // triangles of or-spec 1
    { 31, 68 }, { 300, 330 }, // directions of the fourth foot of or-spec 1
    { 25, 35 }, { 35, 45 }, { 45, 55 }, { 65, 75 }, { 75, 85 }, { 85, 95 }, { 95, 110 }, { 110, 130 },
};

CVNObjectParameters& shared()
{
    static CVNObjectParameters value;
    return value;
}

double clampAngle(double value)
{
    // NaN counts as 0: a range must never hold it.
    return std::isnan(value) ? 0.0 : qBound(0.0, value, 360.0);
}

} // namespace

CVNObjectParameters::CVNObjectParameters()
{
    for (int i = 0; i < ClassCount; ++i)
        angleRanges[i] = Range{ DefaultRanges[i][0], DefaultRanges[i][1] };
}

const std::array<int, CVNObjectParameters::ClassCount>& CVNObjectParameters::classIds()
{
    return Ids;
}

int CVNObjectParameters::classIndex(int classId)
{
    const auto it = std::find(Ids.begin(), Ids.end(), classId);
    return it == Ids.end() ? -1 : static_cast<int>(it - Ids.begin());
}

CVNObjectParameters::Range CVNObjectParameters::range(int classId) const
{
    const int index = classIndex(classId);
    return index < 0 ? Range() : angleRanges[index];
}

void CVNObjectParameters::setRange(int classId, double low, double high)
{
    const int index = classIndex(classId);
    if (index < 0)
        return;
    low = clampAngle(low);
    high = clampAngle(high);
    if (low > high)
        std::swap(low, high);
    angleRanges[index] = Range{ low, high };
}

void CVNObjectParameters::setMaxDistance(int orSpec, double value)
{
    value = std::isnan(value) ? 0.0 : qMax(0.0, value);
    (orSpec == 2 ? maxDistanceV2 : maxDistanceV1) = value;
}

bool CVNObjectParameters::operator==(const CVNObjectParameters& other) const
{
    return angleRanges == other.angleRanges && baseDiff == other.baseDiff && maxDistanceV1 == other.maxDistanceV1
        && maxDistanceV2 == other.maxDistanceV2 && pointRejection == other.pointRejection
        && maxCapture == other.maxCapture;
}

const CVNObjectParameters& CVNObjectParameters::current()
{
    return shared();
}

void CVNObjectParameters::setCurrent(const CVNObjectParameters& parameters)
{
    shared() = parameters;
}

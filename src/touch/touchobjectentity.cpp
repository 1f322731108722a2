#include "touch/touchobjectentity.h"

#include "touch/objectparameters.h"
#include "touch/objectrules.h"

namespace
{

// A replacement foot lies closer to the lost foot than this share of the
// object's shortest side, so that it cannot be another foot or a finger
// beside the object.
constexpr double CaptureShare = 0.5;

} // namespace

bool TouchObjectEntity::withinCapture(const QPoint& position) const
{
    const double reach = CVNObjectParameters::current().maxCapture * m_longest;
    double farthest = 0.0;
    for (const TouchPointer* foot : feet())
        farthest = qMax(farthest, CVNObjectRules::distance(position, foot->latest().position));
    return farthest < reach;
}

bool TouchObjectEntity::captureFinger(const TouchEntity& finger)
{
    const QPoint position = finger.latest().position;
    if (!withinCapture(position))
        return false;
    TouchPointer* nearest = nullptr;
    double nearestDistance = 0.0;
    for (TouchPointer* foot : feet()) {
        const double d = CVNObjectRules::distance(position, foot->latest().position);
        if (!nearest || d < nearestDistance) {
            nearest = foot;
            nearestDistance = d;
        }
    }
    if (!nearest || nearest->isUpdated() || !(nearestDistance < CaptureShare * m_shortest))
        return false;
    adopt(nearest, finger);
    footTaken(nearest);
    return true;
}

void TouchObjectEntity::adopt(TouchPointer* foot, const TouchEntity& finger)
{
    foot->setDeviceId(finger.deviceId());
    foot->addSample(finger.latest());
    foot->setUpdated(true);
    foot->endPoll();
}

void TouchObjectEntity::record(double shortest, double longest, int radius)
{
    m_shortest = shortest;
    m_longest = longest;
    m_recordedRadius = radius;
}

void TouchObjectEntity::setCalibrated(bool calibrated)
{
    TouchEntity::setCalibrated(calibrated);
    for (TouchPointer* foot : feet())
        foot->setCalibrated(calibrated);
}

void TouchObjectEntity::setCalibrationData(const CVNCalibrationMap& map)
{
    TouchEntity::setCalibrationData(map);
    for (TouchPointer* foot : feet())
        foot->setCalibrationData(map);
}

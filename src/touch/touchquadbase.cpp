#include "touch/touchquadbase.h"

#include "touch/objectparameters.h"
#include "touch/objectrules.h"

#include <QRect>

namespace
{

constexpr double RadiusGrowth = 1.5;
constexpr double RadiusOfMaxSide = 0.6;

} // namespace

TouchQuadBase::TouchQuadBase(int kind, int variant, std::unique_ptr<TouchTriangleBase> triangle,
                             std::unique_ptr<TouchPointer> fourth, CVNTouchSerialPools* pools)
    : TouchObjectEntity(kind, variant, pools)
    , m_triangle(std::move(triangle))
    , m_fourth(std::move(fourth))
{
    m_fourth->endPoll();
    double shortest = 0.0;
    double longest = 0.0;
    const QVector<TouchPointer*> all = feet();
    for (int i = 0; i < all.size(); ++i) {
        for (int j = i + 1; j < all.size(); ++j) {
            const double d = CVNObjectRules::distance(all[i]->latest().position, all[j]->latest().position);
            shortest = (i == 0 && j == 1) ? d : qMin(shortest, d);
            longest = qMax(longest, d);
        }
    }
    record(shortest, longest, m_triangle->latest().radius);
    recompute();
    TouchEntity::endPoll();
}

TouchQuadBase::~TouchQuadBase() = default;

QVector<TouchPointer*> TouchQuadBase::feet() const
{
    return { m_triangle->member(0), m_triangle->member(1), m_triangle->member(2), m_fourth.get() };
}

QList<const TouchEntity*> TouchQuadBase::nestedEntities() const
{
    return { m_triangle.get(), m_fourth.get() };
}

void TouchQuadBase::beginPoll()
{
    TouchEntity::beginPoll();
    m_triangle->beginPoll();
    m_fourth->beginPoll();
}

bool TouchQuadBase::updateFromContact(const CVNRawContact& record, qint64 nowMs)
{
    if (!withinCapture(QPoint(record.x, record.y)))
        return false;
    // The parts are locked with their quad (for the pressure test).
    m_triangle->setCreatedAt(createdAt());
    m_fourth->setCreatedAt(createdAt());
    if (!m_triangle->updateFromContact(record, nowMs) && !m_fourth->updateFromContact(record, nowMs))
        return false;
    setUpdated(true);
    return true;
}

void TouchQuadBase::footTaken(TouchPointer* foot)
{
    if (foot != m_fourth.get())
        m_triangle->setUpdated(true);
    setUpdated(true);
}

void TouchQuadBase::endPoll()
{
    if (!isUpdated())
        return;
    m_triangle->endPoll();
    recompute();
    const double maxSide = kind() == QuadV1Kind ? CVNObjectParameters::current().maxDistanceV1
                                                : CVNObjectParameters::current().maxDistanceV2;
    const int r = m_triangle->latest().radius;
    const bool radiusHolds = r <= RadiusGrowth * recordedRadius() && r <= RadiusOfMaxSide * maxSide;
    if (radiusHolds && (m_triangle->isAlive() || m_fourth->isAlive()))
        TouchEntity::endPoll();
    else if (!radiusHolds)
        kill();
}

void TouchQuadBase::recompute()
{
    TouchEntityProperties sample = m_triangle->latest();
    const TouchEntityProperties& fourth = m_fourth->latest();
    QRect box;
    for (const TouchPointer* foot : feet())
        box = box.united(QRect(foot->latest().position, QSize(1, 1)));
    sample.size = box.size();
    sample.pressure = (sample.pressure * 3 + fourth.pressure) / 4;
    addSample(sample);
}

void TouchQuadBase::takeSerial()
{
    TouchEntity::takeSerial();
    m_triangle->takeSerial();
    m_fourth->takeSerial();
}

void TouchQuadBase::setCalibrated(bool calibrated)
{
    TouchEntity::setCalibrated(calibrated);
    m_triangle->setCalibrated(calibrated);
    m_fourth->setCalibrated(calibrated);
}

void TouchQuadBase::setCalibrationData(const CVNCalibrationMap& map)
{
    TouchEntity::setCalibrationData(map);
    m_triangle->setCalibrationData(map);
    m_fourth->setCalibrationData(map);
}

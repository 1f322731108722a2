#include "touch/touchtrianglebase.h"

#include "touch/objectparameters.h"

#include <algorithm>

namespace
{

// Bounds of the shape check against what was recorded at recognition.
constexpr double ShortestShrink = 0.7;
constexpr double LongestGrowth = 1.3;
constexpr double RadiusGrowth = 1.5;
constexpr double RadiusOfMaxSide = 0.6;

} // namespace

TouchTriangleBase::TouchTriangleBase(int kind, const CVNTriangleShape& shape, const CVNRawContact records[3],
                                     CVNTouchSerialPools* pools)
    : TouchObjectEntity(kind, shape.variant, pools)
{
    for (int k = 0; k < 3; ++k) {
        m_members[k] = std::make_unique<TouchPointer>(records[shape.order[k]], pools);
        m_members[k]->endPoll();
    }
    record(shape.shortest, shape.longest, shape.radius);
    recompute();
    // New: alive for the keep-alive count like a new finger.
    TouchEntity::endPoll();
}

TouchTriangleBase::~TouchTriangleBase() = default;

QVector<TouchPointer*> TouchTriangleBase::feet() const
{
    return { m_members[0].get(), m_members[1].get(), m_members[2].get() };
}

QList<const TouchEntity*> TouchTriangleBase::nestedEntities() const
{
    return { m_members[0].get(), m_members[1].get(), m_members[2].get() };
}

void TouchTriangleBase::beginPoll()
{
    TouchEntity::beginPoll();
    for (const auto& m : m_members)
        m->beginPoll();
}

bool TouchTriangleBase::updateFromContact(const CVNRawContact& record, qint64 nowMs)
{
    if (!withinCapture(QPoint(record.x, record.y)))
        return false;
    for (const auto& m : m_members) {
        // Members are locked with their triangle (for the pressure test).
        m->setCreatedAt(createdAt());
        if (m->updateFromContact(record, nowMs)) {
            setUpdated(true);
            return true;
        }
    }
    return false;
}

void TouchTriangleBase::footTaken(TouchPointer* foot)
{
    (void)foot;
    setUpdated(true);
}

void TouchTriangleBase::endPoll()
{
    const bool memberAlive = std::any_of(m_members.begin(), m_members.end(), [](const auto& m) { return m->isAlive(); });
    if (!isUpdated() || !memberAlive)
        return;
    recompute();
    if (shapeHolds())
        TouchEntity::endPoll();
    else
        kill();
}

bool TouchTriangleBase::shapeHolds() const
{
    const QPoint p[3] = { m_members[0]->latest().position, m_members[1]->latest().position,
                          m_members[2]->latest().position };
    const double sides[3] = { CVNObjectRules::distance(p[0], p[1]), CVNObjectRules::distance(p[0], p[2]),
                              CVNObjectRules::distance(p[1], p[2]) };
    const double shortest = *std::min_element(sides, sides + 3);
    const double longest = *std::max_element(sides, sides + 3);
    const int radius = latest().radius;
    return shortest > ShortestShrink * recordedShortest() && longest < LongestGrowth * recordedLongest()
        && radius <= RadiusGrowth * recordedRadius() && radius <= RadiusOfMaxSide * maxSide();
}

void TouchTriangleBase::recompute()
{
    const QPoint p[3] = { m_members[0]->latest().position, m_members[1]->latest().position,
                          m_members[2]->latest().position };
    TouchEntityProperties sample = latest();
    float rotation = 0.0f;
    CVNObjectRules::measure(p, &sample.position, &sample.radius, &rotation);
    // A member that is gone leaves the rotation where it was.
    if (history().isEmpty() || std::all_of(m_members.begin(), m_members.end(), [](const auto& m) { return m->isAlive(); }))
        sample.rotation = rotation;
    const int left = std::min({ p[0].x(), p[1].x(), p[2].x() });
    const int top = std::min({ p[0].y(), p[1].y(), p[2].y() });
    sample.size = QSize(std::max({ p[0].x(), p[1].x(), p[2].x() }) - left + 1,
                        std::max({ p[0].y(), p[1].y(), p[2].y() }) - top + 1);
    sample.pressure = (m_members[0]->latest().pressure + m_members[1]->latest().pressure
                       + m_members[2]->latest().pressure) / 3;
    sample.color = QColor(Qt::black);
    addSample(sample);
}

void TouchTriangleBase::takeSerial()
{
    TouchEntity::takeSerial();
    for (const auto& m : m_members)
        m->takeSerial();
}

double TouchTriangleV1::maxSide() const
{
    return CVNObjectParameters::current().maxDistanceV1;
}

double TouchTriangleV2::maxSide() const
{
    return CVNObjectParameters::current().maxDistanceV2;
}

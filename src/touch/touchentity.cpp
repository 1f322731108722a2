#include "touch/touchentity.h"

#include "touch/pencolors.h"
#include "touch/touchparameters.h"
#include "touch/touchserialpools.h"

#include <QLineF>
#include <QtMath>

namespace
{

const TouchEntityProperties& defaultSample()
{
    static const TouchEntityProperties sample;
    return sample;
}

} // namespace

TouchEntity::TouchEntity(int kind, int variant, CVNTouchSerialPools* pools)
    : m_kind(kind)
    , m_subtype(kind)
    , m_variant(variant)
    , m_pools(pools)
{
    m_history.reserve(MaxHistory);
}

TouchEntity::~TouchEntity()
{
    releaseSerial();
}

float TouchEntity::calibratedRotation() const
{
    const float rotation = latest().rotation;
    if (!m_calibrated || m_calibration.isEmpty())
        return rotation;
    // The direction of the rotation, mapped like the position it starts at.
    const QPointF from = latest().position;
    const qreal radians = qDegreesToRadians(static_cast<qreal>(rotation));
    const QPointF to = from + QPointF(qCos(radians), qSin(radians)) * 100.0;
    const QLineF mapped(m_calibration.map(from), m_calibration.map(to));
    if (mapped.length() <= 0.0)
        return rotation;
    qreal degrees = qRadiansToDegrees(qAtan2(mapped.dy(), mapped.dx()));
    if (degrees < 0)
        degrees += 360.0;
    return static_cast<float>(degrees);
}

bool TouchEntity::isAlive() const
{
    return m_keepAlive > 0 && !m_dead;
}

void TouchEntity::beginPoll()
{
    m_updated = false;
    if (m_keepAlive > 0)
        --m_keepAlive;
}

void TouchEntity::kill()
{
    m_updated = false;
    m_keepAlive = 0;
}

void TouchEntity::addSample(const TouchEntityProperties& sample)
{
    if (m_history.size() >= MaxHistory)
        m_history.removeFirst();
    m_history.append(sample);
}

bool TouchEntity::updateFromContact(const CVNRawContact& record, qint64 nowMs)
{
    (void)record;
    (void)nowMs;
    return false;
}

bool TouchEntity::updateFromPen(const CVNRawPen& record)
{
    (void)record;
    return false;
}

void TouchEntity::endPoll()
{
    if (m_updated)
        m_keepAlive = CVNTouchParameters::current().keepAlive;
}

void TouchEntity::takeSerial()
{
    if (m_serial == 0 && m_pools)
        m_serial = m_pools->take(m_kind);
}

void TouchEntity::releaseSerial()
{
    if (m_serial != 0 && m_pools)
        m_pools->release(m_kind, m_serial);
    m_serial = 0;
}

bool TouchEntity::isLocked(qint64 nowMs) const
{
    if (m_createdAt == 0)
        return false;
    return m_lockForced || nowMs - m_createdAt >= CVNTouchParameters::current().timeLockMs;
}

const TouchEntityProperties& TouchEntity::latest() const
{
    return m_history.isEmpty() ? defaultSample() : m_history.constLast();
}

QPoint TouchEntity::publishedPosition() const
{
    const QPoint position = latest().position;
    if (!m_calibrated || m_calibration.isEmpty())
        return position;
    return m_calibration.map(QPointF(position)).toPoint();
}

bool TouchEntity::passesPressure(int pressure, qint64 nowMs) const
{
    const CVNTouchParameters& p = CVNTouchParameters::current();
    if (p.pressureThreshold == 0 || static_cast<unsigned>(pressure) >= p.pressureThreshold)
        return true;
    return isLocked(nowMs) && !p.pressureRejectsLocked;
}

TouchPointer::TouchPointer(const CVNRawContact& record, CVNTouchSerialPools* pools)
    : TouchEntity(FingerKind, 1, pools)
{
    setDeviceId(record.id);
    addSample(sampleOf(record));
}

TouchEntityProperties TouchPointer::sampleOf(const CVNRawContact& record)
{
    TouchEntityProperties sample;
    sample.position = QPoint(record.x, record.y);
    sample.size = QSize(record.width, record.height);
    sample.pressure = record.pressure;
    sample.color = QColor(Qt::black);
    return sample;
}

bool TouchPointer::acceptsNew(const CVNRawContact& record)
{
    if (record.id == CVNRawContact::EmptyId)
        return false;
    const CVNTouchParameters& p = CVNTouchParameters::current();
    return p.pressureThreshold == 0 || record.pressure >= p.pressureThreshold;
}

bool TouchPointer::isAlive() const
{
    return TouchEntity::isAlive() && deviceId() >= 0 && deviceId() < CVNRawContact::EmptyId;
}

bool TouchPointer::updateFromContact(const CVNRawContact& record, qint64 nowMs)
{
    if (isUpdated() || record.id == CVNRawContact::EmptyId || record.id != deviceId()
        || !passesPressure(record.pressure, nowMs))
        return false;
    addSample(sampleOf(record));
    setUpdated(true);
    endPoll();
    return true;
}

EntityPen::EntityPen(const CVNRawPen& record, CVNTouchSerialPools* pools)
    : TouchEntity(PenKind, 1, pools)
{
    setDeviceId(record.id);
    addSample(sampleOf(record));
}

TouchEntityProperties EntityPen::sampleOf(const CVNRawPen& record)
{
    TouchEntityProperties sample;
    sample.position = QPoint(record.x, record.y);
    sample.size = QSize(1, 1);
    sample.pressure = record.pressure;
    sample.rotation = static_cast<float>(record.rotation);
    sample.tiltX = record.tiltX;
    sample.tiltY = record.tiltY;
    sample.color = CVNPenColors::color(record.color);
    sample.state = record.state;
    return sample;
}

bool EntityPen::isAlive() const
{
    return TouchEntity::isAlive() && CVNRawPen::isValidId(deviceId());
}

void EntityPen::kill()
{
    TouchEntity::kill();
    setDeviceId(-1);
}

bool EntityPen::updateFromPen(const CVNRawPen& record)
{
    if (isUpdated() || !CVNRawPen::isValidId(record.id) || record.id != deviceId())
        return false;
    addSample(sampleOf(record));
    setUpdated(true);
    endPoll();
    return true;
}

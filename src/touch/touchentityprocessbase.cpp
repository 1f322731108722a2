#include "touch/touchentityprocessbase.h"

#include "touch/objectparameters.h"

#include <algorithm>

namespace
{

constexpr double MinPointRejection = 0.1;

bool validIds(const CVNRawContact* records, int count)
{
    return std::all_of(records, records + count, [](const CVNRawContact& r) { return r.id < CVNRawContact::EmptyId; });
}

} // namespace

TouchEntityProcessBase::TouchEntityProcessBase(int orSpec)
{
    m_rules.emplace(orSpec, CVNObjectParameters::current());
}

TouchEntityProcessBase::~TouchEntityProcessBase() = default;

void TouchEntityProcessBase::refreshRules()
{
    const int orSpec = m_rules->orSpec();
    m_rules.emplace(orSpec, CVNObjectParameters::current());
}

CVNRawContact TouchEntityProcessBase::recordOf(const TouchEntity& finger)
{
    const TouchEntityProperties& sample = finger.latest();
    CVNRawContact record;
    record.id = finger.deviceId() >= 0 && finger.deviceId() < CVNRawContact::EmptyId
        ? static_cast<quint8>(finger.deviceId())
        : CVNRawContact::EmptyId;
    record.x = static_cast<quint16>(qBound(0, sample.position.x(), 0xFFFF));
    record.y = static_cast<quint16>(qBound(0, sample.position.y(), 0xFFFF));
    record.width = static_cast<quint8>(qBound(0, sample.size.width(), 0xFF));
    record.height = static_cast<quint8>(qBound(0, sample.size.height(), 0xFF));
    record.pressure = static_cast<quint16>(qBound(0, sample.pressure, 0xFFFF));
    return record;
}

std::unique_ptr<TouchTriangleBase> TouchEntityProcessBase::makeTriangle(const CVNRawContact records[3],
                                                                        CVNTouchSerialPools* pools) const
{
    if (!validIds(records, 3))
        return nullptr;
    const std::optional<CVNTriangleShape> shape = m_rules->triangle(
        QPoint(records[0].x, records[0].y), QPoint(records[1].x, records[1].y), QPoint(records[2].x, records[2].y));
    return shape ? createTriangle(*shape, records, pools) : nullptr;
}

std::unique_ptr<TouchQuadBase> TouchEntityProcessBase::makeQuad(const CVNRawContact records[4],
                                                                CVNTouchSerialPools* pools) const
{
    if (!validIds(records, 4))
        return nullptr;
    QPoint points[4];
    for (int i = 0; i < 4; ++i)
        points[i] = QPoint(records[i].x, records[i].y);
    const std::optional<CVNQuadShape> shape = m_rules->quad(points);
    return shape ? createQuad(*shape, records, pools) : nullptr;
}

std::unique_ptr<TouchQuadBase> TouchEntityProcessBase::createQuad(const CVNQuadShape& shape,
                                                                  const CVNRawContact records[4],
                                                                  CVNTouchSerialPools* pools) const
{
    // The triangle's records in the order it was classified in.
    const CVNRawContact rotated[3] = { records[shape.rotation % 4], records[(shape.rotation + 1) % 4],
                                       records[(shape.rotation + 2) % 4] };
    std::unique_ptr<TouchTriangleBase> triangle = createTriangle(shape.triangle, rotated, pools);
    auto fourth = std::make_unique<TouchPointer>(records[shape.fourthInput()], pools);
    return createQuadEntity(shape, std::move(triangle), std::move(fourth), pools);
}

bool TouchEntityProcessBase::isUnlocked(const TouchEntity* entity, qint64 nowMs)
{
    // New at this poll counts as unlocked: with a time-lock of 0 everything
    // is locked at once, and no object could ever form.
    return !entity->isLocked(nowMs) || entity->createdAt() == nowMs;
}

bool TouchEntityProcessBase::isFreeFinger(const TouchEntity* entity, qint64 nowMs)
{
    return entity->kind() == TouchEntity::FingerKind && entity->isAlive() && isUnlocked(entity, nowMs);
}

bool TouchEntityProcessBase::isFreeTriangle(const TouchEntity* entity, qint64 nowMs) const
{
    const int kind = orSpec() == 2 ? TouchEntity::TriangleV2Kind : TouchEntity::TriangleV1Kind;
    return entity->kind() == kind && entity->isAlive() && isUnlocked(entity, nowMs);
}

void TouchEntityProcessBase::appendObject(Context& context, std::unique_ptr<TouchEntity> object)
{
    object->setCreatedAt(context.nowMs);
    context.entities.append(object.release());
}

void TouchEntityProcessBase::process(Context& context)
{
    refreshRules();
    capture(context);
    triangleAndFinger(context);
    m_fingers.clear();
    QVector<QPoint> points;
    for (TouchEntity* entity : qAsConst(context.entities)) {
        if (isFreeFinger(entity, context.nowMs) && m_fingers.size() < MaxSearchFingers) {
            m_fingers.append(entity);
            const CVNRawContact record = recordOf(*entity);
            points.append(QPoint(record.x, record.y));
        }
    }
    m_search.prepare(*m_rules, points);
    fourFingers(context);
    threeFingers(context);
    merge(context);
}

void TouchEntityProcessBase::capture(Context& context)
{
    const int count = context.entities.size();
    for (int f = 0; f < count; ++f) {
        TouchEntity* finger = context.entities.at(f);
        if (!isFreeFinger(finger, context.nowMs))
            continue;
        for (int o = 0; o < count; ++o) {
            TouchEntity* entity = context.entities.at(o);
            auto* object = entity->isObject() ? dynamic_cast<TouchObjectEntity*>(entity) : nullptr;
            if (object && object->isAlive() && object->captureFinger(*finger)) {
                finger->kill();
                break;
            }
        }
    }
}

std::unique_ptr<TouchQuadBase> TouchEntityProcessBase::quadOfTriangle(const TouchTriangleBase& triangle,
                                                                      const TouchEntity& finger, int rotation,
                                                                      CVNTouchSerialPools* pools) const
{
    const CVNRawContact four[4] = { recordOf(*triangle.member(0)), recordOf(*triangle.member(1)),
                                    recordOf(*triangle.member(2)), recordOf(finger) };
    const CVNRawContact rotated[4] = { four[rotation % 4], four[(rotation + 1) % 4], four[(rotation + 2) % 4],
                                       four[(rotation + 3) % 4] };
    return makeQuad(rotated, pools);
}

void TouchEntityProcessBase::triangleAndFinger(Context& context)
{
    if (context.entities.size() < 4)
        return;
    for (int t = 0; t < context.entities.size(); ++t) {
        auto* triangle = dynamic_cast<TouchTriangleBase*>(context.entities.at(t));
        if (!triangle || !isFreeTriangle(triangle, context.nowMs))
            continue;
        for (int f = 0; f < context.entities.size() && triangle->isAlive(); ++f) {
            TouchEntity* finger = context.entities.at(f);
            if (!isFreeFinger(finger, context.nowMs))
                continue;
            for (int rotation = 0; rotation < 4; ++rotation) {
                std::unique_ptr<TouchQuadBase> quad = quadOfTriangle(*triangle, *finger, rotation, &context.pools);
                if (quad && quad->isAlive()) {
                    triangle->kill();
                    finger->kill();
                    appendObject(context, std::move(quad));
                    break;
                }
            }
        }
    }
}

void TouchEntityProcessBase::fourFingers(Context& context)
{
    if (context.entities.size() < 4 || m_fingers.size() < 4)
        return;
    m_search.findQuads([&](const int fingers[4], const CVNQuadShape& shape) {
        CVNRawContact records[4];
        for (int a = 0; a < 4; ++a)
            records[a] = recordOf(*m_fingers.at(fingers[a]));
        std::unique_ptr<TouchQuadBase> quad = createQuad(shape, records, &context.pools);
        for (int a = 0; a < 4; ++a)
            m_fingers.at(fingers[a])->kill();
        appendObject(context, std::move(quad));
    });
}

void TouchEntityProcessBase::threeFingers(Context& context)
{
    if (context.entities.size() < 3 || m_fingers.size() < 3)
        return;
    m_search.findTriangles([&](const int fingers[3], const CVNTriangleShape& shape) {
        CVNRawContact records[3];
        for (int a = 0; a < 3; ++a)
            records[a] = recordOf(*m_fingers.at(fingers[a]));
        std::unique_ptr<TouchTriangleBase> triangle = createTriangle(shape, records, &context.pools);
        for (int a = 0; a < 3; ++a)
            m_fingers.at(fingers[a])->kill();
        appendObject(context, std::move(triangle));
    });
}

void TouchEntityProcessBase::merge(Context& context)
{
    for (int t = 0; t < context.entities.size(); ++t) {
        auto* triangle = dynamic_cast<TouchTriangleBase*>(context.entities.at(t));
        if (!triangle || !isFreeTriangle(triangle, context.nowMs) || triangle->isDead())
            continue;
        for (int f = 0; f < context.entities.size(); ++f) {
            TouchEntity* finger = context.entities.at(f);
            if (!isFreeFinger(finger, context.nowMs) || finger->isDead())
                continue;
            std::unique_ptr<TouchQuadBase> quad = quadOfTriangle(*triangle, *finger, 0, &context.pools);
            if (quad) {
                triangle->kill();
                finger->kill();
                appendObject(context, std::move(quad));
                break;
            }
        }
    }
}

void TouchEntityProcessBase::rejectPoints(Context& context)
{
    const double fraction = CVNObjectParameters::current().pointRejection;
    if (!(fraction >= MinPointRejection))
        return;
    for (const TouchEntity* object : qAsConst(context.entities)) {
        if (!object->isObject() || !object->isAlive() || !object->isLocked(context.nowMs))
            continue;
        const double reach = object->latest().radius * fraction;
        for (TouchEntity* finger : qAsConst(context.entities)) {
            if (isFreeFinger(finger, context.nowMs)
                && CVNObjectRules::distance(finger->latest().position, object->latest().position) < reach)
                finger->kill();
        }
    }
}

#pragma once

#include "touch/fingersearch.h"
#include "touch/objectrules.h"
#include "touch/touchentityprocess.h"
#include "touch/touchquadbase.h"
#include "touch/touchtrianglebase.h"

#include <QVector>

#include <memory>
#include <optional>

// Object recognition on the tracker's entities, once per poll, in this order:
// capture of replacement feet, triangle plus finger, four fingers, three
// fingers, merge. The or-spec's processor supplies the object entities
// that its shapes become; everything else is shared.
class TouchEntityProcessBase : public TouchEntityProcess
{
public:
    // The unlocked fingers that the four- and three-finger steps consider,
    // the first in tracker order: a controller may report 255 contacts, and
    // every ordered choice of four of them would take hours per poll.
    static constexpr int MaxSearchFingers = 64;

    explicit TouchEntityProcessBase(int orSpec);
    ~TouchEntityProcessBase() override;

    void process(Context& context) override;
    // Kills every unlocked finger closer to a locked object's position than
    // its radius x the point-rejection fraction (from 0.1 on).
    void rejectPoints(Context& context) override;

    int orSpec() const { return m_rules->orSpec(); }
    // The rules of the current poll (the parameters as they were when it began).
    const CVNObjectRules& rules() const { return *m_rules; }
    void refreshRules();

    // The factories: the object of three / four contact records in this
    // order, or null. Every record must carry a valid contact id.
    std::unique_ptr<TouchTriangleBase> makeTriangle(const CVNRawContact records[3], CVNTouchSerialPools* pools) const;
    std::unique_ptr<TouchQuadBase> makeQuad(const CVNRawContact records[4], CVNTouchSerialPools* pools) const;
    // The entity of a recognised shape, its records in the order classified.
    virtual std::unique_ptr<TouchTriangleBase> createTriangle(const CVNTriangleShape& shape, const CVNRawContact records[3],
                                                              CVNTouchSerialPools* pools) const = 0;
    std::unique_ptr<TouchQuadBase> createQuad(const CVNQuadShape& shape, const CVNRawContact records[4],
                                              CVNTouchSerialPools* pools) const;

    // A finger (or member) as the contact record it last followed.
    static CVNRawContact recordOf(const TouchEntity& finger);

protected:
    // The quad entity of an or-spec's quad shape and its parts.
    virtual std::unique_ptr<TouchQuadBase> createQuadEntity(const CVNQuadShape& shape,
                                                            std::unique_ptr<TouchTriangleBase> triangle,
                                                            std::unique_ptr<TouchPointer> fourth,
                                                            CVNTouchSerialPools* pools) const = 0;

    void capture(Context& context);
    void triangleAndFinger(Context& context);
    // Every ordered choice of four / three of the unlocked fingers (in
    // tracker order, those of candidateFingers()): the first that makes an
    // object becomes one, then the first of the fingers left, and so on.
    virtual void fourFingers(Context& context);
    virtual void threeFingers(Context& context);
    void merge(Context& context);

    // The alive, unlocked fingers of the list when the four-finger step
    // begins, in list order (at most MaxSearchFingers).
    const QVector<TouchEntity*>& candidateFingers() const { return m_fingers; }
    static bool isUnlocked(const TouchEntity* entity, qint64 nowMs);
    static bool isFreeFinger(const TouchEntity* entity, qint64 nowMs);
    bool isFreeTriangle(const TouchEntity* entity, qint64 nowMs) const;
    // Appends a new object made at this poll.
    static void appendObject(Context& context, std::unique_ptr<TouchEntity> object);

private:
    std::unique_ptr<TouchQuadBase> quadOfTriangle(const TouchTriangleBase& triangle, const TouchEntity& finger,
                                                  int rotation, CVNTouchSerialPools* pools) const;

    std::optional<CVNObjectRules> m_rules;
    CVNFingerSearch m_search;
    QVector<TouchEntity*> m_fingers;
};

#pragma once

#include "touch/objectrules.h"
#include "touch/touchobjectentity.h"

#include <array>
#include <memory>

// A recognised triangle: three member fingers (apex, first and second base
// point) that it owns and follows, the shortest and longest side and the
// radius it had at recognition. Its sample: the centroid of the members,
// the mean distance of the members from it as radius, the direction from it
// to the apex as rotation, the members' bounding box as size and their mean
// pressure.
class TouchTriangleBase : public TouchObjectEntity
{
public:
    // records: the three contact records in the order given to the
    // classification; shape says which is apex and which base point.
    TouchTriangleBase(int kind, const CVNTriangleShape& shape, const CVNRawContact records[3], CVNTouchSerialPools* pools);
    ~TouchTriangleBase() override;

    QVector<TouchPointer*> feet() const override;
    QList<const TouchEntity*> nestedEntities() const override;
    void beginPoll() override;
    // Taken when the record lies within the capture distance and a member follows its id.
    bool updateFromContact(const CVNRawContact& record, qint64 nowMs) override;
    // When updated and a member lives: recomputed from the members; it keeps
    // living only while its sides, its radius and its size stay within bounds.
    void endPoll() override;
    void takeSerial() override;

    TouchPointer* member(int index) const { return m_members[index].get(); }
    // The largest side of the triangle's or-spec.
    virtual double maxSide() const = 0;
    // The shape check of the end of a poll, on the members' latest positions.
    bool shapeHolds() const;

protected:
    void footTaken(TouchPointer* foot) override;

private:
    // A sample of the members' latest positions.
    void recompute();

    std::array<std::unique_ptr<TouchPointer>, 3> m_members;
};

// Triangles of or-spec 1: kind 2, classes 201..204.
class TouchTriangleV1 : public TouchTriangleBase
{
public:
    TouchTriangleV1(const CVNTriangleShape& shape, const CVNRawContact records[3], CVNTouchSerialPools* pools)
        : TouchTriangleBase(TriangleV1Kind, shape, records, pools)
    {
    }
    double maxSide() const override;
};

// Triangles of or-spec 2: kind 4, classes 401..408.
class TouchTriangleV2 : public TouchTriangleBase
{
public:
    TouchTriangleV2(const CVNTriangleShape& shape, const CVNRawContact records[3], CVNTouchSerialPools* pools)
        : TouchTriangleBase(TriangleV2Kind, shape, records, pools)
    {
    }
    double maxSide() const override;
};

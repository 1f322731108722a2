#pragma once

#include "touch/touchobjectentity.h"
#include "touch/touchtrianglebase.h"

#include <memory>

// A recognised quad: a triangle and a fourth finger, both owned. Its sample
// takes the position, radius and rotation of its triangle; the capture
// distance is measured against the longest distance between its four feet
// at recognition.
class TouchQuadBase : public TouchObjectEntity
{
public:
    TouchQuadBase(int kind, int variant, std::unique_ptr<TouchTriangleBase> triangle,
                  std::unique_ptr<TouchPointer> fourth, CVNTouchSerialPools* pools);
    ~TouchQuadBase() override;

    QVector<TouchPointer*> feet() const override;
    QList<const TouchEntity*> nestedEntities() const override;
    void beginPoll() override;
    // Taken when the record lies within the capture distance and the
    // triangle or the fourth finger takes it.
    bool updateFromContact(const CVNRawContact& record, qint64 nowMs) override;
    // When updated: the triangle ends its poll, then the quad lives on while
    // a component lives and the triangle's radius stays within 1.5 x the
    // recorded radius and 0.6 x the or-spec's largest side; it is
    // killed when the radius leaves those bounds.
    void endPoll() override;
    void takeSerial() override;
    void setCalibrated(bool calibrated) override;
    void setCalibrationData(const CVNCalibrationMap& map) override;

    TouchTriangleBase* triangle() const { return m_triangle.get(); }
    TouchPointer* fourth() const { return m_fourth.get(); }

protected:
    void footTaken(TouchPointer* foot) override;

private:
    void recompute();

    std::unique_ptr<TouchTriangleBase> m_triangle;
    std::unique_ptr<TouchPointer> m_fourth;
};

// Quads of or-spec 1: kind 3, classes 301 and 302.
class TouchQuadV1 : public TouchQuadBase
{
public:
    TouchQuadV1(int variant, std::unique_ptr<TouchTriangleBase> triangle, std::unique_ptr<TouchPointer> fourth,
                CVNTouchSerialPools* pools)
        : TouchQuadBase(QuadV1Kind, variant, std::move(triangle), std::move(fourth), pools)
    {
    }
};

// Quads of or-spec 2 with the fourth foot at the triangle's centre:
// kind 5, classes 509..515.
class TouchQuadCenter : public TouchQuadBase
{
public:
    TouchQuadCenter(int variant, std::unique_ptr<TouchTriangleBase> triangle, std::unique_ptr<TouchPointer> fourth,
                    CVNTouchSerialPools* pools)
        : TouchQuadBase(QuadV2Kind, variant, std::move(triangle), std::move(fourth), pools)
    {
    }
};

// Quads of or-spec 2 with the fourth foot opposite the apex: kind 5, class 516.
class TouchQuadOpposite : public TouchQuadBase
{
public:
    TouchQuadOpposite(std::unique_ptr<TouchTriangleBase> triangle, std::unique_ptr<TouchPointer> fourth,
                      CVNTouchSerialPools* pools)
        : TouchQuadBase(QuadV2Kind, 16, std::move(triangle), std::move(fourth), pools)
    {
    }
};

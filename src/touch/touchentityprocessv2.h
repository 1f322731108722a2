#pragma once

#include "touch/touchentityprocessbase.h"

// Recognition "Tag+": triangles of classes 401..408, quads 509..515 with a
// fourth foot at the centre of a triangle of 401..407, and quad 516 with a
// fourth foot opposite the apex of a triangle of 408.
class TouchEntityProcessV2 : public TouchEntityProcessBase
{
public:
    TouchEntityProcessV2()
        : TouchEntityProcessBase(2)
    {
    }

    std::unique_ptr<TouchTriangleBase> createTriangle(const CVNTriangleShape& shape, const CVNRawContact records[3],
                                                      CVNTouchSerialPools* pools) const override;

protected:
    std::unique_ptr<TouchQuadBase> createQuadEntity(const CVNQuadShape& shape, std::unique_ptr<TouchTriangleBase> triangle,
                                                    std::unique_ptr<TouchPointer> fourth,
                                                    CVNTouchSerialPools* pools) const override;
};

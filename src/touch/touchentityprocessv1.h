#pragma once

#include "touch/touchentityprocessbase.h"

// Recognition "Tag": triangles of classes 201..204 and the quads 301 and 302
// that a class-201 triangle makes with a fourth finger beside its apex.
class TouchEntityProcessV1 : public TouchEntityProcessBase
{
public:
    TouchEntityProcessV1()
        : TouchEntityProcessBase(1)
    {
    }

    std::unique_ptr<TouchTriangleBase> createTriangle(const CVNTriangleShape& shape, const CVNRawContact records[3],
                                                      CVNTouchSerialPools* pools) const override;

protected:
    std::unique_ptr<TouchQuadBase> createQuadEntity(const CVNQuadShape& shape, std::unique_ptr<TouchTriangleBase> triangle,
                                                    std::unique_ptr<TouchPointer> fourth,
                                                    CVNTouchSerialPools* pools) const override;
};

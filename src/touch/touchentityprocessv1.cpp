#include "touch/touchentityprocessv1.h"

std::unique_ptr<TouchTriangleBase> TouchEntityProcessV1::createTriangle(const CVNTriangleShape& shape,
                                                                        const CVNRawContact records[3],
                                                                        CVNTouchSerialPools* pools) const
{
    return std::make_unique<TouchTriangleV1>(shape, records, pools);
}

std::unique_ptr<TouchQuadBase> TouchEntityProcessV1::createQuadEntity(const CVNQuadShape& shape,
                                                                      std::unique_ptr<TouchTriangleBase> triangle,
                                                                      std::unique_ptr<TouchPointer> fourth,
                                                                      CVNTouchSerialPools* pools) const
{
    return std::make_unique<TouchQuadV1>(shape.variant, std::move(triangle), std::move(fourth), pools);
}

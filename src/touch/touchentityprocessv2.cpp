#include "touch/touchentityprocessv2.h"

std::unique_ptr<TouchTriangleBase> TouchEntityProcessV2::createTriangle(const CVNTriangleShape& shape,
                                                                        const CVNRawContact records[3],
                                                                        CVNTouchSerialPools* pools) const
{
    return std::make_unique<TouchTriangleV2>(shape, records, pools);
}

std::unique_ptr<TouchQuadBase> TouchEntityProcessV2::createQuadEntity(const CVNQuadShape& shape,
                                                                      std::unique_ptr<TouchTriangleBase> triangle,
                                                                      std::unique_ptr<TouchPointer> fourth,
                                                                      CVNTouchSerialPools* pools) const
{
    if (shape.variant == 16)
        return std::make_unique<TouchQuadOpposite>(std::move(triangle), std::move(fourth), pools);
    return std::make_unique<TouchQuadCenter>(shape.variant, std::move(triangle), std::move(fourth), pools);
}

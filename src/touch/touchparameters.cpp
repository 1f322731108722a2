#include "touch/touchparameters.h"

#include <QtGlobal>

namespace
{

CVNTouchParameters& parameters()
{
    static CVNTouchParameters value;
    return value;
}

} // namespace

const CVNTouchParameters& CVNTouchParameters::current()
{
    return parameters();
}

void CVNTouchParameters::setCurrent(const CVNTouchParameters& value)
{
    parameters() = value;
    parameters().keepAlive = qMax(1, value.keepAlive);
    parameters().timeLockMs = qMax(0, value.timeLockMs);
}

#include "touch/touchentityprocess.h"

namespace
{

TouchEntityProcess::Factory& factory()
{
    static TouchEntityProcess::Factory value;
    return value;
}

} // namespace

std::unique_ptr<TouchEntityProcess> TouchEntityProcess::create(int orSpec)
{
    if (orSpec == 0 || !factory())
        return nullptr;
    return factory()(orSpec);
}

void TouchEntityProcess::setFactory(Factory value)
{
    factory() = std::move(value);
}

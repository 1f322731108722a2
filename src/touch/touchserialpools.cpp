#include "touch/touchserialpools.h"

namespace
{

bool validFamily(int family)
{
    return family >= 0 && family < CVNTouchSerialPools::Families;
}

} // namespace

void CVNTouchSerialPools::refill()
{
    for (std::deque<int>& pool : m_pools) {
        pool.clear();
        for (int serial = FirstSerial; serial <= LastSerial; ++serial)
            pool.push_back(serial);
    }
}

int CVNTouchSerialPools::take(int family)
{
    if (!validFamily(family) || m_pools[family].empty())
        return 0;
    const int serial = m_pools[family].front();
    m_pools[family].pop_front();
    return serial;
}

void CVNTouchSerialPools::release(int family, int serial)
{
    if (validFamily(family) && serial >= FirstSerial && serial <= LastSerial)
        m_pools[family].push_back(serial);
}

int CVNTouchSerialPools::available(int family) const
{
    return validFamily(family) ? static_cast<int>(m_pools[family].size()) : 0;
}

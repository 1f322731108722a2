#pragma once

#include <QVector>

#include <deque>

// Serial numbers of touch entities, one pool per entity family (kind):
// 1..999 in ascending order; a taken number goes back to the end of its
// pool, so numbers are reused in the order they were freed.
class CVNTouchSerialPools
{
public:
    static constexpr int FirstSerial = 1;
    static constexpr int LastSerial = 999;
    static constexpr int Families = 8; // kinds 0..7

    CVNTouchSerialPools() { refill(); }

    void refill();
    // The first free number of the family, or 0 when its pool is empty.
    int take(int family);
    void release(int family, int serial);
    int available(int family) const;

private:
    std::deque<int> m_pools[Families];
};

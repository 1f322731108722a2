#include "com/receivebudget.h"

#include "com/comlimits.h"

CVNReceiveBudget::CVNReceiveBudget(qint64 capacity)
    : m_capacity(capacity)
{
}

CVNReceiveBudget& CVNReceiveBudget::shared()
{
    static CVNReceiveBudget budget(CVNComLimits::kTotalReceiveBudget);
    return budget;
}

bool CVNReceiveBudget::reserve(qint64 bytes)
{
    if (bytes <= 0)
        return true;
    qint64 used = m_used.load();
    do {
        if (used + bytes > m_capacity)
            return false;
    } while (!m_used.compare_exchange_weak(used, used + bytes));
    return true;
}

void CVNReceiveBudget::release(qint64 bytes)
{
    if (bytes > 0)
        m_used.fetch_sub(bytes);
}

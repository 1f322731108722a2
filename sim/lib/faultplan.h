// Faults that a controller shows on demand: failing transfers, garbage or
// short answers, vanishing from the bus in the middle of a transfer.
#pragma once

#include <QtGlobal>

namespace corvanesim {

class CVNFaultPlan {
public:
    enum class Outcome { Normal, Fail, Garbage, Short, Vanish };

    void failNext(int count) { m_fail = count; }
    void garbageNext(int count) { m_garbage = count; }
    void shortNext(int count) { m_short = count; }
    void vanishNext() { m_vanish = true; }

    // Consumes the fault that applies to the next transfer. Garbage and
    // short answers apply only to transfers that return data.
    Outcome next(bool returnsData);

private:
    int m_fail = 0;
    int m_garbage = 0;
    int m_short = 0;
    bool m_vanish = false;
};

}  // namespace corvanesim

#include "faultplan.h"

namespace corvanesim {

CVNFaultPlan::Outcome CVNFaultPlan::next(bool returnsData)
{
    if (m_vanish) {
        m_vanish = false;
        return Outcome::Vanish;
    }
    if (m_fail > 0) {
        --m_fail;
        return Outcome::Fail;
    }
    if (returnsData && m_garbage > 0) {
        --m_garbage;
        return Outcome::Garbage;
    }
    if (returnsData && m_short > 0) {
        --m_short;
        return Outcome::Short;
    }
    return Outcome::Normal;
}

}  // namespace corvanesim

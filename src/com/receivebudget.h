#pragma once

#include <QtGlobal>

#include <atomic>

// The bytes that receive buffers may hold together. Each buffer reserves
// what it holds before it takes more bytes in and releases it when it lets
// them go; a reservation that does not fit is refused, and the buffer then
// breaks its stream. Thread-safe: buffers of client threads share it.
class CVNReceiveBudget
{
public:
    explicit CVNReceiveBudget(qint64 capacity);
    CVNReceiveBudget(const CVNReceiveBudget&) = delete;
    CVNReceiveBudget& operator=(const CVNReceiveBudget&) = delete;

    // The budget of this process (kTotalReceiveBudget).
    static CVNReceiveBudget& shared();

    // Takes `bytes` from the budget; false (and nothing taken) when they do
    // not fit.
    [[nodiscard]] bool reserve(qint64 bytes);
    void release(qint64 bytes);

    qint64 used() const { return m_used.load(); }
    qint64 capacity() const { return m_capacity; }

private:
    const qint64 m_capacity;
    std::atomic<qint64> m_used{0};
};

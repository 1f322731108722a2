#pragma once

#include <atomic>
#include <functional>
#include <mutex>

// Serialises the transfers of one open handle and lets close() return at
// once, even while a transfer blocks in the system: the handle is released
// by close() when no transfer runs, otherwise by the transfer in flight as
// soon as it returns. No transfer starts after close(). A removal or a stop
// therefore never waits for a controller that stopped answering.
class CVNHandleGate
{
public:
    // `release` frees the handle; it runs once, under the gate.
    explicit CVNHandleGate(std::function<void()> release)
        : m_release(std::move(release))
    {
    }
    ~CVNHandleGate()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        releaseLocked();
    }
    CVNHandleGate(const CVNHandleGate&) = delete;
    CVNHandleGate& operator=(const CVNHandleGate&) = delete;

    // Runs `transfer` (returning bool) alone on the handle; false without
    // running it once the handle is closed.
    template <typename Transfer> [[nodiscard]] bool run(Transfer&& transfer)
    {
        bool result = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (!m_closed)
                result = transfer();
        }
        releaseIfClosed();
        return result;
    }

    // Idempotent and safe from any thread; never waits for a transfer.
    void close()
    {
        m_closed = true;
        releaseIfClosed();
    }

    bool isClosed() const { return m_closed; }

private:
    // Whoever holds the gate when the handle is closed releases it: the
    // closer when the gate is free, else the transfer leaving it (which
    // looks again after unlocking, so no release is missed).
    void releaseIfClosed()
    {
        if (!m_closed)
            return;
        std::unique_lock<std::mutex> lock(m_mutex, std::try_to_lock);
        if (lock.owns_lock())
            releaseLocked();
    }
    void releaseLocked()
    {
        if (!m_release)
            return;
        const std::function<void()> release = std::move(m_release);
        m_release = nullptr;
        release();
    }

    std::mutex m_mutex;
    std::atomic<bool> m_closed { false };
    std::function<void()> m_release;
};

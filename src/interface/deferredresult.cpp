#include "interface/deferredresult.h"

void CVNDeferredResult::finish(const QString& text, bool succeeded)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_finished)
            return;
        m_finished = true;
        m_succeeded = succeeded;
        m_text = text;
    }
    // Queued even on its own thread: the waiters run after the code that
    // finished the work has returned.
    QMetaObject::invokeMethod(this, &CVNDeferredResult::finished, Qt::QueuedConnection);
}

bool CVNDeferredResult::isFinished() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_finished;
}

QString CVNDeferredResult::text() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_text;
}

bool CVNDeferredResult::succeeded() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_succeeded;
}

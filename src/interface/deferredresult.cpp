#include "interface/deferredresult.h"

#include "device/threadhandoff.h"

#include <QCoreApplication>
#include <QEvent>

namespace {
// The end of the work, carried to the object's thread.
const QEvent::Type kFinishedEvent = QEvent::Type(QEvent::registerEventType());
} // namespace

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
    // Posted even on its own thread: the waiters run after the code that
    // finished the work has returned.
    auto* event = new QEvent(kFinishedEvent);
    CVNThreadHandoff::publish(event);
    QCoreApplication::postEvent(this, event);
}

void CVNDeferredResult::customEvent(QEvent* event)
{
    CVNThreadHandoff::receive(event);
    if (event->type() == kFinishedEvent)
        emit finished();
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

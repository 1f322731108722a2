#pragma once

#include <QObject>
#include <QString>

#include <mutex>

// The text result of a text command whose work goes on after the command
// returned (a firmware upload). Whoever can wait holds it and is told by
// finished() on the thread the object lives in; the work may finish it
// from any thread. Shared: it outlives the entity that started the work.
class CVNDeferredResult : public QObject
{
    Q_OBJECT
public:
    CVNDeferredResult() = default;

    // Only the first call counts. Any thread.
    void finish(const QString& text, bool succeeded);

    bool isFinished() const;
    QString text() const;
    bool succeeded() const;

signals:
    // Once, after finish(), on this object's thread.
    void finished();

protected:
    void customEvent(QEvent* event) override;

private:
    mutable std::mutex m_mutex;
    bool m_finished = false;
    bool m_succeeded = false;
    QString m_text;
};

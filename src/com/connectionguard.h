#pragma once

#include "com/comlimits.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class CVNComConnection;

// Keeps what one client connection costs the service bounded, whatever
// the client does. The owner (the session) asks it before reading requests
// and before writing unsolicited documents, and tells it what it wrote and
// received:
// - answers piling up unsent (a client that sends and does not read) pause
//   the reading of its requests; the kernel then stops the client;
// - a paused client that takes none of its answers for a while, a
//   subscriber that lets notifications pile up, and a client that stops in
//   the middle of a document are given up: the owner closes them.
// Each of these is logged once.
class CVNConnectionGuard : public QObject
{
    Q_OBJECT
public:
    struct Limits {
        qint64 pauseUnsentBytes = CVNComLimits::kPauseUnsentBytes;
        qint64 maxUnsentBytes = CVNComLimits::kMaxUnsentBytes;
        int stalledClientMs = CVNComLimits::kStalledClientMs;
        int incompleteDocumentIdleMs = CVNComLimits::kIncompleteDocumentIdleMs;
    };

    explicit CVNConnectionGuard(CVNComConnection* connection, QObject* parent = nullptr);
    CVNConnectionGuard(CVNComConnection* connection, const Limits& limits, QObject* parent = nullptr);

    // Whether requests may be read now.
    bool readsPaused() const { return m_paused; }
    bool hasGivenUp() const { return m_gaveUp; }

    // After an answer was written: pauses reading when the client leaves
    // too much of its answers unsent.
    void answerWritten();
    // Before an unsolicited document (a notification) is written: false when
    // the client has let more than the bound pile up. The guard has then
    // given up on the connection.
    [[nodiscard]] bool mayWrite();
    // After received bytes were taken in: `incompleteBytes` is what is held
    // of a document that has not arrived whole.
    void received(qint64 incompleteBytes);

signals:
    // Reading may go on: the client took enough of its answers.
    void resumed();
    // The connection should be closed; reason is already logged.
    void gaveUp(const QString& reason);

private:
    void onBytesWritten();
    void giveUp(const QString& reason);
    QString peer() const;
    qint64 unsent() const;

    QPointer<CVNComConnection> m_connection;
    Limits m_limits;
    bool m_paused = false;
    bool m_gaveUp = false;
    QTimer m_stalledTimer;
    QTimer m_incompleteTimer;
};

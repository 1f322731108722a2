#include "com/connectionguard.h"

#include "com/comconnection.h"
#include "com/comlogging.h"

CVNConnectionGuard::CVNConnectionGuard(CVNComConnection* connection, QObject* parent)
    : CVNConnectionGuard(connection, Limits(), parent)
{
}

CVNConnectionGuard::CVNConnectionGuard(CVNComConnection* connection, const Limits& limits, QObject* parent)
    : QObject(parent)
    , m_connection(connection)
    , m_limits(limits)
{
    m_stalledTimer.setSingleShot(true);
    m_stalledTimer.setInterval(m_limits.stalledClientMs);
    m_incompleteTimer.setSingleShot(true);
    m_incompleteTimer.setInterval(m_limits.incompleteDocumentIdleMs);
    connect(&m_stalledTimer, &QTimer::timeout, this, [this] {
        giveUp(QStringLiteral("took none of its %1 bytes of answers for %2 ms")
                   .arg(unsent())
                   .arg(m_limits.stalledClientMs));
    });
    connect(&m_incompleteTimer, &QTimer::timeout, this, [this] {
        giveUp(QStringLiteral("sent part of a document and then nothing for %1 ms")
                   .arg(m_limits.incompleteDocumentIdleMs));
    });
    if (connection)
        connect(connection, &CVNComConnection::bytesWritten, this, &CVNConnectionGuard::onBytesWritten);
}

qint64 CVNConnectionGuard::unsent() const
{
    return m_connection ? m_connection->bytesToWrite() : 0;
}

QString CVNConnectionGuard::peer() const
{
    if (!m_connection)
        return QString();
    return QStringLiteral("%1:%2").arg(m_connection->endpoint().host()).arg(m_connection->endpointPort());
}

void CVNConnectionGuard::answerWritten()
{
    if (m_paused || m_gaveUp || unsent() <= m_limits.pauseUnsentBytes)
        return;
    // Hand what the kernel takes to it first: only a client that really
    // does not read is paused.
    m_connection->flush();
    if (unsent() <= m_limits.pauseUnsentBytes)
        return;
    m_paused = true;
    m_incompleteTimer.stop();
    m_stalledTimer.start();
    qCWarning(lcCom).noquote() << "client" << peer() << "does not read its answers:" << unsent()
                               << "bytes unsent, its requests wait";
}

bool CVNConnectionGuard::mayWrite()
{
    if (m_gaveUp)
        return false;
    if (unsent() <= m_limits.maxUnsentBytes)
        return true;
    if (m_connection)
        m_connection->flush();
    if (unsent() <= m_limits.maxUnsentBytes)
        return true;
    giveUp(QStringLiteral("left %1 bytes unsent").arg(unsent()));
    return false;
}

void CVNConnectionGuard::received(qint64 incompleteBytes)
{
    if (m_gaveUp || m_paused || incompleteBytes <= 0) {
        m_incompleteTimer.stop();
        return;
    }
    m_incompleteTimer.start();
}

void CVNConnectionGuard::onBytesWritten()
{
    if (!m_paused || m_gaveUp)
        return;
    if (unsent() > m_limits.pauseUnsentBytes / 2) {
        m_stalledTimer.start();  // progress: the client reads, slowly
        return;
    }
    m_paused = false;
    m_stalledTimer.stop();
    qCDebug(lcCom).noquote() << "client" << peer() << "reads its answers again";
    emit resumed();
}

void CVNConnectionGuard::giveUp(const QString& reason)
{
    if (m_gaveUp)
        return;
    m_gaveUp = true;
    m_stalledTimer.stop();
    m_incompleteTimer.stop();
    qCWarning(lcCom).noquote() << "closing client" << peer() << "that" << reason;
    emit gaveUp(reason);
}

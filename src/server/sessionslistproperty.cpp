#include "server/sessionslistproperty.h"

#include "interface/accessmode.h"
#include "server/applicationserver.h"
#include "server/serversession.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

CVNSessionsListProperty::CVNSessionsListProperty(CVNApplicationServer* server)
    : QObject(nullptr)
    , CVNProperty(QStringLiteral("sessions_list"), QStringLiteral("List all sessions."),
                  QStringLiteral("sessions-list"), AccessMode::ReadWrite)
    , m_server(server)
{
    connect(server, &CVNApplicationServer::insertedSession, this, &CVNSessionsListProperty::insertedSession);
    connect(server, &CVNApplicationServer::removedSession, this, &CVNSessionsListProperty::removedSession);
}

QString CVNSessionsListProperty::elapsedText(const QDateTime& since, const QDateTime& now)
{
    const qint64 seconds = qMax<qint64>(0, since.secsTo(now));
    const qint64 rest = seconds % 86400;
    return QStringLiteral("%1d, %2h %3m %4s")
        .arg(seconds / 86400)
        .arg(rest / 3600)
        .arg((rest % 3600) / 60)
        .arg(rest % 60);
}

QList<CVNServerSession*> CVNSessionsListProperty::orderedSessions() const
{
    QList<CVNServerSession*> sessions = m_server->sessions().values();
    std::sort(sessions.begin(), sessions.end(), [](CVNServerSession* a, CVNServerSession* b) {
        return a->connectionTime() < b->connectionTime();
    });
    return sessions;
}

QJsonValue CVNSessionsListProperty::value()
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QJsonArray list;
    for (CVNServerSession* session : orderedSessions()) {
        list.append(QJsonObject{
            {QStringLiteral("connection"), session->peerText()},
            {QStringLiteral("Type"), session->clientTypeName()},
            {QStringLiteral("time"), elapsedText(session->connectionTime(), now)},
        });
    }
    return list;
}

QString CVNSessionsListProperty::execute(CVNEntityContext& context)
{
    (void)context;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    QList<QStringList> rows{{QStringLiteral("#"), QStringLiteral("Connection"), QStringLiteral("Type"),
                             QStringLiteral("Time")}};
    int number = 0;
    for (CVNServerSession* session : orderedSessions()) {
        rows.append({QString::number(number++), session->peerText(), session->clientTypeName(),
                     elapsedText(session->connectionTime(), now)});
    }
    int widths[4] = {0, 0, 0, 0};
    for (const QStringList& row : rows)
        for (int column = 0; column < 4; ++column)
            widths[column] = qMax(widths[column], row.at(column).size());

    QString text = name() + QStringLiteral(":\n");
    for (const QStringList& row : rows) {
        // Padded by hand: arg() would also expand "%n" inside the cells.
        for (int column = 0; column < 4; ++column)
            text += QLatin1Char(' ') + row.at(column).leftJustified(widths[column]);
        text += QLatin1Char('\n');
    }
    return text;
}

void CVNSessionsListProperty::setValue(const QJsonValue& value)
{
    (void)value;
}

void CVNSessionsListProperty::insertedSession(CVNServerSession* session)
{
    (void)session;
    notifyChanged();
}

void CVNSessionsListProperty::removedSession(CVNServerSession* session)
{
    (void)session;
    notifyChanged();
}

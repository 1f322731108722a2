#pragma once

#include "interface/entity.h"

#include <QDateTime>
#include <QObject>

class CVNApplicationServer;
class CVNServerSession;

// `sessions_list`: every client session of the service.
class CVNSessionsListProperty : public QObject, public CVNProperty
{
    Q_OBJECT
public:
    explicit CVNSessionsListProperty(CVNApplicationServer* server);

    QString typeName() const override { return QStringLiteral("SessionsList"); }
    QString execute(CVNEntityContext& context) override;
    QString argumentHint() const override { return QString(); }
    void setValue(const QJsonValue& value) override;
    QJsonValue value() override;

    // "%1d, %2h %3m %4s" of the whole seconds from `since` to `now`.
    static QString elapsedText(const QDateTime& since, const QDateTime& now);

public slots:
    void insertedSession(CVNServerSession* session);
    void removedSession(CVNServerSession* session);

private:
    QList<CVNServerSession*> orderedSessions() const;

    CVNApplicationServer* m_server;
};

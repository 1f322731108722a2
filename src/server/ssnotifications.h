#pragma once

#include "interface/entity.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>
#include <QSet>
#include <QString>

class CVNServerSession;

// Value-change subscriptions of one session. Changes are collected and sent
// as one notification document per event-loop turn, each entity once with
// the value it has when the document is built.
class CVNSSNotifications : public QObject, public CVNPropertyObserver
{
    Q_OBJECT
public:
    explicit CVNSSNotifications(CVNServerSession* session);
    ~CVNSSNotifications() override;

    // serial: the device the property belongs to, empty for service and
    // session properties. Registering twice has no further effect.
    void subscribe(CVNProperty* property, const QString& serial);
    void unsubscribe(CVNProperty* property);

    bool isSubscribed(CVNProperty* property) const { return m_subscribed.contains(property); }
    int subscriptionCount() const { return m_subscribed.size(); }

    void propertyChanged(CVNProperty* property) override;
    void propertyDestroyed(CVNProperty* property) override;

public slots:
    void generateNotifications();

private:
    CVNServerSession* m_session;
    QHash<CVNProperty*, QString> m_subscribed;  // property -> device serial
    QList<CVNProperty*> m_pending;              // in order of first change
    QList<CVNProperty*> m_reading;              // batch being built
    bool m_scheduled = false;
};

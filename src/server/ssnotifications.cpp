#include "server/ssnotifications.h"

#include "server/serversession.h"

#include <QJsonArray>
#include <QMetaObject>

CVNSSNotifications::CVNSSNotifications(CVNServerSession* session)
    : QObject(nullptr)
    , m_session(session)
{
}

CVNSSNotifications::~CVNSSNotifications()
{
    for (auto it = m_subscribed.constBegin(); it != m_subscribed.constEnd(); ++it)
        it.key()->removeObserver(this);
}

void CVNSSNotifications::subscribe(CVNProperty* property, const QString& serial)
{
    if (!property || m_subscribed.contains(property))
        return;
    m_subscribed.insert(property, serial);
    property->addObserver(this);
}

void CVNSSNotifications::unsubscribe(CVNProperty* property)
{
    if (!property || !m_subscribed.contains(property))
        return;
    m_subscribed.remove(property);
    m_pending.removeAll(property);
    property->removeObserver(this);
}

void CVNSSNotifications::propertyChanged(CVNProperty* property)
{
    // Reading a value while building a document may report a change of
    // that same value; it is already in the document being built.
    if (!m_subscribed.contains(property) || m_reading.contains(property))
        return;
    if (!m_pending.contains(property))
        m_pending.append(property);
    if (!m_scheduled) {
        m_scheduled = true;
        QMetaObject::invokeMethod(this, &CVNSSNotifications::generateNotifications, Qt::QueuedConnection);
    }
}

void CVNSSNotifications::propertyDestroyed(CVNProperty* property)
{
    m_subscribed.remove(property);
    m_pending.removeAll(property);
    m_reading.removeAll(property);
}

void CVNSSNotifications::generateNotifications()
{
    m_scheduled = false;
    const QList<CVNProperty*> pending = m_pending;
    m_pending.clear();
    m_reading = pending;

    QJsonArray items;
    for (CVNProperty* property : pending) {
        if (!m_subscribed.contains(property))
            continue;  // went away or was unregistered meanwhile
        const QString serial = m_subscribed.value(property);
        // A device locked by another session since the subscription is not
        // reported to this one.
        if (!serial.isEmpty() && !m_session->findDevice(serial))
            continue;
        QJsonObject item{{QStringLiteral("key"), property->name()}, {QStringLiteral("value"), property->value()}};
        if (!serial.isEmpty())
            item.insert(QStringLiteral("device"), serial);
        items.append(item);
    }
    m_reading.clear();
    if (items.isEmpty())
        return;
    m_session->sendDocument(QJsonObject{
        {QStringLiteral("notifications"), QJsonObject{{QStringLiteral("list"), items}}}});
}

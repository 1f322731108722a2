#include "server/ssparsenotifications.h"

#include "interface/deviceinterface.h"
#include "interface/entity.h"
#include "server/serverlimits.h"
#include "server/serversession.h"
#include "server/ssnotifications.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {
const QString kKey = QStringLiteral("key");
const QString kDevice = QStringLiteral("device");

// The property an item names, with the serial of its device (empty for
// service and session properties); none when not reachable.
CVNProperty* resolve(CVNServerSession* session, const QJsonObject& item, QString* serial)
{
    const QString key = item.value(kKey).toString();
    const QString device = item.value(kDevice).toString();
    if (key.isEmpty())
        return nullptr;
    Entity* entity = nullptr;
    if (!device.isEmpty()) {
        CVNDeviceInterface* view = session->findDevice(device);
        entity = view ? view->entity(key) : nullptr;
        *serial = device;
    } else {
        entity = session->lookupProperty(key, serial);
    }
    if (!entity || entity->kind() != Entity::PropertyKind)
        return nullptr;
    return static_cast<CVNProperty*>(entity);
}

QJsonArray handle(CVNServerSession* session, const QJsonArray& items, bool subscribe)
{
    QJsonArray answers;
    const int count = qMin(items.size(), CVNServerLimits::kMaxNotificationItems);
    for (int i = 0; i < count; ++i) {
        const QJsonObject item = items.at(i).toObject();
        QString serial;
        CVNProperty* property = resolve(session, item, &serial);
        QJsonObject answer{{kKey, item.value(kKey)}};
        if (subscribe) {
            if (property) {
                session->notifications()->subscribe(property, serial);
                answer.insert(QStringLiteral("value"), QStringLiteral("registered"));
            } else {
                answer.insert(QStringLiteral("error"), QStringLiteral("key not found"));
            }
        } else {
            session->notifications()->unsubscribe(property);
            answer.insert(QStringLiteral("value"), QStringLiteral("unregistered"));
        }
        answers.append(answer);
    }
    return answers;
}
} // namespace

QJsonValue CVNSSParseNotifications::parse(const QJsonValue& request, CVNServerSession* session)
{
    const QJsonObject action = request.toObject();
    QJsonObject answer{{QStringLiteral("id"), action.value(QStringLiteral("id"))}, {kKey, key()}};
    if (action.contains(QStringLiteral("register")))
        answer.insert(QStringLiteral("register"),
                      handle(session, action.value(QStringLiteral("register")).toArray(), true));
    if (action.contains(QStringLiteral("unregister")))
        answer.insert(QStringLiteral("unregister"),
                      handle(session, action.value(QStringLiteral("unregister")).toArray(), false));
    return answer;
}

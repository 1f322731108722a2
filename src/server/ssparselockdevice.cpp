#include "server/ssparselockdevice.h"

#include "interface/deviceinterface.h"
#include "server/applicationserver.h"
#include "server/devicelistproperty.h"
#include "server/serversession.h"

#include <QJsonObject>

QJsonValue CVNSSParseLockDevice::parse(const QJsonValue& request, CVNServerSession* session)
{
    const QJsonObject action = request.toObject();
    CVNApplicationServer* server = session->server();
    CVNDeviceInterface* device = session->findDevice(action.value(QStringLiteral("device")).toString());
    const QString word = action.value(QStringLiteral("value")).toString();
    QJsonObject inner;
    if (!device || !device->device()) {
        inner.insert(QStringLiteral("value"), QStringLiteral("not_found"));
    } else if (word == QLatin1String("lock") && !server->isLocked(device->device())) {
        server->lockDevice(device->device(), session);
        server->devicesListEntity()->notifyChanged();
        inner.insert(QStringLiteral("value"), QStringLiteral("locked"));
    } else if (word == QLatin1String("unlock") && server->isLocked(device->device())) {
        server->unlockDevice(device->device());
        server->devicesListEntity()->notifyChanged();
        inner.insert(QStringLiteral("value"), QStringLiteral("unlocked"));
    }
    return actionAnswer(action, key(), inner);
}

#include "server/ssparseinterfacelist.h"

#include "device/device.h"
#include "interface/deviceinterface.h"
#include "interface/deviceinterfaceview.h"
#include "server/serversession.h"

#include <QJsonArray>
#include <QJsonObject>

QJsonValue CVNSSParseInterfaceList::parse(const QJsonValue& request, CVNServerSession* session)
{
    const QJsonObject action = request.toObject();
    QJsonArray names;
    CVNDeviceInterface* device = session->findDevice(action.value(QStringLiteral("device")).toString());
    if (device && device->device() && session->grants().value(device->device()->serialNumber(), false)) {
        CVNDeviceInterface* root = device->parentInterface() ? device->parentInterface() : device;
        QStringList viewNames = root->viewNames();
        viewNames.sort();
        for (const QString& name : viewNames)
            names.append(name);
    }
    return actionAnswer(action, key(), names);
}

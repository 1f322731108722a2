#include "server/ssparseinterfaceview.h"

#include "device/device.h"
#include "interface/deviceinterface.h"
#include "interface/deviceinterfaceview.h"
#include "interface/entity.h"
#include "server/serversession.h"

#include <QJsonObject>

QJsonArray CVNSSParseInterfaceView::viewValue(CVNServerSession* session, CVNDeviceInterface* device,
                                              const QString& viewName)
{
    QJsonArray list;
    if (!device || !device->device())
        return list;
    if (viewName == device->name()) {
        for (const QString& name : device->entityNames()) {
            if (Entity* entity = device->entity(name))
                list.append(entity->describe());
        }
        return list;
    }
    CVNDeviceInterface* root = device->parentInterface() ? device->parentInterface() : device;
    CVNDeviceInterface* view = root->view(viewName);
    if (!view || !session->canAccessView(device->device()->serialNumber(), viewName))
        return list;
    for (const QString& name : view->entityNames())
        list.append(name);
    return list;
}

QJsonValue CVNSSParseInterfaceView::parse(const QJsonValue& request, CVNServerSession* session)
{
    const QJsonObject action = request.toObject();
    const QString viewName = action.value(QStringLiteral("view")).toString();
    CVNDeviceInterface* device = session->findDevice(action.value(QStringLiteral("device")).toString());
    QJsonObject answer = actionAnswer(action, key(), viewValue(session, device, viewName));
    answer.insert(QStringLiteral("view"), action.value(QStringLiteral("view")));
    return answer;
}

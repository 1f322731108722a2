#include "server/ssparsedevicesall.h"

#include "device/device.h"
#include "device/devicemanager.h"
#include "interface/deviceinterface.h"
#include "server/applicationserver.h"
#include "server/serversession.h"
#include "server/ssparseinterfaceview.h"

#include <QJsonArray>
#include <QJsonObject>

QJsonValue CVNSSParseDevicesAll::parse(const QJsonValue& request, CVNServerSession* session)
{
    QJsonArray devices;
    CVNApplicationServer* server = session->server();
    for (CVNDeviceParent* parent : server->deviceManager()->devices()) {
        for (CVNDeviceDesc* descriptor : parent->descriptors()) {
            CVNDeviceInterface* view = session->findDevice(descriptor->serialNumber());
            // Only the descriptor whose view the session holds for this serial.
            if (!view || view->device() != descriptor)
                continue;
            // Built with append: a braced QJsonArray around an array would be
            // that array itself for some compilers, not an array holding it.
            QJsonArray views;
            views.append(CVNSSParseInterfaceView::viewValue(session, view, view->name()));
            devices.append(QJsonObject{
                {QStringLiteral("serial_number"), descriptor->serialNumber()},
                {QStringLiteral("product_id"), int(descriptor->productType())},
                {QStringLiteral("product_name"), descriptor->productName()},
                {QStringLiteral("device_type"), deviceKindText(descriptor->kind())},
                {QStringLiteral("version"), descriptor->firmwareVersion()},
                // One element: what "device-interface-view" answers for the
                // session's current view of the device.
                {QStringLiteral("views"), views},
            });
        }
    }
    return actionAnswer(request.toObject(), key(), devices);
}

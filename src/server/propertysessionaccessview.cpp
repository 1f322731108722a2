#include "server/propertysessionaccessview.h"

#include "device/device.h"
#include "interface/accessmode.h"
#include "interface/deviceinterface.h"
#include "interface/deviceinterfaceview.h"
#include "server/serverlimits.h"
#include "server/serversession.h"

#include <QJsonArray>
#include <QJsonObject>

PropertySessionAccessView::PropertySessionAccessView(CVNServerSession* session)
    : CVNProperty(QStringLiteral("sessiondeviceview"),
                  QStringLiteral("Change device view (properties to access) to current session"),
                  QStringLiteral("session-device-view"), AccessMode::ReadWrite)
    , m_session(session)
{
}

QJsonValue PropertySessionAccessView::value()
{
    QStringList serials = m_session->devices().keys();
    serials.sort();
    QJsonArray list;
    for (const QString& serial : serials) {
        CVNDeviceInterface* view = m_session->devices().value(serial);
        list.append(QJsonObject{{QStringLiteral("device"), serial},
                                {QStringLiteral("view"), view ? view->name() : QString()}});
    }
    return list;
}

void PropertySessionAccessView::setValue(const QJsonValue& value)
{
    const QJsonArray list = value.toArray();
    bool changed = false;
    const int count = qMin(list.size(), CVNServerLimits::kMaxNotificationItems);
    for (int i = 0; i < count; ++i) {
        const QJsonObject item = list.at(i).toObject();
        changed |= m_session->setDeviceView(item.value(QStringLiteral("device")).toString(),
                                            item.value(QStringLiteral("view")).toString());
    }
    if (changed)
        notifyChanged();
}

QString PropertySessionAccessView::execute(CVNEntityContext& context)
{
    CVNDeviceInterface* selected = m_session->findDevice(QString());
    if (!selected || !selected->device())
        return QStringLiteral("device not found");
    const QString serial = selected->device()->serialNumber();
    const QString viewName = context.arguments.isEmpty() ? selected->name() : context.arguments.first();
    bool switched = true;
    if (!context.arguments.isEmpty() && viewName != selected->name()) {
        switched = m_session->setDeviceView(serial, viewName);
        if (switched)
            notifyChanged();
    }
    return QStringLiteral("view \"%1\" %2").arg(viewName, switched ? QStringLiteral("selected")
                                                                   : QStringLiteral("not selected"));
}

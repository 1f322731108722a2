#pragma once

#include "server/ssparsedocument.h"

#include <QJsonArray>

class CVNDeviceInterface;

// The "device-interface-view" action: the entities of one view of a device.
class CVNSSParseInterfaceView : public CVNSSParseBase
{
public:
    QJsonValue parse(const QJsonValue& request, CVNServerSession* session) override;
    QString key() const override { return QStringLiteral("device-interface-view"); }

    // The entity descriptions of the session's current view when viewName
    // names it; the entity names of another view the session may use; else
    // an empty array.
    static QJsonArray viewValue(CVNServerSession* session, CVNDeviceInterface* device, const QString& viewName);
};

#pragma once

#include "server/ssparsedocument.h"

// The "device-interface-list" action: the view names of a device, once granted.
class CVNSSParseInterfaceList : public CVNSSParseBase
{
public:
    QJsonValue parse(const QJsonValue& request, CVNServerSession* session) override;
    QString key() const override { return QStringLiteral("device-interface-list"); }
};

#pragma once

#include "server/ssparsedocument.h"

// The "devices_all" action: every device descriptor the session can use, with its current view.
class CVNSSParseDevicesAll : public CVNSSParseBase
{
public:
    QJsonValue parse(const QJsonValue& request, CVNServerSession* session) override;
    QString key() const override { return QStringLiteral("devices_all"); }
};

#pragma once

#include "server/ssparsedocument.h"

// The "notifications" action: registers and unregisters value-change subscriptions.
class CVNSSParseNotifications : public CVNSSParseBase
{
public:
    QJsonValue parse(const QJsonValue& request, CVNServerSession* session) override;
    QString key() const override { return QStringLiteral("notifications"); }
};

#pragma once

#include "server/ssparsedocument.h"

// The "device_lock" action: locks a device for this session or unlocks it.
class CVNSSParseLockDevice : public CVNSSParseBase
{
public:
    QJsonValue parse(const QJsonValue& request, CVNServerSession* session) override;
    QString key() const override { return QStringLiteral("device_lock"); }
};

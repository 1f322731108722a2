#pragma once

#include "server/ssparsedocument.h"

// The "version" action: the session's version text.
class CVNSSParseActionVersion : public CVNSSParseBase
{
public:
    QJsonValue parse(const QJsonValue& request, CVNServerSession* session) override;
    QString key() const override { return QStringLiteral("version"); }
};

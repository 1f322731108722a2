#pragma once

#include "server/ssparsedocument.h"

// The "help" action: the session's help table in its JSON form.
class CVNSSParseActionHelp : public CVNSSParseBase
{
public:
    QJsonValue parse(const QJsonValue& request, CVNServerSession* session) override;
    QString key() const override { return QStringLiteral("help"); }
};

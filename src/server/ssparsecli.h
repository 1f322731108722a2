#pragma once

#include "server/ssparsedocument.h"

// The "cli" request: {"parser": [option objects]} run through the session's
// executers; answered with the printed lines, the options left and the
// status name of the last result.
class CVNSSParseCLI : public CVNSSParseBase
{
public:
    QJsonValue parse(const QJsonValue& request, CVNServerSession* session) override;
    QString key() const override { return QStringLiteral("cli"); }
};

#pragma once

#include "server/ssparsedocument.h"

class CVNPendingOptionList;

// The "cli" request: {"parser": [option objects]} run through the session's
// executers; answered with the printed lines, the options left and the
// status name of the last result.
class CVNSSParseCLI : public CVNSSParseBase
{
public:
    // An option whose result comes later leaves the answer to the session,
    // which completes it (an undefined value stands in for it meanwhile).
    QJsonValue parse(const QJsonValue& request, CVNServerSession* session) override;
    QString key() const override { return QStringLiteral("cli"); }

    // {"output": lines of `output`, "parser": the options left, "status": name of `result`}
    static QJsonObject answer(const QString& output, const CVNPendingOptionList& options, int result);
};

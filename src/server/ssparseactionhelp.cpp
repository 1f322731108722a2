#include "server/ssparseactionhelp.h"

#include "cli/helptable.h"
#include "server/serversession.h"

QJsonValue CVNSSParseActionHelp::parse(const QJsonValue& request, CVNServerSession* session)
{
    return actionAnswer(request.toObject(), key(), CVNHelp::toJson(session->helpTable()));
}

#include "server/ssparseactionversion.h"

#include "server/serversession.h"

QJsonValue CVNSSParseActionVersion::parse(const QJsonValue& request, CVNServerSession* session)
{
    return actionAnswer(request.toObject(), key(), session->versionText());
}

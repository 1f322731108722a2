#include "server/propertyportaltoken.h"

#include "interface/accessmode.h"
#include "server/applicationserver.h"
#include "server/propertyurl.h"
#include "server/serverlimits.h"
#include "server/serverlogging.h"
#include "server/serversession.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QUrlQuery>

namespace {
// The token that a reply checks travels with the reply, never in the log.
const char* const kTokenProperty = "corvaneToken";
}

PropertyPortalToken::PropertyPortalToken(CVNServerSession* session)
    : QObject(nullptr)
    , CVNProperty(QStringLiteral("settoken"), QStringLiteral("Insert token to communicate with API"), QString(),
                  AccessMode::ReadWrite)
    , m_session(session)
{
}

PropertyPortalToken::~PropertyPortalToken()
{
    const QSet<QNetworkReply*> replies = m_replies;
    m_replies.clear();
    for (QNetworkReply* reply : replies) {
        reply->disconnect(this);
        reply->abort();
        reply->deleteLater();
    }
}

QString PropertyPortalToken::execute(CVNEntityContext& context)
{
    if (!context.arguments.isEmpty())
        setValue(context.arguments.first());
    return m_status;
}

void PropertyPortalToken::setValue(const QJsonValue& value)
{
    if (!value.isString())
        return;
    const QString token = value.toString();
    if (token.size() > CVNServerLimits::kMaxTokenLength) {
        setStatus(QStringLiteral("invalid"));
        return;
    }
    m_token = token;
    setStatus(QStringLiteral("verifying"));
    for (const QString& serial : m_session->devices().keys())
        checkToken(serial, token);
}

void PropertyPortalToken::checkToken(const QString& serialNumber, const QString& token)
{
    CVNApplicationServer* server = m_session->server();
    auto* portal = dynamic_cast<PropertyUrl*>(server->entity(QStringLiteral("portal_url")));
    if (!portal || !server->networkAccess())
        return;
    if (m_replies.size() >= CVNServerLimits::kMaxPendingTokenChecks) {
        qCWarning(lcServer) << "too many portal checks running; check dropped for" << serialNumber;
        return;
    }
    QUrl url(portal->url().toString() + QStringLiteral("/status/token/write"));
    QUrlQuery query;
    query.addQueryItem(QStringLiteral("serial"), serialNumber);
    url.setQuery(query);

    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setRawHeader("Authorization", token.toUtf8());
    QNetworkReply* reply = server->networkAccess()->get(request);
    reply->setProperty(kTokenProperty, token);
    m_replies.insert(reply);
    connect(reply, &QNetworkReply::finished, this, &PropertyPortalToken::validateTokenResponse);
    connect(reply, &QNetworkReply::errorOccurred, this,
            &PropertyPortalToken::validateTokenError);
}

QString PropertyPortalToken::statusText(int httpStatus)
{
    switch (httpStatus) {
    case 0: return QStringLiteral("invalid");
    case 200: return QStringLiteral("valid access");
    case 403: return QStringLiteral("Forbidden");
    case 404: return QStringLiteral("Device not found");
    default: return QStringLiteral("Unauthorized access");
    }
}

QString PropertyPortalToken::serialOf(QNetworkReply* reply)
{
    return QUrlQuery(reply->request().url()).queryItemValue(QStringLiteral("serial"), QUrl::FullyDecoded);
}

void PropertyPortalToken::validateTokenResponse()
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply || !m_replies.contains(reply))
        return;
    forget(reply);
    const QVariant code = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    // A transport failure without any HTTP answer was reported by
    // validateTokenError already; it stays "error".
    if (!code.isValid() && reply->error() != QNetworkReply::NoError)
        return;
    const QString serial = serialOf(reply);
    const int status = code.isValid() ? code.toInt() : 0;
    if (status == 200) {
        m_session->setPortalToken(reply->property(kTokenProperty).toString());
        m_session->setGrant(serial, true);
    } else {
        m_session->setGrant(serial, false);
    }
    setStatus(statusText(status));
}

void PropertyPortalToken::validateTokenError(QNetworkReply::NetworkError code)
{
    auto* reply = qobject_cast<QNetworkReply*>(sender());
    if (!reply || !m_replies.contains(reply))
        return;
    // HTTP error statuses also arrive here first; the status mapping of the
    // finished reply decides those.
    if (reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid())
        return;
    qCDebug(lcServer) << "portal check failed:" << code;
    m_session->setGrant(serialOf(reply), false);
    setStatus(QStringLiteral("error"));
    reply->deleteLater();
}

void PropertyPortalToken::forget(QNetworkReply* reply)
{
    m_replies.remove(reply);
    reply->deleteLater();
}

void PropertyPortalToken::setStatus(const QString& status)
{
    m_status = status;
    notifyChanged();
}

#pragma once

#include "interface/entity.h"

#include <QNetworkReply>
#include <QObject>
#include <QSet>

class CVNServerSession;

// `settoken`: takes a portal token and checks it with the portal, once per
// device of the session. A device whose check answers 200 is granted the
// views beyond the open ones.
class PropertyPortalToken : public QObject, public CVNProperty
{
    Q_OBJECT
public:
    explicit PropertyPortalToken(CVNServerSession* session);
    ~PropertyPortalToken() override;

    QString typeName() const override { return QStringLiteral("setToken"); }
    QString execute(CVNEntityContext& context) override;
    QString argumentHint() const override { return QStringLiteral("token"); }
    void setValue(const QJsonValue& value) override;
    QJsonValue value() override { return m_status; }

    QString status() const { return m_status; }
    // Sends one check of the token for the device to the portal.
    void checkToken(const QString& serialNumber, const QString& token);
    int pendingChecks() const { return m_replies.size(); }

    // The status text of an HTTP status code (0: none).
    static QString statusText(int httpStatus);

public slots:
    void validateTokenResponse();
    void validateTokenError(QNetworkReply::NetworkError code);

private:
    void setStatus(const QString& status);
    static QString serialOf(QNetworkReply* reply);
    void forget(QNetworkReply* reply);

    CVNServerSession* m_session;
    QString m_token;
    QString m_status;
    QSet<QNetworkReply*> m_replies;
};

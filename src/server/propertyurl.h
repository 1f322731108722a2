#pragma once

#include "interface/entity.h"

#include <QUrl>

// A URL-valued service property (`portal_url`).
class PropertyUrl : public CVNProperty
{
public:
    PropertyUrl(const QString& name, const QString& description, const QString& command, const QUrl& url);

    QString typeName() const override { return QStringLiteral("Url"); }
    // With a value: "property is not writable", "invalid url", or the URL is
    // set; then the URL, or "property is not readable".
    QString execute(CVNEntityContext& context) override;
    QString argumentHint() const override { return QStringLiteral("url"); }
    // Stores any string without checking it; other JSON types are ignored.
    void setValue(const QJsonValue& value) override;
    QJsonValue value() override;

    QUrl url() const { return m_url; }
    void setUrl(const QUrl& url);

    // An absolute URL with a scheme and a host.
    static bool isUsableUrl(const QString& text);

private:
    QUrl m_url;
};

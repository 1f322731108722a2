#include "server/propertyurl.h"

#include "interface/accessmode.h"
#include "server/serverlimits.h"

PropertyUrl::PropertyUrl(const QString& name, const QString& description, const QString& command, const QUrl& url)
    : CVNProperty(name, description, command, AccessMode::ReadWrite)
    , m_url(url)
{
}

bool PropertyUrl::isUsableUrl(const QString& text)
{
    const QUrl url(text, QUrl::StrictMode);
    return url.isValid() && !url.scheme().isEmpty() && !url.host().isEmpty();
}

QString PropertyUrl::execute(CVNEntityContext& context)
{
    if (!context.arguments.isEmpty()) {
        if (!isWritable())
            return QStringLiteral("property is not writable");
        const QString text = context.arguments.first();
        if (!isUsableUrl(text))
            return QStringLiteral("invalid url");
        setUrl(QUrl(text));
    }
    if (!isReadable())
        return QStringLiteral("property is not readable");
    return m_url.toString();
}

void PropertyUrl::setValue(const QJsonValue& value)
{
    if (!isWritable() || !value.isString() || value.toString().size() > CVNServerLimits::kMaxTokenLength)
        return;
    setUrl(QUrl(value.toString()));
}

QJsonValue PropertyUrl::value()
{
    return m_url.toString();
}

void PropertyUrl::setUrl(const QUrl& url)
{
    if (url == m_url)
        return;
    m_url = url;
    notifyChanged();
}

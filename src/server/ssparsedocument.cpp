#include "server/ssparsedocument.h"

#include "server/serverlimits.h"
#include "server/ssparseactions.h"
#include "server/ssparsecli.h"

QJsonObject CVNSSParseBase::actionAnswer(const QJsonObject& action, const QString& key, const QJsonValue& value)
{
    return QJsonObject{{QStringLiteral("id"), action.value(QStringLiteral("id"))},
                       {QStringLiteral("key"), key},
                       {QStringLiteral("value"), value}};
}

void CVNSSParserTable::add(std::unique_ptr<CVNSSParseBase> parser)
{
    const QString key = parser->key();
    if (!m_parsers.contains(key))
        m_order.append(key);
    m_parsers.insert(key, std::shared_ptr<CVNSSParseBase>(std::move(parser)));
}

CVNSSParseBase* CVNSSParserTable::find(const QString& key) const
{
    return m_parsers.value(key).get();
}

CVNSSParseDocument::CVNSSParseDocument()
{
    m_parsers.add(std::make_unique<CVNSSParseCLI>());
    m_parsers.add(std::make_unique<CVNSSParseActions>());
}

QJsonObject CVNSSParseDocument::parse(const QJsonDocument& request, CVNServerSession* session) const
{
    return parse(request.isObject() ? request.object() : QJsonObject(), session);
}

QJsonObject CVNSSParseDocument::parse(const QJsonObject& request, CVNServerSession* session) const
{
    if (request.isEmpty())
        return QJsonObject{{QStringLiteral("error"), QStringLiteral("Request is empty")}};

    // QJsonObject iterates in ascending key order: "actions" before "cli".
    QJsonObject response;
    int handled = 0;
    for (auto it = request.constBegin(); it != request.constEnd(); ++it) {
        if (++handled > CVNServerLimits::kMaxRequestKeys)
            break;
        CVNSSParseBase* parser = m_parsers.find(it.key());
        if (!parser) {
            response.insert(it.key(), QStringLiteral("key not found"));
            continue;
        }
        response.insert(parser->responseKey(), parser->parse(it.value(), session));
    }
    return response;
}

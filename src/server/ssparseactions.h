#pragma once

#include "server/ssparsedocument.h"

#include <QJsonObject>

class Entity;

// The "actions" request: {"list": [action objects]} answered as
// "reactions": {"list": [answers]}, one answer per action, in order. Actions
// beyond the limits of serverlimits.h are answered as refused, not run.
class CVNSSParseActions : public CVNSSParseBase
{
public:
    CVNSSParseActions();

    QJsonValue parse(const QJsonValue& request, CVNServerSession* session) override;
    QString key() const override { return QStringLiteral("actions"); }
    QString responseKey() const override { return QStringLiteral("reactions"); }

    // One action object to its answer.
    QJsonObject parseAction(const QJsonObject& action, CVNServerSession* session);

    // Runs an entity for an action: a function is called with "arguments",
    // a property is written with a non-null "value", then read. A write
    // that did not take effect leaves why in `refusal` (the answer's "error").
    static QJsonValue executeEntity(Entity* entity, const QJsonObject& action, QString* refusal = nullptr);
    static QJsonObject notFound(const QJsonObject& action);
    // The answer of an action that was not run because the request asked
    // for too much: {"key", "id", "error": "action refused: " reason}.
    static QJsonObject refused(const QJsonObject& action, const QString& reason);

private:
    CVNSSParserTable m_actions;
};

#pragma once

#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <QStringList>

#include <memory>

class CVNServerSession;

// One handler of a request key: the "cli" and "actions" requests of a
// document, and each named action inside "actions".
class CVNSSParseBase
{
public:
    virtual ~CVNSSParseBase() = default;
    // Answers one request value for the session. Never fails: malformed
    // input gets an answer that says so.
    virtual QJsonValue parse(const QJsonValue& request, CVNServerSession* session) = 0;
    virtual QString key() const = 0;
    virtual QString responseKey() const { return key(); }

protected:
    // {"id": the action's id, "key": key, "value": value}
    static QJsonObject actionAnswer(const QJsonObject& action, const QString& key, const QJsonValue& value);
};

// A set of parsers keyed by request key, in registration order.
class CVNSSParserTable
{
public:
    void add(std::unique_ptr<CVNSSParseBase> parser);
    CVNSSParseBase* find(const QString& key) const;
    QStringList keys() const { return m_order; }

private:
    QHash<QString, std::shared_ptr<CVNSSParseBase>> m_parsers;
    QStringList m_order;
};

// Turns one request document into its response document. Shared by every
// session; holds no per-request state.
class CVNSSParseDocument
{
public:
    CVNSSParseDocument();

    // A top level that is not an object counts as an empty object.
    QJsonObject parse(const QJsonDocument& request, CVNServerSession* session) const;
    QJsonObject parse(const QJsonObject& request, CVNServerSession* session) const;

private:
    CVNSSParserTable m_parsers;
};

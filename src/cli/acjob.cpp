#include "cli/acjob.h"

#include "cli/optionresult.h"

#include "cli/applicationclient.h"
#include "com/comconnection.h"

#include <QJsonArray>

CVNACJob::CVNACJob(CVNApplicationClient& client)
    : m_client(client)
{
}

void CVNACJob::sendRequest(CVNComConnection& connection)
{
    connection.writeDocument(request());
    connection.flush();
}

void CVNACJob::finish()
{
    m_client.reportOptions(m_result);
}

void CVNACJob::print(const QString& text)
{
    m_client.print(text);
}

CVNPendingOptionList* CVNACJob::pendingOptions() const
{
    return m_client.pendingOptions();
}

void CVNACJob::reportHelp(const CVNHelpTable& serviceTable)
{
    m_client.reportHelp(m_result, serviceTable);
}

void CVNACJob::reportVersion(const QString& serviceText)
{
    m_client.reportVersion(m_result, serviceText);
}

QJsonObject CVNACJob::actionRequest(const QString& key)
{
    const QJsonObject action{ { QStringLiteral("key"), key } };
    const QJsonObject actions{ { QStringLiteral("list"), QJsonArray{ action } } };
    return QJsonObject{ { QStringLiteral("actions"), actions } };
}

CVNACJob::Answer CVNACJob::takeActionValue(const QJsonObject& response, QJsonValue& value)
{
    QJsonObject reaction;
    if (!firstReaction(response, reaction))
        return Answer::Ignored;
    if (reaction.contains(QStringLiteral("error"))) {
        print(QStringLiteral("Error: ") + reaction.value(QStringLiteral("error")).toString() + QLatin1Char('\n'));
        setResult(CVNOptionResult::Error);
        return Answer::Done;
    }
    value = reaction.value(QStringLiteral("value"));
    setResult(CVNOptionResult::Processed);
    return Answer::Done;
}

bool CVNACJob::firstReaction(const QJsonObject& response, QJsonObject& reaction)
{
    const QJsonValue reactions = response.value(QStringLiteral("reactions"));
    if (!reactions.isObject())
        return false;
    const QJsonArray list = reactions.toObject().value(QStringLiteral("list")).toArray();
    if (list.isEmpty() || !list.first().isObject())
        return false;
    reaction = list.first().toObject();
    return true;
}

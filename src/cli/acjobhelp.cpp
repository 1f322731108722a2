#include "cli/acjobhelp.h"

#include "cli/optionresult.h"

QJsonObject CVNACJobHelp::request() const
{
    return actionRequest(QStringLiteral("help"));
}

CVNACJob::Answer CVNACJobHelp::handleResponse(const QJsonObject& response)
{
    QJsonObject reaction;
    if (!firstReaction(response, reaction))
        return Answer::Ignored;
    if (reaction.contains(QStringLiteral("error"))) {
        print(QStringLiteral("Error: ") + reaction.value(QStringLiteral("error")).toString() + QLatin1Char('\n'));
        setResult(CVNOptionResult::Error);
        return Answer::Done;
    }
    CVNHelp::appendFromJson(m_table, reaction.value(QStringLiteral("value")).toArray());
    setResult(CVNOptionResult::Processed);
    return Answer::Done;
}

void CVNACJobHelp::timeout()
{
    print(QStringLiteral("No service found\n"));
    setResult(CVNOptionResult::Processed);
}

void CVNACJobHelp::finish()
{
    reportHelp(m_table);
}

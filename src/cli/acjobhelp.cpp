#include "cli/acjobhelp.h"

#include "cli/optionresult.h"

QJsonObject CVNACJobHelp::request() const
{
    return actionRequest(QStringLiteral("help"));
}

CVNACJob::Answer CVNACJobHelp::handleResponse(const QJsonObject& response)
{
    QJsonValue value;
    const Answer answer = takeActionValue(response, value);
    if (answer == Answer::Done)
        CVNHelp::appendFromJson(m_table, value.toArray());
    return answer;
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

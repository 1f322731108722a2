#include "cli/acjobversion.h"

#include "cli/optionresult.h"

QJsonObject CVNACJobVersion::request() const
{
    return actionRequest(QStringLiteral("version"));
}

CVNACJob::Answer CVNACJobVersion::handleResponse(const QJsonObject& response)
{
    QJsonValue value;
    const Answer answer = takeActionValue(response, value);
    if (answer == Answer::Done)
        m_text = value.toString();
    return answer;
}

void CVNACJobVersion::timeout()
{
    print(QStringLiteral("No service found\n"));
    setResult(CVNOptionResult::Processed);
}

void CVNACJobVersion::finish()
{
    reportVersion(m_text);
}

#include "cli/acjobversion.h"

#include "cli/optionresult.h"

QJsonObject CVNACJobVersion::request() const
{
    return actionRequest(QStringLiteral("version"));
}

CVNACJob::Answer CVNACJobVersion::handleResponse(const QJsonObject& response)
{
    QJsonObject reaction;
    if (!firstReaction(response, reaction))
        return Answer::Ignored;
    if (reaction.contains(QStringLiteral("error"))) {
        print(QStringLiteral("Error: ") + reaction.value(QStringLiteral("error")).toString() + QLatin1Char('\n'));
        setResult(CVNOptionResult::Error);
        return Answer::Done;
    }
    m_text = reaction.value(QStringLiteral("value")).toString();
    setResult(CVNOptionResult::Processed);
    return Answer::Done;
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

#include "cli/hostpingjob.h"

#include "cli/optionresult.h"
#include "com/comconnection.h"

QJsonObject HostPingJob::request() const
{
    return actionRequest(QStringLiteral("ping"));
}

void HostPingJob::sendRequest(CVNComConnection& connection)
{
    m_host = connection.endpoint().host();
    m_stopwatch.start();
    CVNACJob::sendRequest(connection);
}

CVNACJob::Answer HostPingJob::handleResponse(const QJsonObject& response)
{
    QJsonObject reaction;
    if (!firstReaction(response, reaction))
        return Answer::Ignored;
    print(QStringLiteral("Host %1 is alive. Time=%2ms\n").arg(m_host).arg(m_stopwatch.elapsed()));
    setResult(CVNOptionResult::Processed);
    return Answer::Done;
}

void HostPingJob::timeout()
{
    print(m_host.isEmpty() ? QStringLiteral("No service found\n") : QStringLiteral("Service timeout\n"));
    setResult(CVNOptionResult::Error);
}

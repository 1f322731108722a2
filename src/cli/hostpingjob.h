#pragma once

#include "cli/acjob.h"

#include <QElapsedTimer>

// Tests that the current service answers: reads its "ping" entity and
// prints the round-trip time.
class HostPingJob : public CVNACJob
{
public:
    using CVNACJob::CVNACJob;

    QJsonObject request() const override;
    void sendRequest(CVNComConnection& connection) override;
    [[nodiscard]] Answer handleResponse(const QJsonObject& response) override;
    void timeout() override;

private:
    QElapsedTimer m_stopwatch;
    QString m_host;
};

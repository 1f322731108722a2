#pragma once

#include "cli/acjob.h"

// Asks the service session for its version text (the "version" action).
class CVNACJobVersion : public CVNACJob
{
public:
    using CVNACJob::CVNACJob;

    Purpose purpose() const override { return Purpose::Version; }
    QJsonObject request() const override;
    [[nodiscard]] Answer handleResponse(const QJsonObject& response) override;
    // Prints "No service found"; the local version is still answered.
    void timeout() override;
    void finish() override;

private:
    QString m_text;
};

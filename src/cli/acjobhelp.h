#pragma once

#include "cli/acjob.h"

// Asks the service for its help table (the "help" action).
class CVNACJobHelp : public CVNACJob
{
public:
    using CVNACJob::CVNACJob;

    Purpose purpose() const override { return Purpose::Help; }
    QJsonObject request() const override;
    [[nodiscard]] Answer handleResponse(const QJsonObject& response) override;
    // Prints "No service found"; the local help is still answered.
    void timeout() override;
    void finish() override;

private:
    CVNHelpTable m_table;
};

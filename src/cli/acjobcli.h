#pragma once

#include "cli/acjob.h"

// Sends the pending options to the service as a "cli" request, prints the
// output lines of the answer and takes back the options left unconsumed.
// When the service asks for file operations they are carried out here and
// the request is repeated with the filled file table.
class CVNACJobCli : public CVNACJob
{
public:
    // Rounds of file operations one command may ask for; a service that keeps
    // asking beyond this is not making progress.
    static constexpr int kMaxFileOperationRounds = 8;

    using CVNACJob::CVNACJob;

    QJsonObject request() const override;
    [[nodiscard]] Answer handleResponse(const QJsonObject& response) override;
    void timeout() override;

private:
    void printOutput(const QJsonArray& lines);
    [[nodiscard]] Answer carryOutFiles();

    int m_fileRounds = 0;
};

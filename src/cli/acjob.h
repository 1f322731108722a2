#pragma once

#include "cli/helptable.h"

#include <QJsonObject>
#include <QString>

class CVNApplicationClient;
class CVNComConnection;
class CVNPendingOptionList;
class QTextStream;

// One request of the command-line client to the service and the handling of
// its answer. The client owns the current job, sends it when a connection
// is current and hands it every complete answer document.
class CVNACJob
{
public:
    // What an answer did to the job.
    enum class Answer {
        Ignored,  // not this job's answer; keep waiting
        Repeat,   // send the request again (files were carried out)
        Done,     // finished; result() holds the code
    };
    // Whom the job's end is reported to.
    enum class Purpose { Options, Help, Version };

    explicit CVNACJob(CVNApplicationClient& client);
    virtual ~CVNACJob() = default;

    CVNACJob(const CVNACJob&) = delete;
    CVNACJob& operator=(const CVNACJob&) = delete;

    virtual Purpose purpose() const { return Purpose::Options; }
    // The request document.
    virtual QJsonObject request() const = 0;
    // Writes the request on the connection.
    virtual void sendRequest(CVNComConnection& connection);
    [[nodiscard]] virtual Answer handleResponse(const QJsonObject& response) = 0;
    // No answer in time: prints the job's message and sets the result.
    virtual void timeout() = 0;
    // Reports the result to whoever waits for this job.
    virtual void finish();

    int result() const { return m_result; }
    void setResult(int result) { m_result = result; }

protected:
    CVNApplicationClient& client() { return m_client; }
    void print(const QString& text);
    CVNPendingOptionList* pendingOptions() const;
    // Completion for the help and version jobs.
    void reportHelp(const CVNHelpTable& serviceTable);
    void reportVersion(const QString& serviceText);

    // {"actions": {"list": [{"key": key}]}}
    static QJsonObject actionRequest(const QString& key);
    // The first element of "list" in "reactions"; false when there is none.
    [[nodiscard]] static bool firstReaction(const QJsonObject& response, QJsonObject& reaction);
    // Handles the answer to actionRequest(): Ignored when it is none; an
    // "error" member is printed and ends the job with Error; otherwise the
    // first reaction's "value" is handed out and the job is Processed.
    [[nodiscard]] Answer takeActionValue(const QJsonObject& response, QJsonValue& value);

private:
    CVNApplicationClient& m_client;
    int m_result = 0;
};

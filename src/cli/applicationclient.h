#pragma once

#include "cli/commandlinecontext.h"
#include "cli/commandlineexecuter.h"
#include "com/commanager.h"
#include "com/documentbuffer.h"

#include <QAbstractSocket>
#include <QJsonObject>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTextStream>
#include <QTimer>
#include <memory>

class CVNACJob;
class CVNComConnection;
class CVNPendingOptionList;

// The command-line client of the service.
//
// It discovers services with its own communication manager (type VeilCLI)
// and talks to one of them, the current connection: by default the first
// service found on 127.0.0.1, or the one chosen with --host. Options that are
// not its own ("host"/"a", "list-hosts"/"m", "discover-network", "ping") are
// sent to the service as one "cli" request; the printed text that comes back
// goes to standard output.
//
// Driving it (what the service client of main() does):
//
//   CVNApplicationClient client;            // discovery starts from the event loop
//   connect(&client, &CVNApplicationClient::optionsFinished, ...);
//   connect(&client, &CVNApplicationClient::helpTableReady, ...);
//   connect(&client, &CVNApplicationClient::versionReady, ...);
//
// - consumeOptions(result, options): executes the first pending option if it
//   is a local one, else sends all pending options to the service. Answers
//   Processed (a local option ran; call again for the next), Wait (the work
//   is asynchronous: optionsFinished(code) follows, and `options` has then
//   been updated with what the service left unconsumed), Error, or Finished
//   on an empty list. The list must stay alive until optionsFinished.
//   After optionsFinished(NotFound) the first pending option is one that
//   neither the service nor this client knows.
// - helpTable(result, table): answers Wait and asks the service for its
//   help; helpTableReady(code) follows. Calling helpTable again then answers
//   that code with the table: the service's modules merged with the local
//   "Connection" module. When no service answers, "No service found" is
//   printed and the answer is Processed with the local module only, so that
//   the help still shows how to install and start the service.
// - version(result, text): the same pattern with versionReady(code); the
//   text is the "Connection" version line, then the service session's
//   version text (or the version line alone when no service answered).
//
// All codes are CVNOptionResult values. Messages of failures are printed by
// the client itself; every failure ends with Error.
class CVNApplicationClient : public QObject, public CVNCommandLineContext
{
    Q_OBJECT
public:
    static constexpr int kConnectionTimeoutMs = 8000;
    static constexpr int kHostTimeoutMs = 6000;
    static constexpr int kListHostsTimeoutMs = 250;
    // Upper bound of a timeout value given on the command line.
    static constexpr int kMaxOptionTimeoutMs = 10 * 60 * 1000;

    explicit CVNApplicationClient(QObject* parent = nullptr);
    ~CVNApplicationClient() override;

    // CVNCommandLineContext
    void consumeOptions(int& result, CVNPendingOptionList& options) override;
    void helpTable(int& result, CVNHelpTable& table) override;
    void version(int& result, QString& text) override;
    QTextStream& output() override { return m_output; }

    // The executer of the local options ("Connection").
    CVNCommandLineExecuter& executer() { return m_executer; }
    CVNComManager& comManager() { return m_comManager; }
    CVNComConnection* currentConnection() const { return m_current; }
    // The words the user gave to the options (the first list handed to
    // consumeOptions, before any answer of a service replaced it): the only
    // names of files the client reads or writes for a service.
    const QSet<QString>& userWords() const { return m_userWords; }

    // Limit of each wait for a service answer; kConnectionTimeoutMs unless
    // changed (tests use shorter waits).
    void setConnectionTimeout(int milliseconds) { m_connectionTimer.setInterval(milliseconds); }
    int connectionTimeoutInterval() const { return m_connectionTimer.interval(); }

signals:
    // Asynchronous end of consumeOptions.
    void optionsFinished(int result);
    // The help table or version text asked for is ready; ask again to get it.
    void helpTableReady(int result);
    void versionReady(int result);

public slots:
    void start();
    void newConnection(CVNComConnection* connection);
    void closedConnection(CVNComConnection* connection);
    void connectionNewData();
    void connectionClose();
    void connectionStateChanged(QAbstractSocket::SocketState state);
    void connectionError(QAbstractSocket::SocketError error);
    void connectionTimeout();

private:
    friend class CVNACJob;
    enum class Waiting { Nothing, Host, HostList };
    enum class Answer { None, Waiting, Ready };

    // Job handling (applicationclient.cpp)
    void setJob(CVNACJob* job);
    void sendJob();
    void finishJob(int result);
    void handleDocument(const QJsonObject& document);
    void setCurrentConnection(CVNComConnection* connection);
    void connectionLost(CVNComConnection* connection);
    CVNComConnection* nextConnection(const CVNComConnection* except) const;
    void print(const QString& text);
    CVNPendingOptionList* pendingOptions() const { return m_pending; }
    void reportOptions(int result);
    void reportHelp(int result, const CVNHelpTable& serviceTable);
    void reportVersion(int result, const QString& serviceText);

    // Local options (applicationclientoptions.cpp)
    void addLocalOptions();
    void optionHost(int& result, const QStringList& values);
    void optionListHosts(int& result, const QStringList& values);
    void optionDiscoverNetwork(int& result, const QStringList& values);
    void optionPing(int& result, const QStringList& values);
    void optionTimerExpired();
    void hostFound(CVNComConnection* connection);
    void printHostLine(const CVNComConnection* connection);
    [[nodiscard]] bool readTimeout(const QStringList& values, int index, int fallback, int& milliseconds);
    void restartDiscovery(QHostAddress::SpecialAddress address);

    CVNDocumentBuffer m_buffer;
    CVNComManager m_comManager;
    CVNCommandLineExecuter m_executer;
    QPointer<CVNComConnection> m_current;
    QTextStream m_output;
    QTimer m_connectionTimer;
    std::unique_ptr<CVNACJob> m_job;

    bool m_jobSent = false;
    CVNPendingOptionList* m_pending = nullptr;
    QSet<QString> m_userWords;
    bool m_userWordsTaken = false;
    // A local option waiting for connections (host, list-hosts).
    Waiting m_waiting = Waiting::Nothing;
    QTimer m_optionTimer;
    QString m_hostText;
    QHostAddress m_hostAddress;
    // Help and version answers, kept until they are asked for again.
    Answer m_helpState = Answer::None;
    int m_helpResult = 0;
    CVNHelpTable m_helpTable;
    Answer m_versionState = Answer::None;
    int m_versionResult = 0;
    QString m_versionText;
};

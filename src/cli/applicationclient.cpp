#include "cli/applicationclient.h"

#include "cli/acjob.h"
#include "cli/acjobcli.h"
#include "cli/acjobhelp.h"
#include "cli/acjobversion.h"
#include "cli/clilogging.h"
#include "cli/optionresult.h"
#include "cli/pendingoption.h"
#include "com/comconnection.h"

#include <QSettings>

#include <cstdio>

namespace {
// The service on this machine, however discovery reports its address: a
// client that listens on every address sees it as ::ffff:127.0.0.1.
bool isLocal(const CVNComConnection* connection)
{
    const HostEndpoint endpoint = connection->endpoint();
    return endpoint.matchesAddress(QHostAddress(QHostAddress::LocalHost))
        || endpoint.matchesAddress(QHostAddress(QHostAddress::LocalHostIPv6));
}
}

CVNApplicationClient::CVNApplicationClient(QObject* parent)
    : QObject(parent)
    , m_comManager(VeilCLI)
    , m_executer(QStringLiteral("Connection"), QStringLiteral("Protocol Communication v1.0.0"))
    , m_output(stdout)
{
    m_connectionTimer.setInterval(kConnectionTimeoutMs);
    m_connectionTimer.setSingleShot(true);
    connect(&m_connectionTimer, &QTimer::timeout, this, &CVNApplicationClient::connectionTimeout);
    m_optionTimer.setSingleShot(true);
    connect(&m_optionTimer, &QTimer::timeout, this, &CVNApplicationClient::optionTimerExpired);
    connect(&m_comManager, &CVNComManager::addedConnection, this, &CVNApplicationClient::newConnection);
    connect(&m_comManager, &CVNComManager::removedConnection, this, &CVNApplicationClient::closedConnection);
    addLocalOptions();
    QTimer::singleShot(0, this, &CVNApplicationClient::start);
}

CVNApplicationClient::~CVNApplicationClient()
{
    // Sockets closing while the manager goes away must not reach a client
    // that is half destroyed.
    disconnect(&m_comManager, nullptr, this, nullptr);
    if (m_current)
        disconnect(m_current, nullptr, this, nullptr);
    m_comManager.stop();
}

void CVNApplicationClient::start()
{
    QSettings settings;
    const int stored = settings.value(QStringLiteral("CLIClient/communication/listen-type"), int(QHostAddress::LocalHost))
                           .toInt();
    const auto address = stored == int(QHostAddress::Any) ? QHostAddress::Any : QHostAddress::LocalHost;
    qCDebug(lcCli) << "client start, listen type" << address;
    m_comManager.start(address);
}

void CVNApplicationClient::consumeOptions(int& result, CVNPendingOptionList& options)
{
    if (!m_userWordsTaken) {
        // Later lists come back from the service, which may have added words.
        m_userWordsTaken = true;
        for (const CVNPendingOption& option : options.options()) {
            for (const QString& value : option.values)
                m_userWords.insert(value);
        }
    }
    m_pending = &options;
    m_executer.executeOne(result, options, *this);
    if (result != CVNOptionResult::NotFound)
        return;
    setJob(new CVNACJobCli(*this));
    result = CVNOptionResult::Wait;
}

void CVNApplicationClient::helpTable(int& result, CVNHelpTable& table)
{
    if (m_helpState == Answer::Ready) {
        m_helpState = Answer::None;
        table = m_helpTable;
        result = m_helpResult;
        return;
    }
    if (m_helpState == Answer::None) {
        m_helpState = Answer::Waiting;
        setJob(new CVNACJobHelp(*this));
    }
    result = CVNOptionResult::Wait;
}

void CVNApplicationClient::version(int& result, QString& text)
{
    if (m_versionState == Answer::Ready) {
        m_versionState = Answer::None;
        text = m_versionText;
        result = m_versionResult;
        return;
    }
    if (m_versionState == Answer::None) {
        m_versionState = Answer::Waiting;
        setJob(new CVNACJobVersion(*this));
    }
    result = CVNOptionResult::Wait;
}

void CVNApplicationClient::reportOptions(int result)
{
    emit optionsFinished(result);
}

void CVNApplicationClient::reportHelp(int result, const CVNHelpTable& serviceTable)
{
    m_helpTable = serviceTable;
    CVNHelp::merge(m_helpTable, m_executer.help());
    m_helpResult = result;
    m_helpState = Answer::Ready;
    emit helpTableReady(result);
}

void CVNApplicationClient::reportVersion(int result, const QString& serviceText)
{
    m_versionText = m_executer.version();
    if (!serviceText.isEmpty())
        m_versionText += QLatin1Char('\n') + serviceText;
    m_versionResult = result;
    m_versionState = Answer::Ready;
    emit versionReady(result);
}

void CVNApplicationClient::print(const QString& text)
{
    m_output << text;
    m_output.flush();
}

// --- jobs -------------------------------------------------------------------

void CVNApplicationClient::setJob(CVNACJob* job)
{
    if (m_job && m_job->purpose() == CVNACJob::Purpose::Help)
        m_helpState = Answer::None;
    if (m_job && m_job->purpose() == CVNACJob::Purpose::Version)
        m_versionState = Answer::None;
    m_job.reset(job);
    m_jobSent = false;
    m_buffer.clear();
    m_connectionTimer.start();
    sendJob();
}

void CVNApplicationClient::sendJob()
{
    if (!m_job || !m_current || m_current->state() != QAbstractSocket::ConnectedState)
        return;
    m_jobSent = true;
    m_connectionTimer.start();
    m_job->sendRequest(*m_current);
}

void CVNApplicationClient::finishJob(int result)
{
    m_connectionTimer.stop();
    std::unique_ptr<CVNACJob> job = std::move(m_job);
    m_jobSent = false;
    if (!job) {
        reportOptions(result);
        return;
    }
    job->setResult(result);
    job->finish();
}

void CVNApplicationClient::connectionNewData()
{
    if (!m_current || sender() != m_current)
        return;
    m_connectionTimer.stop();
    if (!m_buffer.append(m_current->readAll())) {
        qCWarning(lcCli) << "broken answer stream" << m_buffer.errorText();
        m_buffer.clear();
        print(QStringLiteral("Error on communication\n"));
        finishJob(CVNOptionResult::Error);
        return;
    }
    const std::optional<QJsonDocument> document = m_buffer.takeLast();
    if (!document) {
        if (m_job)
            m_connectionTimer.start();
        return;
    }
    handleDocument(document->object());
}

void CVNApplicationClient::handleDocument(const QJsonObject& document)
{
    if (document.isEmpty()) {
        print(QStringLiteral("Error on communication\n"));
        finishJob(CVNOptionResult::Error);
        return;
    }
    if (document.contains(QStringLiteral("error"))) {
        print(QStringLiteral("Error: ") + document.value(QStringLiteral("error")).toString() + QLatin1Char('\n'));
        finishJob(CVNOptionResult::Error);
        return;
    }
    if (!m_job) {
        print(QStringLiteral("Unknown response\n"));
        finishJob(CVNOptionResult::Error);
        return;
    }
    switch (m_job->handleResponse(document)) {
    case CVNACJob::Answer::Ignored:
        m_connectionTimer.start();
        break;
    case CVNACJob::Answer::Repeat:
        sendJob();
        break;
    case CVNACJob::Answer::Done:
        finishJob(m_job->result());
        break;
    }
}

void CVNApplicationClient::connectionTimeout()
{
    if (!m_job)
        return;
    m_job->timeout();
    finishJob(m_job->result());
}

// --- connections ------------------------------------------------------------

void CVNApplicationClient::newConnection(CVNComConnection* connection)
{
    qCDebug(lcCli) << "found service" << connection->endpoint().toString();
    if (m_waiting == Waiting::HostList)
        printHostLine(connection);
    if (m_waiting == Waiting::Host && connection->endpoint().matchesAddress(m_hostAddress)) {
        hostFound(connection);
        return;
    }
    if (!m_current && isLocal(connection))
        setCurrentConnection(connection);
}

void CVNApplicationClient::setCurrentConnection(CVNComConnection* connection)
{
    if (m_current)
        disconnect(m_current, nullptr, this, nullptr);
    m_current = connection;
    m_buffer.clear();
    if (!connection)
        return;
    connect(connection, &CVNComConnection::readyRead, this, &CVNApplicationClient::connectionNewData);
    connect(connection, &CVNComConnection::aboutToClose, this, &CVNApplicationClient::connectionClose);
    connect(connection, &CVNComConnection::stateChanged, this, &CVNApplicationClient::connectionStateChanged);
    connect(connection, &CVNComConnection::error, this, &CVNApplicationClient::connectionError);
    if (!m_jobSent)
        sendJob();
}

void CVNApplicationClient::connectionStateChanged(QAbstractSocket::SocketState state)
{
    if (sender() == m_current && state == QAbstractSocket::ConnectedState && !m_jobSent)
        sendJob();
}

void CVNApplicationClient::connectionError(QAbstractSocket::SocketError error)
{
    qCDebug(lcCli) << "connection error" << error;
}

void CVNApplicationClient::connectionClose()
{
    connectionLost(qobject_cast<CVNComConnection*>(sender()));
}

void CVNApplicationClient::closedConnection(CVNComConnection* connection)
{
    connectionLost(connection);
}

void CVNApplicationClient::connectionLost(CVNComConnection* connection)
{
    if (!connection || connection != m_current)
        return;
    print(QStringLiteral("Connection ") + connection->endpoint().toString() + QStringLiteral(" lost\n"));
    setCurrentConnection(nullptr);
    // A request already sent is not sent again elsewhere: the command may
    // have run, and running it twice could change a device twice.
    if (m_job && m_jobSent)
        finishJob(CVNOptionResult::Error);
    setCurrentConnection(nextConnection(connection));
}

CVNComConnection* CVNApplicationClient::nextConnection(const CVNComConnection* except) const
{
    for (CVNComConnection* connection : m_comManager.connections()) {
        if (connection != except && connection->state() != QAbstractSocket::UnconnectedState
            && connection->state() != QAbstractSocket::ClosingState)
            return connection;
    }
    return nullptr;
}

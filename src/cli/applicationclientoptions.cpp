// The client's local options of the "Connection" module.
#include "cli/applicationclient.h"

#include "cli/commandlineoptioncallback.h"
#include "cli/hostpingjob.h"
#include "cli/optionresult.h"
#include "com/comconnection.h"

#include <QSettings>
#include <QUrl>

namespace {
using Callback = CVNCommandLineOptionCallback;

const QStringList kTrueWords = { QStringLiteral("true"), QStringLiteral("yes"), QStringLiteral("1") };
const QStringList kFalseWords = { QStringLiteral("false"), QStringLiteral("no"), QStringLiteral("0") };
}

void CVNApplicationClient::addLocalOptions()
{
    auto bind = [this](void (CVNApplicationClient::*handler)(int&, const QStringList&)) {
        return Callback::Function([this, handler](int& result, const QStringList& values, CVNCommandLineContext&) {
            (this->*handler)(result, values);
        });
    };
    m_executer.addOption(new Callback({ QStringLiteral("a"), QStringLiteral("host") },
                                      QStringLiteral("Connect to host. Timeout(ms)."),
                                      QStringLiteral("HOST_IP [timeout]"), bind(&CVNApplicationClient::optionHost)));
    m_executer.addOption(new Callback({ QStringLiteral("m"), QStringLiteral("list-hosts") },
                                      QStringLiteral("List all reachable hosts. Timeout(ms)."),
                                      QStringLiteral("[timeout]"), bind(&CVNApplicationClient::optionListHosts)));
    m_executer.addOption(new Callback({ QStringLiteral("discover-network") },
                                      QStringLiteral("Enables this client application to discover network hosts."),
                                      QStringLiteral("[true|false]"),
                                      bind(&CVNApplicationClient::optionDiscoverNetwork)));
    m_executer.addOption(new Callback(
        { QStringLiteral("ping") },
        QStringLiteral("Test the reachability of the current selected host. Combine with --host option."), QString(),
        bind(&CVNApplicationClient::optionPing)));
}

bool CVNApplicationClient::readTimeout(const QStringList& values, int index, int fallback, int& milliseconds)
{
    milliseconds = fallback;
    if (values.size() <= index)
        return true;
    bool ok = false;
    const int value = values.at(index).toInt(&ok);
    if (!ok || value < 0 || value > kMaxOptionTimeoutMs)
        return false;
    milliseconds = value;
    return true;
}

void CVNApplicationClient::optionHost(int& result, const QStringList& values)
{
    const QString text = values.value(0);
    int timeout = 0;
    if (text.isEmpty() || !readTimeout(values, 1, kHostTimeoutMs, timeout)) {
        print(QStringLiteral("Invalid arguments\n"));
        result = CVNOptionResult::Error;
        return;
    }
    const HostEndpoint endpoint = HostEndpoint::fromText(text);
    if (endpoint.address().isNull() && !QUrl(text, QUrl::StrictMode).isValid()) {
        print(QStringLiteral("Invalid URL: ") + text + QLatin1Char('\n'));
        result = CVNOptionResult::Error;
        return;
    }
    m_hostText = text;
    m_hostAddress = endpoint.address();
    if (CVNComConnection* existing = m_comManager.connection(m_hostAddress)) {
        setCurrentConnection(existing);
        print(QStringLiteral("Connected to service: ") + existing->endpoint().toString() + QLatin1Char('\n'));
        result = CVNOptionResult::Processed;
        return;
    }
    m_waiting = Waiting::Host;
    m_optionTimer.start(timeout);
    result = CVNOptionResult::Wait;
}

void CVNApplicationClient::hostFound(CVNComConnection* connection)
{
    m_waiting = Waiting::Nothing;
    m_optionTimer.stop();
    setCurrentConnection(connection);
    print(QStringLiteral("Connected to service: ") + connection->endpoint().toString() + QLatin1Char('\n'));
    reportOptions(CVNOptionResult::Processed);
}

void CVNApplicationClient::optionListHosts(int& result, const QStringList& values)
{
    int timeout = 0;
    if (!readTimeout(values, 0, kListHostsTimeoutMs, timeout)) {
        print(QStringLiteral("Invalid arguments\n"));
        result = CVNOptionResult::Error;
        return;
    }
    print(QStringLiteral("Reachable hosts:\n"));
    for (const CVNComConnection* connection : m_comManager.connections())
        printHostLine(connection);
    m_waiting = Waiting::HostList;
    m_optionTimer.start(timeout);
    result = CVNOptionResult::Wait;
}

void CVNApplicationClient::printHostLine(const CVNComConnection* connection)
{
    print(QStringLiteral("\t%1 %2:%3\n")
              .arg(connectionTypeToText(connection->peerType()), connection->endpoint().host())
              .arg(connection->endpointPort()));
}

void CVNApplicationClient::optionTimerExpired()
{
    const Waiting waiting = m_waiting;
    m_waiting = Waiting::Nothing;
    if (waiting == Waiting::Host) {
        print(QStringLiteral("Service not found: ") + m_hostText + QLatin1Char('\n'));
        reportOptions(CVNOptionResult::Error);
    } else if (waiting == Waiting::HostList) {
        reportOptions(CVNOptionResult::Processed);
    }
}

void CVNApplicationClient::optionDiscoverNetwork(int& result, const QStringList& values)
{
    if (!values.isEmpty()) {
        const QString word = values.first().toLower();
        if (kTrueWords.contains(word)) {
            restartDiscovery(QHostAddress::Any);
        } else if (kFalseWords.contains(word)) {
            restartDiscovery(QHostAddress::LocalHost);
        } else {
            print(QStringLiteral("Invalid arguments\n"));
            result = CVNOptionResult::Error;
            return;
        }
    }
    print(m_comManager.listenAddress() == QHostAddress::Any
              ? QStringLiteral("True, looking for network clients.\n")
              : QStringLiteral("False, looking for localhost clients only.\n"));
    result = CVNOptionResult::Processed;
}

void CVNApplicationClient::restartDiscovery(QHostAddress::SpecialAddress address)
{
    QSettings settings;
    settings.setValue(QStringLiteral("CLIClient/communication/listen-type"), int(address));
    m_comManager.stop();
    m_comManager.start(address);
}

void CVNApplicationClient::optionPing(int& result, const QStringList& values)
{
    (void)values;
    setJob(new HostPingJob(*this));
    result = CVNOptionResult::Wait;
}

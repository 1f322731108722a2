#include "service/serviceclient.h"

#include "cli/applicationclient.h"
#include "cli/commandlineoptioncallback.h"
#include "cli/optionresult.h"
#include "service/servicelog.h"

#include <QCoreApplication>
#include <QSysInfo>
#include <QTimer>

// The commit being built, written at build time.
#if __has_include("corvane_buildid.h")
#include "corvane_buildid.h"
#endif
#ifndef CORVANE_BUILD_ID
#define CORVANE_BUILD_ID "0000000"
#endif
#ifndef CORVANE_VERSION
#define CORVANE_VERSION "1.1.0"
#endif

namespace
{

CVNServiceClient* g_serviceClient = nullptr;

} // namespace

CVNServiceClient::CVNServiceClient(
    const QString& name, const QString& description, CVNApplicationClient* client, QObject* parent)
    : QObject(parent)
    , m_name(name)
    , m_description(description)
    , m_controller(name, description)
    , m_client(client)
    , m_executer(QStringLiteral("Service"), versionText())
    , m_output(stdout)
{
    g_serviceClient = this;
    addOptions();
    if (m_client) {
        connect(
            m_client, &CVNApplicationClient::optionsFinished, this, &CVNServiceClient::clientOptionsFinished);
        connect(m_client, &CVNApplicationClient::helpTableReady, this, &CVNServiceClient::resumeAfterAnswer);
        connect(m_client, &CVNApplicationClient::versionReady, this, &CVNServiceClient::resumeAfterAnswer);
    }
}

CVNServiceClient::~CVNServiceClient()
{
    if (g_serviceClient == this)
        g_serviceClient = nullptr;
}

CVNServiceClient* CVNServiceClient::instance()
{
    return g_serviceClient;
}

QString CVNServiceClient::versionText() const
{
    return m_name + QLatin1String(" version ") + QLatin1String(CORVANE_VERSION) + QLatin1String(" (")
        + QLatin1String(CORVANE_BUILD_ID) + QLatin1String(") (") + QLatin1String(kReleaseName)
        + QLatin1String(") (Linux-") + QSysInfo::buildCpuArchitecture() + QLatin1Char(')');
}

void CVNServiceClient::addOptions()
{
    using Callback = CVNCommandLineOptionCallback;
    struct Entry {
        const char* shortName;
        const char* longName;
        const char* description;
        void (CVNServiceClient::*handler)(int&, const QStringList&);
    };
    static const Entry kOptions[] = {
        { "i", "install", "Install the service. Requires elevated privileges.",
            &CVNServiceClient::optionInstall },
        { "u", "uninstall", "Uninstall the service. Requires elevated privileges.",
            &CVNServiceClient::optionUninstall },
        { "s", "start", "Start the service. Requires elevated privileges.", &CVNServiceClient::optionStart },
        { "t", "terminate", "Terminate the service. Requires elevated privileges.",
            &CVNServiceClient::optionTerminate },
        { "v", "version", "Print version and status information.", &CVNServiceClient::optionVersion },
        { "h", "help", "Show this help.", &CVNServiceClient::optionHelp },
    };
    for (const Entry& entry : kOptions) {
        const auto handler = entry.handler;
        m_executer.addOption(new Callback({ QLatin1String(entry.shortName), QLatin1String(entry.longName) },
            QLatin1String(entry.description), QString(),
            Callback::Function([this, handler](int& result, const QStringList& values,
                                   CVNCommandLineContext&) { (this->*handler)(result, values); })));
    }
}

int CVNServiceClient::run(const QStringList& arguments)
{
    QStringList effective = arguments;
    if (effective.size() < 2)
        effective = QStringList { arguments.value(0, m_name), QStringLiteral("-h") };
    if (!m_pending.parse(effective)) {
        print(m_pending.error() + QLatin1Char('\n'));
        return ExitMalformed;
    }
    if (!QCoreApplication::instance()) {
        for (const QString& argument : effective)
            m_argumentData.push_back(argument.toLocal8Bit());
        for (QByteArray& argument : m_argumentData)
            m_argv.push_back(argument.data());
        m_argv.push_back(nullptr);
        m_argc = int(m_argumentData.size());
        m_application = std::make_unique<QCoreApplication>(m_argc, m_argv.data());
    }
    scheduleConsume();
    QCoreApplication::exec();
    if (!m_pending.isEmpty()) {
        print(QLatin1String("Unknown or not executed option(s): ")
            + m_pending.names().join(QLatin1String(", ")) + QLatin1Char('\n'));
        if (m_exitCode == ExitDone)
            m_exitCode = ExitNotExecuted;
    }
    return m_exitCode;
}

QString CVNServiceClient::exitCodesHelp()
{
    return QStringLiteral("\nExit status:\n"
                          "  0    every option was carried out\n"
                          "  1    an option is unknown or was not carried out\n"
                          "  4    an option failed: refused, invalid, an error of the device, or no answer\n"
                          "       from the service\n"
                          "  254  the command line is malformed\n"
                          "  255  the service could not be installed or uninstalled\n");
}

void CVNServiceClient::consumeOptions()
{
    int result = CVNOptionResult::Unknown;
    m_executer.exec(result, m_pending, *this);
    takeClientResult(result);
    if (result == CVNOptionResult::Wait)
        return;
    if (result == CVNOptionResult::NotFound && m_client) {
        m_client->consumeOptions(result, m_pending);
        takeClientResult(result);
        if (result == CVNOptionResult::Wait)
            return;
        if (result == CVNOptionResult::Processed) {
            scheduleConsume();
            return;
        }
    }
    // Every other answer ends the run; waiting on would never end.
    quit();
}

void CVNServiceClient::clientOptionsFinished(int result)
{
    takeClientResult(result);
    if (result == CVNOptionResult::Processed
        || (result == CVNOptionResult::NotFound && !m_pending.isEmpty()
            && m_executer.hasOption(m_pending.first().name)))
        scheduleConsume();
    else
        quit();
}

// The client application has the help table or version information that
// an option waited for: run that option again.
void CVNServiceClient::resumeAfterAnswer()
{
    scheduleConsume();
}

// A command that failed (a service command, or one on the way to or inside
// the service: refused, invalid, a device error, time-out, lost connection)
// ends the process with a non-zero code, so that scripts can tell; the
// first failure's code stays.
void CVNServiceClient::takeClientResult(int result)
{
    if (result == CVNOptionResult::Error && m_exitCode == ExitDone)
        m_exitCode = ExitFailed;
}

void CVNServiceClient::requeue(const QString& name)
{
    CVNPendingOption option;
    option.dash = CVNPendingOption::Long;
    option.name = name;
    m_pending.prepend(option);
}

void CVNServiceClient::scheduleConsume()
{
    QTimer::singleShot(0, this, qOverload<>(&CVNServiceClient::consumeOptions));
}

void CVNServiceClient::quit()
{
    QCoreApplication::exit(0);
}

void CVNServiceClient::print(const QString& text)
{
    m_output << text;
    m_output.flush();
}

QString CVNServiceClient::serviceMessage(const QString& tail) const
{
    return QLatin1String("The service ") + m_name + tail;
}

// --- CVNCommandLineContext ---------------------------------------------------

void CVNServiceClient::consumeOptions(int& result, CVNPendingOptionList& options)
{
    m_executer.exec(result, options, *this);
}

void CVNServiceClient::helpTable(int& result, CVNHelpTable& table)
{
    table = m_executer.help();
    result = CVNOptionResult::Processed;
}

void CVNServiceClient::version(int& result, QString& text)
{
    text = versionText();
    result = CVNOptionResult::Processed;
}

// --- options -------------------------------------------------------------------

void CVNServiceClient::optionInstall(int& result, const QStringList& values)
{
    if (m_controller.isInstalled()) {
        print(serviceMessage(QStringLiteral(" is already installed.\n")));
        result = CVNOptionResult::Stopped;
        return;
    }
    // The first two values are not used; account and password follow.
    const int outcome = m_controller.install(values.value(2), values.value(3));
    if (outcome == CVNServiceController::Error || outcome == CVNServiceController::AccessDenied) {
        print(outcome == CVNServiceController::AccessDenied
                ? QStringLiteral("Please check your permissions to install.\n")
                : serviceMessage(QStringLiteral(" could not be installed.\n")));
        m_exitCode = ExitInstallFailed;
        result = CVNOptionResult::Error;
        return;
    }
    print(serviceMessage(QStringLiteral(" has been installed.\n")));
    result = CVNOptionResult::Stopped;
}

void CVNServiceClient::optionUninstall(int& result, const QStringList&)
{
    if (!m_controller.isInstalled()) {
        print(serviceMessage(QStringLiteral(" is not installed.\n")));
        result = CVNOptionResult::Stopped;
        return;
    }
    const int outcome = m_controller.uninstall();
    QString failure;
    if (outcome == CVNServiceController::Error)
        failure = serviceMessage(QStringLiteral(" could not be uninstalled.\n"));
    else if (outcome == CVNServiceController::StillRunning)
        failure = QLatin1String("Please stop ") + m_name + QLatin1String(" first.\n");
    else if (outcome == CVNServiceController::AccessDenied)
        failure = QStringLiteral("Please check your permissions to uninstall.\n");
    if (!failure.isEmpty()) {
        print(failure);
        m_exitCode = ExitInstallFailed;
        result = CVNOptionResult::Error;
        return;
    }
    print(serviceMessage(QStringLiteral(" has been uninstalled.\n")));
    result = CVNOptionResult::Stopped;
}

void CVNServiceClient::optionStart(int& result, const QStringList&)
{
    reportControl(result, m_controller.start({ QStringLiteral("-e") }), true);
}

void CVNServiceClient::optionTerminate(int& result, const QStringList&)
{
    reportControl(result, m_controller.stop(), false);
}

void CVNServiceClient::reportControl(int& result, int outcome, bool starting)
{
    QString tail;
    switch (outcome) {
    case CVNServiceController::Error:
        tail = starting
            ? QStringLiteral(" has an error and could not be started. Please check your permissions.\n")
            : QStringLiteral(" has an error and could not be stopped. Please check your permissions.\n");
        break;
    case CVNServiceController::Done:
        tail = starting ? QStringLiteral(" has been started.\n") : QStringLiteral(" has been stopped.\n");
        break;
    case CVNServiceController::AlreadyInState:
        tail = starting ? QStringLiteral(" is already started.\n") : QStringLiteral(" is already stopped.\n");
        break;
    case CVNServiceController::NotInstalled:
        tail = starting ? QStringLiteral(" is not installed and could not be started.\n")
                        : QStringLiteral(" is not installed and could not be stopped\n");
        break;
    default:
        tail = starting ? QStringLiteral(" could not be started.\n")
                        : QStringLiteral(" could not be stopped.\n");
        break;
    }
    print(serviceMessage(tail));
    result = outcome == CVNServiceController::Done ? CVNOptionResult::Stopped : CVNOptionResult::Error;
}

void CVNServiceClient::optionVersion(int& result, const QStringList&)
{
    QString clientVersion;
    if (m_client) {
        m_client->version(result, clientVersion);
        if (result == CVNOptionResult::Wait) {
            requeue(QStringLiteral("version"));
            return;
        }
        if (result != CVNOptionResult::Processed)
            return;
    }
    print(versionText() + QLatin1Char('\n'));
    print(serviceMessage(QLatin1String(" is ")
        + (m_controller.isInstalled() ? QLatin1String("installed") : QLatin1String("not installed"))
        + QLatin1String(" and ")
        + (m_controller.isRunning() ? QLatin1String("running") : QLatin1String("not running"))
        + QLatin1Char('\n')));
    print(clientVersion + QLatin1Char('\n'));
    quit();
    result = CVNOptionResult::Wait;
}

void CVNServiceClient::optionHelp(int& result, const QStringList&)
{
    CVNHelpTable table;
    if (m_client) {
        m_client->helpTable(result, table);
        if (result == CVNOptionResult::Wait) {
            requeue(QStringLiteral("help"));
            return;
        }
        if (result != CVNOptionResult::Processed)
            return;
    }
    print(
        QLatin1String("This is the ") + m_name + QLatin1String(" (") + m_description + QLatin1String(").\n"));
    print(QLatin1String("Usage: ") + m_name + QLatin1String(" commands OPTIONS...\n"));
    CVNHelpTable merged = m_executer.help();
    CVNHelp::merge(merged, table);
    CVNHelp::print(m_output, merged);
    m_output << exitCodesHelp();
    m_output.flush();
    quit();
    result = CVNOptionResult::Wait;
}

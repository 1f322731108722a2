#include "runningservice.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QThread>

#include <csignal>

namespace
{

const QString kProgram = QStringLiteral(CORVANE_BIN_DIR "/CorvaneService");
constexpr int kStartTimeoutMs = 10000;
constexpr int kReadyTimeoutMs = 30000;
constexpr int kStopTimeoutMs = 10000;
// Longer than the tool's own 8000 ms wait for an answer.
constexpr int kToolTimeoutMs = 20000;

} // namespace

const QString RunningService::kVasta = QStringLiteral("0200000001A3");
const QString RunningService::kTwinPoint = QStringLiteral("0C00000002B7");

RunningService::RunningService()
    : m_sim({ QStringLiteral("vasta:") + kVasta + QStringLiteral(":2.005"),
        QStringLiteral("twinpoint:") + kTwinPoint + QStringLiteral(":2.005") })
{
}

RunningService::RunningService(const QStringList& setups)
    : m_sim(setups)
{
}

RunningService::~RunningService()
{
    if (m_service.state() != QProcess::NotRunning) {
        m_service.kill();
        m_service.waitForFinished(kStopTimeoutMs);
    }
}

QProcessEnvironment RunningService::environment() const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_configHome.path());
    environment.insert(QStringLiteral("CORVANE_SIM_SOCKET"), m_sim.socketPath());
    return environment;
}

bool RunningService::start()
{
    if (!m_sim.isRunning() || !m_configHome.isValid())
        return false;
    m_service.setProcessEnvironment(environment());
    m_service.setProcessChannelMode(QProcess::ForwardedChannels);
    m_service.start(kProgram, { QStringLiteral("-e") });
    if (!m_service.waitForStarted(kStartTimeoutMs))
        return false;
    // Answering is not enough: the controllers must have been found too.
    QDeadlineTimer deadline(kReadyTimeoutMs);
    while (!deadline.hasExpired() && m_service.state() == QProcess::Running) {
        const ToolRun run = tool({ QStringLiteral("--device-list") });
        if (run.output.contains(kVasta) && run.output.contains(kTwinPoint))
            return true;
    }
    return false;
}

int RunningService::stop()
{
    if (m_service.state() == QProcess::NotRunning)
        return -1000;
    ::kill(pid_t(m_service.processId()), SIGTERM);
    if (!m_service.waitForFinished(kStopTimeoutMs) || m_service.exitStatus() != QProcess::NormalExit)
        return -1000;
    return m_service.exitCode();
}

void RunningService::startTool(QProcess& process, const QStringList& arguments) const
{
    process.setProcessEnvironment(environment());
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(kProgram, arguments);
}

ToolRun RunningService::finish(QProcess& process)
{
    ToolRun run;
    if (!process.waitForFinished(kToolTimeoutMs) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished(kStopTimeoutMs);
        run.output = QString::fromLocal8Bit(process.readAllStandardOutput());
        return run;
    }
    run.output = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.exitCode = process.exitCode();
    run.finished = true;
    return run;
}

ToolRun RunningService::tool(const QStringList& arguments) const
{
    QProcess process;
    startTool(process, arguments);
    return finish(process);
}

qint64 RunningService::simulatorPid() const
{
    const QByteArray socket = QFile::encodeName(m_sim.socketPath());
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool numeric = false;
        const qint64 pid = entry.toLongLong(&numeric);
        if (!numeric)
            continue;
        QFile cmdline(QStringLiteral("/proc/") + entry + QStringLiteral("/cmdline"));
        if (!cmdline.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> arguments = cmdline.readAll().split('\0');
        // Control commands name the socket too; only the simulator itself
        // is started with a traffic log.
        if (!arguments.isEmpty() && arguments.first().endsWith("/corvane-sim") && arguments.contains(socket)
            && arguments.contains("--traffic"))
            return pid;
    }
    return 0;
}

namespace
{

bool inUnixRead(qint64 pid, qint64 thread)
{
    const QString base = QStringLiteral("/proc/%1/task/%2/").arg(pid).arg(thread);
    QFile wchan(base + QStringLiteral("wchan"));
    if (wchan.open(QIODevice::ReadOnly) && wchan.readAll().startsWith("unix_stream_read"))
        return true;
#if defined(__x86_64__)
    // Where the kernel hides wait channels, the system call tells it too:
    // recvfrom (45) while the simulator keeps silent.
    QFile syscall(base + QStringLiteral("syscall"));
    if (syscall.open(QIODevice::ReadOnly)) {
        const QByteArray number = syscall.readAll().split(' ').value(0);
        return number == "45";
    }
#endif
    return false;
}

} // namespace

bool RunningService::waitUntilInDeviceTransfer(int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (inUnixRead(m_service.processId(), m_service.processId()))
            return true;
        QThread::msleep(10);
    }
    return false;
}

QSet<qint64> RunningService::threadsInDeviceTransfer() const
{
    QSet<qint64> threads;
    const qint64 pid = m_service.processId();
    const QStringList tasks = QDir(QStringLiteral("/proc/%1/task").arg(pid)).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& task : tasks) {
        if (inUnixRead(pid, task.toLongLong()))
            threads.insert(task.toLongLong());
    }
    return threads;
}

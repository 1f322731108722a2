#pragma once

// The real service as the programs under bench/ run it: `corvane-sim` with
// a few controllers and `CorvaneService -e` on it, each with its own
// folder, plus what a load program needs to watch it (its TCP port, its
// memory, whether it still runs). Header-only: every .cpp in bench/ is a
// program of its own.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

class ServiceProcess
{
public:
    // Controllers in the simulator's SETUP form.
    explicit ServiceProcess(QStringList controllers = {QStringLiteral("vasta:0200000001A3:2.005"),
                                                       QStringLiteral("twinpoint:0C00000002B7:2.005"),
                                                       QStringLiteral("lyn:0400000001C4:2.005"),
                                                       QStringLiteral("tarso55:0500000001D5:2.005")})
        : m_controllers(std::move(controllers))
    {
    }

    ~ServiceProcess()
    {
        stop();
        m_sim.kill();
        m_sim.waitForFinished(5000);
    }

    // Starts both and waits until the service listens; false with a reason.
    bool start(QString* error)
    {
        const QString bin = QStringLiteral(CORVANE_BIN_DIR);
        QStringList simArguments{QStringLiteral("--socket"), socketPath()};
        for (const QString& controller : m_controllers)
            simArguments << QStringLiteral("--device") << controller;
        m_sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_sim.start(bin + QStringLiteral("/corvane-sim"), simArguments);
        if (!m_sim.waitForStarted(5000) || !waitFor([&] { return QFile::exists(socketPath()); }, 5000)) {
            *error = QStringLiteral("corvane-sim did not start");
            return false;
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
        environment.insert(QStringLiteral("CORVANE_SIM_SOCKET"), socketPath());
        m_service.setProcessEnvironment(environment);
        m_service.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_service.start(bin + QStringLiteral("/CorvaneService"), {QStringLiteral("-e")});
        if (!m_service.waitForStarted(5000)) {
            *error = QStringLiteral("CorvaneService did not start");
            return false;
        }
        if (!waitFor([&] { return (m_port = listeningPort()) != 0; }, 10000)) {
            *error = QStringLiteral("CorvaneService does not listen");
            return false;
        }
        return true;
    }

    // SIGTERM and the exit code (-1 when it did not end in time or crashed).
    int stop()
    {
        if (m_service.state() == QProcess::NotRunning)
            return m_service.exitStatus() == QProcess::NormalExit ? m_service.exitCode() : -1;
        ::kill(pid_t(m_service.processId()), SIGTERM);
        if (!m_service.waitForFinished(10000)) {
            m_service.kill();
            m_service.waitForFinished(5000);
            return -1;
        }
        return m_service.exitStatus() == QProcess::NormalExit ? m_service.exitCode() : -1;
    }

    bool isRunning() const { return m_service.state() == QProcess::Running; }
    qint64 pid() const { return m_service.processId(); }
    quint16 port() const { return m_port; }

    // The simulator's socket, for its control requests (plug, unplug, faults).
    QString simSocket() const { return socketPath(); }
    // Open file descriptors of the service (0 when it is gone).
    int openDescriptors() const
    {
        if (pid() <= 0)
            return 0;
        return QDir(QStringLiteral("/proc/%1/fd").arg(pid()))
            .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
            .size();
    }

    // Resident memory of the service in KiB (0 when it is gone).
    qint64 rssKiB() const { return statusField("VmRSS:"); }
    // The highest resident memory the kernel has seen for it, in KiB.
    qint64 peakRssKiB() const { return statusField("VmHWM:"); }

    template <typename Condition>
    static bool waitFor(Condition done, int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!done()) {
            if (deadline.hasExpired())
                return false;
            QThread::msleep(20);
        }
        return true;
    }

private:
    QString socketPath() const { return m_dir.path() + QStringLiteral("/sim.sock"); }

    qint64 statusField(const char* name) const
    {
        QFile status(QStringLiteral("/proc/%1/status").arg(pid()));
        if (pid() <= 0 || !status.open(QIODevice::ReadOnly))
            return 0;
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith(name))
                return line.mid(int(qstrlen(name))).trimmed().split(' ').value(0).toLongLong();
        }
        return 0;
    }

    // The TCP port the service listens on, found through its own sockets
    // (not through discovery, which another service on this machine would
    // answer as well).
    quint16 listeningPort() const
    {
        QSet<QByteArray> inodes;
        const QString fds = QStringLiteral("/proc/%1/fd").arg(pid());
        for (const QString& entry : QDir(fds).entryList(QDir::System | QDir::NoDotAndDotDot)) {
            const QByteArray target = QFile::symLinkTarget(fds + QLatin1Char('/') + entry).toLatin1();
            const int start = target.indexOf("socket:[");
            if (start >= 0)
                inodes.insert(target.mid(start + 8, target.indexOf(']', start) - start - 8));
        }
        for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
            QFile file(QString::fromLatin1(table));
            if (!file.open(QIODevice::ReadOnly))
                continue;
            for (const QByteArray& line : file.readAll().split('\n')) {
                const QList<QByteArray> fields = line.simplified().split(' ');
                // sl local remote state ... inode: state 0A is LISTEN.
                if (fields.size() > 9 && fields[3] == "0A" && inodes.contains(fields[9]))
                    return quint16(fields[1].split(':').value(1).toUInt(nullptr, 16));
            }
        }
        return 0;
    }

    QTemporaryDir m_dir;
    QStringList m_controllers;
    QProcess m_sim;
    QProcess m_service;
    quint16 m_port = 0;
};

#pragma once

// What the benchmarks that run the real service read of it: its processor
// time from /proc, and the answer of one tool call.
#include <QByteArray>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QThread>

// utime + stime of a process, in clock ticks; -1 when unreadable.
inline qint64 cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = stat.readAll();
    // Fields after the command name, which is in parentheses.
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return -1;
    return fields[11].toLongLong() + fields[12].toLongLong();
}

// One call of the command-line tool in `bin`, its output and errors merged.
inline QString runTool(const QString& bin, const QProcessEnvironment& env, const QStringList& arguments)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(bin + QStringLiteral("/CorvaneService"), arguments);
    process.waitForFinished(20000);
    return QString::fromUtf8(process.readAll());
}

// corvane-sim playing one Vasta and `CorvaneService -e` on it, both keeping
// their files in `folder`; returns once the tool lists the controller, with
// the environment a tool call needs.
inline QProcessEnvironment startOnSimulatedVasta(const QString& bin, const QString& folder, const QString& serial,
                                                 QProcess& sim, QProcess& service)
{
    const QString socket = folder + QStringLiteral("/sim.sock");
    sim.start(bin + QStringLiteral("/corvane-sim"),
              {QStringLiteral("--socket"), socket, QStringLiteral("--device"), QStringLiteral("vasta:%1:2.005").arg(serial)});
    QDeadlineTimer simReady(10000);
    while (!QFile::exists(socket) && !simReady.hasExpired())
        QThread::msleep(20);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), folder);
    env.insert(QStringLiteral("CORVANE_SIM_SOCKET"), socket);
    service.setProcessEnvironment(env);
    service.start(bin + QStringLiteral("/CorvaneService"), {QStringLiteral("-e")});
    QDeadlineTimer ready(30000);
    while (!runTool(bin, env, {QStringLiteral("--device-list")}).contains(serial) && !ready.hasExpired())
        QThread::msleep(100);
    return env;
}

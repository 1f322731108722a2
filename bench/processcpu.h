#pragma once

// What the benchmarks that run the real service read of it: its processor
// time from /proc, and the answer of one tool call.
#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

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

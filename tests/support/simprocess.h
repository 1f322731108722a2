#pragma once

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// A corvane-sim process with its socket and traffic log in a private folder,
// for tests that drive the service against simulated controllers.
class SimProcess
{
public:
    explicit SimProcess(const QStringList& deviceSetups);
    ~SimProcess();

    bool isRunning() const { return m_ready; }
    QString socketPath() const { return m_dir.path() + QStringLiteral("/sim.sock"); }
    QString trafficPath() const { return m_dir.path() + QStringLiteral("/traffic.log"); }
    // A control command of the running simulator ("plug SETUP", "unplug SERIAL", ...).
    bool control(const QStringList& arguments);
    // A register as the controller holds it, read without a transfer.
    QString registerValue(const QString& serial, const QString& word);
    QStringList trafficLines() const;
    // Whether some traffic line starts with `start`.
    bool trafficHas(const QString& start) const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    bool m_ready = false;
};

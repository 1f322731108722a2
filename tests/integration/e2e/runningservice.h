#pragma once

// The real service on two simulated controllers, with its own settings
// folder, and the command-line tool run against it as a separate process.

#include "simprocess.h"

#include <QProcess>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

struct ToolRun {
    QString output;
    int exitCode = -1000; // stays so when the tool did not end by itself
    bool finished = false;
};

class RunningService
{
public:
    static const QString kVasta;
    static const QString kTwinPoint;

    RunningService();
    // Other controller setups (SPEC of corvane-sim) instead of the two above.
    explicit RunningService(const QStringList& setups);
    ~RunningService();

    // Starts `CorvaneService -e` and waits until it answers with both
    // controllers listed.
    [[nodiscard]] bool start();
    // SIGTERM, then the exit code (-1000 when it did not stop in time).
    [[nodiscard]] int stop();
    qint64 pid() const { return m_service.processId(); }

    SimProcess& sim() { return m_sim; }
    // The simulator's process id, found by its socket path (0 if none).
    qint64 simulatorPid() const;
    // Waits until the service's main thread sits in a read from the
    // simulator, that is inside a device transfer. False when that was not
    // seen in time or cannot be seen on this system.
    [[nodiscard]] bool waitUntilInDeviceTransfer(int timeoutMs) const;
    // The service's threads that sit in a read from the simulator now.
    QSet<qint64> threadsInDeviceTransfer() const;
    QString configHome() const { return m_configHome.path(); }

    // The tool with the same settings folder as the service.
    ToolRun tool(const QStringList& arguments) const;
    // The tool started without waiting for it.
    void startTool(QProcess& process, const QStringList& arguments) const;
    static ToolRun finish(QProcess& process);

private:
    QProcessEnvironment environment() const;

    SimProcess m_sim;
    QTemporaryDir m_configHome;
    QProcess m_service;
};

#pragma once

#include <QString>
#include <QStringList>

// Registers, unregisters, starts and stops the service with systemd and
// answers whether it is registered and running.
//
// The service is registered by a unit file "<name>.service" in the unit
// directory, /etc/systemd/system unless the environment variable
// CORVANE_SYSTEMD_UNIT_DIR names another one (tests and staged installs).
// Only that file counts as "installed": a unit shipped by the package in
// /lib/systemd/system is the template, `install` puts the enabled one in place.
class CVNServiceController
{
public:
    enum Outcome : int {
        Error = 0,
        Done = 1,
        AlreadyInState = 2,
        NotInstalled = 3,
        ManagerMissing = 4,
        StillRunning = 5,
        AccessDenied = 6,
        AlreadyInstalled = 7,
    };

    // How often and how far apart `stop` looks whether the service has ended.
    static constexpr int kStopPollCount = 10;
    static constexpr int kStopPollIntervalMs = 200;

    CVNServiceController(const QString& name, const QString& description);

    bool isInstalled() const;
    bool isRunning() const;

    // The service runs as `account` (see CVNServiceUnit::userForAccount);
    // systemd keeps no passwords, so `password` is not used.
    [[nodiscard]] int install(const QString& account, const QString& password);
    [[nodiscard]] int uninstall();
    // The unit's command line already carries "-e"; systemd passes no
    // arguments on start, so `arguments` only documents the intent.
    [[nodiscard]] int start(const QStringList& arguments);
    [[nodiscard]] int stop();

    QString name() const { return m_name; }
    QString unitName() const;
    QString unitFilePath() const;
    static QString unitDirectory();
    // The running program, as the unit's ExecStart= names it.
    static QString programPath();

private:
    [[nodiscard]] int writeUnit(const QString& user) const;
    [[nodiscard]] int registerUnit() const;
    [[nodiscard]] int removeUnitFile() const;
    bool waitUntilStopped() const;

    QString m_name;
    QString m_description;
};

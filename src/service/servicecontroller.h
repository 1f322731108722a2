#pragma once

#include <QString>
#include <QStringList>

// Registers, unregisters, starts and stops the service with systemd and
// answers whether it is registered and running.
//
// The service is registered by a unit file "<name>.service": the one the
// Debian package ships in /usr/lib/systemd/system (or /lib/systemd/system),
// or one that `install` writes into the unit directory, /etc/systemd/system.
// The environment variables CORVANE_SYSTEMD_PACKAGE_UNIT_DIR and
// CORVANE_SYSTEMD_UNIT_DIR name other folders for each (tests, staged
// installs). The service counts as installed when a written unit exists, or
// when the packaged one is enabled: `install` then enables the packaged unit
// rather than writing a second one that would shadow it, and `uninstall`
// disables it and leaves the package's file alone.
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
    // The unit `install` writes.
    QString unitFilePath() const;
    static QString unitDirectory();
    // The unit the package installed; empty when there is none.
    QString packagedUnitPath() const;
    static QStringList packagedUnitDirectories();
    // The running program, as the unit's ExecStart= names it.
    static QString programPath();

private:
    bool hasWrittenUnit() const;
    bool packagedUnitEnabled() const;
    [[nodiscard]] int writeUnit(const QString& user) const;
    [[nodiscard]] int registerUnit() const;
    [[nodiscard]] int removeUnitFile() const;
    bool waitUntilStopped() const;

    QString m_name;
    QString m_description;
};

#include "qtprinters.h"
#include "standinsystemctl.h"

#include "service/servicecontroller.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

namespace
{

const QString kDescription = QStringLiteral("Corvane Service application, the centralized application");

QString unitText(const StandInSystemctl& systemctl)
{
    QFile f(systemctl.unitFile());
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QString currentUser()
{
    const passwd* entry = ::getpwuid(::geteuid());
    return entry ? QString::fromLocal8Bit(entry->pw_name) : QString();
}

class ServiceControllerTest : public ::testing::Test
{
protected:
    StandInSystemctl systemctl;
    CVNServiceController controller { QStringLiteral("CorvaneService"), kDescription };
};

} // namespace

TEST_F(ServiceControllerTest, InstallWritesAndEnablesTheUnitOnce)
{
    EXPECT_FALSE(controller.isInstalled());
    ASSERT_EQ(controller.install(QString(), QString()), CVNServiceController::Done);
    EXPECT_TRUE(controller.isInstalled());

    const QString text = unitText(systemctl);
    const QString program = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    EXPECT_TRUE(text.contains(QStringLiteral("\nExecStart=") + program + QStringLiteral(" -e\n")))
        << qPrintable(text);
    EXPECT_TRUE(text.contains(QStringLiteral("Description=") + kDescription + QLatin1Char('\n')));
    EXPECT_TRUE(text.contains(QStringLiteral("\nType=notify\n")));
    EXPECT_TRUE(text.contains(QStringLiteral("\nWantedBy=multi-user.target\n")));
    EXPECT_FALSE(text.contains(QStringLiteral("User=")));
    EXPECT_EQ(systemctl.actions(),
        (QStringList { QStringLiteral("daemon-reload"), QStringLiteral("enable CorvaneService.service") }));

    systemctl.clearCalls();
    EXPECT_EQ(controller.install(QString(), QString()), CVNServiceController::AlreadyInstalled);
    EXPECT_TRUE(systemctl.actions().isEmpty());
}

TEST_F(ServiceControllerTest, InstallTurnsTheAccountIntoTheUnitsUser)
{
    const QString user = currentUser();
    ASSERT_FALSE(user.isEmpty());
    ASSERT_EQ(controller.install(QStringLiteral(".\\") + user, QStringLiteral("secret")),
        CVNServiceController::Done);
    EXPECT_TRUE(unitText(systemctl).contains(QStringLiteral("\nUser=") + user + QLatin1Char('\n')));
    EXPECT_FALSE(unitText(systemctl).contains(QStringLiteral("secret")));
}

TEST_F(ServiceControllerTest, InstallAsSystemAccountHasNoUser)
{
    ASSERT_EQ(controller.install(QStringLiteral("NT AUTHORITY\\LocalSystem"), QString()),
        CVNServiceController::Done);
    EXPECT_FALSE(unitText(systemctl).contains(QStringLiteral("User=")));
}

TEST_F(ServiceControllerTest, InstallRefusesAccountsThatAreNotUsers)
{
    for (const QString& account : { QStringLiteral("nobody\nExecStartPre=/bin/false"),
             QStringLiteral("no_such_corvane_user"), QStringLiteral("a b") }) {
        EXPECT_EQ(controller.install(account, QString()), CVNServiceController::Error) << qPrintable(account);
        EXPECT_FALSE(controller.isInstalled());
    }
    EXPECT_TRUE(systemctl.actions().isEmpty());
}

TEST_F(ServiceControllerTest, InstallReportsAccessDeniedAndLeavesNothingBehind)
{
    systemctl.fail(QStringLiteral("enable"), 1, "Failed to enable unit: Access denied");
    EXPECT_EQ(controller.install(QString(), QString()), CVNServiceController::AccessDenied);
    EXPECT_FALSE(controller.isInstalled());

    systemctl.fail(QStringLiteral("enable"), 1, "Failed to enable unit: Unit file is masked.");
    EXPECT_EQ(controller.install(QString(), QString()), CVNServiceController::Error);
    EXPECT_FALSE(controller.isInstalled());
}

TEST_F(ServiceControllerTest, InstallIntoAProtectedDirectoryIsAccessDenied)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root writes into any directory";
    ASSERT_TRUE(QFile::setPermissions(systemctl.unitDir(), QFile::ReadOwner | QFile::ExeOwner));
    EXPECT_EQ(controller.install(QString(), QString()), CVNServiceController::AccessDenied);
    QFile::setPermissions(systemctl.unitDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(ServiceControllerTest, WithoutSystemdNothingIsInstalledStartedOrStopped)
{
    systemctl.set(QStringLiteral("system"), "offline");
    systemctl.fail(
        QStringLiteral("is-active"), 1, "System has not been booted with systemd as init system (PID 1).");
    EXPECT_EQ(controller.install(QString(), QString()), CVNServiceController::Error);
    EXPECT_FALSE(controller.isInstalled());

    systemctl.placeUnit();
    EXPECT_FALSE(controller.isRunning());
    EXPECT_EQ(controller.start({ QStringLiteral("-e") }), CVNServiceController::ManagerMissing);
    EXPECT_EQ(controller.stop(), CVNServiceController::ManagerMissing);
    EXPECT_EQ(controller.uninstall(), CVNServiceController::Error);
    EXPECT_TRUE(controller.isInstalled());
    EXPECT_TRUE(systemctl.actions().isEmpty());
}

TEST_F(ServiceControllerTest, WithoutSystemctlOnPathEveryCommandFails)
{
    qputenv("PATH", "/nonexistent-corvane-bin");
    EXPECT_EQ(controller.install(QString(), QString()), CVNServiceController::Error);
    systemctl.placeUnit();
    EXPECT_FALSE(controller.isRunning());
    EXPECT_EQ(controller.start({ QStringLiteral("-e") }), CVNServiceController::ManagerMissing);
    EXPECT_EQ(controller.stop(), CVNServiceController::ManagerMissing);
    EXPECT_EQ(controller.uninstall(), CVNServiceController::Error);
}

TEST_F(ServiceControllerTest, RunningCoversEveryStateBetweenStartingAndStopped)
{
    for (const char* state : { "active", "activating", "reloading", "deactivating" }) {
        systemctl.setActive(state);
        EXPECT_TRUE(controller.isRunning()) << state;
    }
    for (const char* state : { "inactive", "failed", "unknown" }) {
        systemctl.setActive(state);
        EXPECT_FALSE(controller.isRunning()) << state;
    }
}

TEST_F(ServiceControllerTest, StartOutcomes)
{
    EXPECT_EQ(controller.start({ QStringLiteral("-e") }), CVNServiceController::NotInstalled);
    systemctl.placeUnit();
    EXPECT_EQ(controller.start({ QStringLiteral("-e") }), CVNServiceController::Done);
    EXPECT_TRUE(systemctl.actions().contains(QStringLiteral("start CorvaneService.service")));
    EXPECT_EQ(controller.start({ QStringLiteral("-e") }), CVNServiceController::AlreadyInState);

    systemctl.setActive("inactive");
    systemctl.fail(QStringLiteral("start"), 1, "Job for CorvaneService.service failed.");
    EXPECT_EQ(controller.start({ QStringLiteral("-e") }), CVNServiceController::Error);
}

TEST_F(ServiceControllerTest, StopOutcomes)
{
    EXPECT_EQ(controller.stop(), CVNServiceController::NotInstalled);
    systemctl.placeUnit();
    EXPECT_EQ(controller.stop(), CVNServiceController::AlreadyInState);
    systemctl.setActive("active");
    EXPECT_EQ(controller.stop(), CVNServiceController::Done);
    EXPECT_FALSE(controller.isRunning());

    systemctl.setActive("active");
    systemctl.fail(QStringLiteral("stop"), 1, "Failed to stop CorvaneService.service: Access denied");
    EXPECT_EQ(controller.stop(), CVNServiceController::Error);
}

TEST_F(ServiceControllerTest, StopThatLeavesTheServiceRunningIsAnError)
{
    systemctl.placeUnit();
    systemctl.setActive("active");
    systemctl.set(QStringLiteral("stop.keep"), "1");
    EXPECT_EQ(controller.stop(), CVNServiceController::Error);
    int polls = 0;
    for (const QString& call : systemctl.calls())
        polls += call == QLatin1String("is-active CorvaneService.service") ? 1 : 0;
    // One look before stopping, then the bounded polling.
    EXPECT_EQ(polls, 1 + CVNServiceController::kStopPollCount);
}

TEST_F(ServiceControllerTest, UninstallOutcomes)
{
    systemctl.placeUnit();
    systemctl.setActive("active");
    EXPECT_EQ(controller.uninstall(), CVNServiceController::StillRunning);
    EXPECT_TRUE(controller.isInstalled());

    systemctl.setActive("inactive");
    systemctl.fail(QStringLiteral("disable"), 1, "Failed to disable unit: Access denied");
    EXPECT_EQ(controller.uninstall(), CVNServiceController::AccessDenied);
    EXPECT_TRUE(controller.isInstalled());

    QFile::remove(systemctl.stateDir() + QStringLiteral("/disable.rc"));
    systemctl.clearCalls();
    EXPECT_EQ(controller.uninstall(), CVNServiceController::Done);
    EXPECT_FALSE(controller.isInstalled());
    EXPECT_EQ(systemctl.actions(),
        (QStringList { QStringLiteral("disable CorvaneService.service"), QStringLiteral("daemon-reload") }));
}

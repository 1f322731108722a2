#include "qtprinters.h"
#include "standinsystemctl.h"

#include "service/servicecontroller.h"

#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

// The outcome texts of every command are checked on the real program against
// the same stand-in (tests/integration/service); these cover what the tool's
// output does not show: the unit written, the systemctl calls and their order.
namespace
{

const QString kDescription = "Corvane Service application, the centralized application";

class ServiceControllerTest : public ::testing::Test
{
protected:
    QString unitText() const
    {
        QFile f(systemctl.unitFile());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    StandInSystemctl systemctl;
    CVNServiceController controller { "CorvaneService", kDescription };
};

} // namespace

TEST_F(ServiceControllerTest, InstallAndUninstallWriteTheUnitAndCallSystemctlInOrder)
{
    EXPECT_FALSE(controller.isInstalled());
    ASSERT_EQ(controller.install(QString(), QString()), CVNServiceController::Done);
    EXPECT_TRUE(controller.isInstalled());
    const QString text = unitText();
    const QString program = QFileInfo("/proc/self/exe").canonicalFilePath();
    EXPECT_TRUE(text.contains("\nExecStart=" + program + " -e\n")) << qPrintable(text);
    // The rest of the text is the shipped unit's (ServiceUnit tests); the
    // service runs as the package's user, or one systemd lends it.
    EXPECT_TRUE(text.contains(::getpwnam("corvane") ? "\nUser=corvane\n" : "\nDynamicUser=yes\n")) << qPrintable(text);
    EXPECT_EQ(systemctl.actions(), (QStringList { "daemon-reload", "enable CorvaneService.service" }));

    systemctl.clearCalls();
    EXPECT_EQ(controller.install(QString(), QString()), CVNServiceController::AlreadyInstalled);
    EXPECT_TRUE(systemctl.actions().isEmpty());

    EXPECT_EQ(controller.uninstall(), CVNServiceController::Done);
    EXPECT_FALSE(controller.isInstalled());
    EXPECT_EQ(systemctl.actions(), (QStringList { "disable CorvaneService.service", "daemon-reload" }));
}

TEST_F(ServiceControllerTest, InstallRefusesAccountsThatAreNotUsers)
{
    for (const QString& account : { "nobody\nExecStartPre=/bin/false", "no_such_corvane_user", "a b" }) {
        EXPECT_EQ(controller.install(account, QString()), CVNServiceController::Error) << qPrintable(account);
        EXPECT_FALSE(controller.isInstalled());
    }
    EXPECT_TRUE(systemctl.actions().isEmpty());
}

TEST_F(ServiceControllerTest, FailedInstallLeavesNothingBehind)
{
    systemctl.fail("enable", 1, "Failed to enable unit: Access denied");
    EXPECT_EQ(controller.install(QString(), QString()), CVNServiceController::AccessDenied);
    EXPECT_FALSE(controller.isInstalled());

    systemctl.fail("enable", 1, "Failed to enable unit: Unit file is masked.");
    EXPECT_EQ(controller.install(QString(), QString()), CVNServiceController::Error);
    EXPECT_FALSE(controller.isInstalled());

    if (::geteuid() == 0)
        return; // root writes into any directory
    QFile::remove(systemctl.stateDir() + "/enable.rc");
    ASSERT_TRUE(QFile::setPermissions(systemctl.unitDir(), QFile::ReadOwner | QFile::ExeOwner));
    EXPECT_EQ(controller.install(QString(), QString()), CVNServiceController::AccessDenied);
    QFile::setPermissions(systemctl.unitDir(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

TEST_F(ServiceControllerTest, WithoutSystemdOrSystemctlNothingIsChanged)
{
    for (const bool systemctlMissing : { false, true }) {
        QFile::remove(systemctl.unitFile());
        if (systemctlMissing) {
            QFile::remove(systemctl.stateDir() + "/system");
            QFile::remove(systemctl.stateDir() + "/is-active.rc");
            qputenv("PATH", "/nonexistent-corvane-bin");
        } else {
            systemctl.set("system", "offline");
            systemctl.fail("is-active", 1, "System has not been booted with systemd as init system (PID 1).");
        }
        EXPECT_EQ(controller.install(QString(), QString()), CVNServiceController::Error);
        EXPECT_FALSE(controller.isInstalled());

        systemctl.placeUnit();
        EXPECT_FALSE(controller.isRunning());
        EXPECT_EQ(controller.start({ "-e" }), CVNServiceController::ManagerMissing);
        EXPECT_EQ(controller.stop(), CVNServiceController::ManagerMissing);
        EXPECT_EQ(controller.uninstall(), CVNServiceController::Error);
        EXPECT_TRUE(controller.isInstalled());
        EXPECT_TRUE(systemctl.actions().isEmpty());
    }
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

TEST_F(ServiceControllerTest, StopThatLeavesTheServiceRunningIsAnError)
{
    systemctl.placeUnit();
    systemctl.setActive("active");
    systemctl.set("stop.keep", "1");
    EXPECT_EQ(controller.stop(), CVNServiceController::Error);
    // One look before stopping, then the bounded polling.
    EXPECT_EQ(systemctl.calls().count("is-active CorvaneService.service"), 1 + CVNServiceController::kStopPollCount);
}

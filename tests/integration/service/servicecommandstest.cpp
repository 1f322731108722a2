// The service commands of the command-line tool, run as the real program
// against a stand-in systemctl: each outcome's text and exit code.
#include "../../unit/service/qtprinters.h"
#include "../../unit/service/standinsystemctl.h"

#include <QFile>
#include <QProcess>
#include <gtest/gtest.h>

#include <pwd.h>
#include <unistd.h>

namespace
{

const QString kProgram = CORVANE_BIN_DIR "/CorvaneService";
constexpr int kToolTimeoutMs = 30000;
constexpr int kFailedExit = 255; // -1
constexpr int kErrorExit = 4; // the option result Error

QString message(const QString& tail) { return "The service CorvaneService" + tail; }

class ServiceCommandsTest : public ::testing::Test
{
protected:
    void expectRun(const QStringList& arguments, const QString& output, int exitCode)
    {
        QProcess process;
        process.start(kProgram, arguments);
        const bool finished = process.waitForFinished(kToolTimeoutMs);
        if (!finished)
            process.kill();
        ASSERT_TRUE(finished && process.exitStatus() == QProcess::NormalExit) << qPrintable(arguments.join(' '));
        EXPECT_EQ(QString::fromLocal8Bit(process.readAllStandardOutput()), output) << qPrintable(arguments.join(' '));
        EXPECT_EQ(process.exitCode(), exitCode) << qPrintable(arguments.join(' '));
    }
    QByteArray unitFile() const
    {
        QFile unit(systemctl.unitFile());
        return unit.open(QIODevice::ReadOnly) ? unit.readAll() : QByteArray();
    }
    void succeed(const QString& verb) const { QFile::remove(systemctl.stateDir() + '/' + verb + ".rc"); }

    StandInSystemctl systemctl;
};

} // namespace

TEST_F(ServiceCommandsTest, InstallOutcomes)
{
    systemctl.fail("enable", 1, "Failed to enable unit: Access denied");
    expectRun({ "-i" }, "Please check your permissions to install.\n", kFailedExit);
    succeed("enable");

    systemctl.set("system", "offline");
    expectRun({ "--install" }, message(" could not be installed.\n"), kFailedExit);
    systemctl.set("system", "degraded");

    expectRun({ "--install" }, message(" has been installed.\n"), 0);
    EXPECT_TRUE(unitFile().contains("\nExecStart=" + QFile::encodeName(kProgram) + " -e\n"));
    expectRun({ "-i" }, message(" is already installed.\n"), 0);
}

TEST_F(ServiceCommandsTest, InstallTakesTheAccountFromTheThirdValue)
{
    const passwd* entry = ::getpwuid(::geteuid());
    ASSERT_NE(entry, nullptr);
    const QString user = QString::fromLocal8Bit(entry->pw_name);
    expectRun({ "-i", "x", "y", ".\\" + user, "password" }, message(" has been installed.\n"), 0);
    EXPECT_TRUE(unitFile().contains("\nUser=" + user.toLocal8Bit() + "\n"));
    EXPECT_FALSE(unitFile().contains("password"));
}

TEST_F(ServiceCommandsTest, UninstallOutcomes)
{
    expectRun({ "-u" }, message(" is not installed.\n"), 0);

    systemctl.placeUnit();
    systemctl.setActive("active");
    expectRun({ "-u" }, "Please stop CorvaneService first.\n", kFailedExit);
    systemctl.setActive("inactive");

    systemctl.fail("disable", 1, "Failed to disable unit: Access denied");
    expectRun({ "--uninstall" }, "Please check your permissions to uninstall.\n", kFailedExit);
    systemctl.fail("disable", 1, "Failed to disable unit: Unit file is masked.");
    expectRun({ "--uninstall" }, message(" could not be uninstalled.\n"), kFailedExit);
    succeed("disable");

    expectRun({ "-u" }, message(" has been uninstalled.\n"), 0);
    EXPECT_FALSE(QFile::exists(systemctl.unitFile()));
}

TEST_F(ServiceCommandsTest, StartOutcomesAndTheirExitCodes)
{
    expectRun({ "-s" }, message(" is not installed and could not be started.\n"), kErrorExit);
    systemctl.placeUnit();
    systemctl.fail("start", 1, "Job for CorvaneService.service failed.");
    expectRun({ "-s" }, message(" has an error and could not be started. Please check your permissions.\n"), kErrorExit);
    succeed("start");

    expectRun({ "--start" }, message(" has been started.\n"), 0);
    EXPECT_TRUE(systemctl.actions().contains("start CorvaneService.service"));
    expectRun({ "--start" }, message(" is already started.\n"), kErrorExit);

    systemctl.setActive("inactive");
    systemctl.set("system", "offline");
    expectRun({ "-s" }, message(" could not be started.\n"), kErrorExit);
}

TEST_F(ServiceCommandsTest, TerminateOutcomesAndTheirExitCodes)
{
    expectRun({ "-t" }, message(" is not installed and could not be stopped\n"), kErrorExit);
    systemctl.placeUnit();
    expectRun({ "-t" }, message(" is already stopped.\n"), kErrorExit);

    systemctl.setActive("active");
    systemctl.fail("stop", 1, "Failed to stop CorvaneService.service: Access denied");
    expectRun({ "--terminate" }, message(" has an error and could not be stopped. Please check your permissions.\n"), kErrorExit);
    succeed("stop");

    expectRun({ "--terminate" }, message(" has been stopped.\n"), 0);

    systemctl.setActive("active");
    systemctl.set("system", "offline");
    expectRun({ "-t" }, message(" could not be stopped.\n"), kErrorExit);
}

// A malformed option's text and exit code are checked end to end.
TEST_F(ServiceCommandsTest, LeftoverOptionsAfterAFailedCommand)
{
    // A failed command ends the run; what follows was not executed.
    expectRun({ "-s", "--version", "-x" },
        message(" is not installed and could not be started.\n") + "Unknown or not executed option(s): version, x\n",
        kErrorExit);
    EXPECT_TRUE(systemctl.actions().isEmpty());
}

// After the package is installed, every service command works on its unit.
TEST_F(ServiceCommandsTest, PackagedUnitIsTheService)
{
    systemctl.placePackagedUnit();
    expectRun({ "-s" }, message(" is not installed and could not be started.\n"), kErrorExit); // shipped, not enabled
    // An account of the caller's choice needs a unit of its own.
    expectRun({ "-i", "x", "y", "root" }, message(" could not be installed.\n"), kFailedExit);
    EXPECT_FALSE(systemctl.enabled());
    expectRun({ "--install" }, message(" has been installed.\n"), 0);
    EXPECT_TRUE(unitFile().isEmpty()) << "a second unit would shadow the package's";
    EXPECT_TRUE(systemctl.enabled());
    expectRun({ "-i" }, message(" is already installed.\n"), 0);
    expectRun({ "--start" }, message(" has been started.\n"), 0);
    expectRun({ "--terminate" }, message(" has been stopped.\n"), 0);
    systemctl.clearCalls();
    expectRun({ "--uninstall" }, message(" has been uninstalled.\n"), 0);
    EXPECT_EQ(systemctl.actions(), QStringList { "disable CorvaneService.service" });
    EXPECT_FALSE(systemctl.enabled());
    EXPECT_TRUE(QFile::exists(systemctl.packagedUnitFile()));
    expectRun({ "-u" }, message(" is not installed.\n"), 0);
}

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

const QString kProgram = QStringLiteral(CORVANE_BIN_DIR "/CorvaneService");
constexpr int kToolTimeoutMs = 30000;

struct ToolRun {
    QString output;
    int exitCode = -1000;
};

ToolRun runTool(const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(kProgram, arguments);
    ToolRun run;
    if (!process.waitForFinished(kToolTimeoutMs) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished(kToolTimeoutMs);
        return run;
    }
    run.output = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.exitCode = process.exitCode();
    return run;
}

QString message(const QString& tail)
{
    return QStringLiteral("The service CorvaneService") + tail;
}

class ServiceCommandsTest : public ::testing::Test
{
protected:
    void expectRun(const QStringList& arguments, const QString& output, int exitCode)
    {
        const ToolRun run = runTool(arguments);
        EXPECT_EQ(run.output, output) << qPrintable(arguments.join(QLatin1Char(' ')));
        EXPECT_EQ(run.exitCode, exitCode) << qPrintable(arguments.join(QLatin1Char(' ')));
    }

    StandInSystemctl systemctl;
};

constexpr int kFailedExit = 255; // -1
constexpr int kMalformedExit = 254; // -2

} // namespace

TEST_F(ServiceCommandsTest, InstallOutcomes)
{
    systemctl.fail(QStringLiteral("enable"), 1, "Failed to enable unit: Access denied");
    expectRun(
        { QStringLiteral("-i") }, QStringLiteral("Please check your permissions to install.\n"), kFailedExit);
    QFile::remove(systemctl.stateDir() + QStringLiteral("/enable.rc"));

    systemctl.set(QStringLiteral("system"), "offline");
    expectRun(
        { QStringLiteral("--install") }, message(QStringLiteral(" could not be installed.\n")), kFailedExit);
    systemctl.set(QStringLiteral("system"), "degraded");

    expectRun({ QStringLiteral("--install") }, message(QStringLiteral(" has been installed.\n")), 0);
    QFile unit(systemctl.unitFile());
    ASSERT_TRUE(unit.open(QIODevice::ReadOnly));
    EXPECT_TRUE(unit.readAll().contains("\nExecStart=" + QFile::encodeName(kProgram) + " -e\n"));

    expectRun({ QStringLiteral("-i") }, message(QStringLiteral(" is already installed.\n")), 0);
}

TEST_F(ServiceCommandsTest, InstallTakesTheAccountFromTheThirdValue)
{
    const passwd* entry = ::getpwuid(::geteuid());
    ASSERT_NE(entry, nullptr);
    const QString user = QString::fromLocal8Bit(entry->pw_name);
    expectRun({ QStringLiteral("-i"), QStringLiteral("x"), QStringLiteral("y"), QStringLiteral(".\\") + user,
                  QStringLiteral("password") },
        message(QStringLiteral(" has been installed.\n")), 0);
    QFile unit(systemctl.unitFile());
    ASSERT_TRUE(unit.open(QIODevice::ReadOnly));
    EXPECT_TRUE(unit.readAll().contains("\nUser=" + user.toLocal8Bit() + "\n"));
}

TEST_F(ServiceCommandsTest, UninstallOutcomes)
{
    expectRun({ QStringLiteral("-u") }, message(QStringLiteral(" is not installed.\n")), 0);

    systemctl.placeUnit();
    systemctl.setActive("active");
    expectRun({ QStringLiteral("-u") }, QStringLiteral("Please stop CorvaneService first.\n"), kFailedExit);
    systemctl.setActive("inactive");

    systemctl.fail(QStringLiteral("disable"), 1, "Failed to disable unit: Access denied");
    expectRun({ QStringLiteral("--uninstall") },
        QStringLiteral("Please check your permissions to uninstall.\n"), kFailedExit);
    systemctl.fail(QStringLiteral("disable"), 1, "Failed to disable unit: Unit file is masked.");
    expectRun({ QStringLiteral("--uninstall") }, message(QStringLiteral(" could not be uninstalled.\n")),
        kFailedExit);
    QFile::remove(systemctl.stateDir() + QStringLiteral("/disable.rc"));

    expectRun({ QStringLiteral("-u") }, message(QStringLiteral(" has been uninstalled.\n")), 0);
    EXPECT_FALSE(QFile::exists(systemctl.unitFile()));
}

TEST_F(ServiceCommandsTest, StartOutcomesLeaveTheExitCodeAlone)
{
    expectRun({ QStringLiteral("-s") },
        message(QStringLiteral(" is not installed and could not be started.\n")), 0);
    systemctl.placeUnit();
    systemctl.fail(QStringLiteral("start"), 1, "Job for CorvaneService.service failed.");
    expectRun({ QStringLiteral("-s") },
        message(QStringLiteral(" has an error and could not be started. Please check your permissions.\n")),
        0);
    QFile::remove(systemctl.stateDir() + QStringLiteral("/start.rc"));

    expectRun({ QStringLiteral("--start") }, message(QStringLiteral(" has been started.\n")), 0);
    EXPECT_TRUE(systemctl.actions().contains(QStringLiteral("start CorvaneService.service")));
    expectRun({ QStringLiteral("--start") }, message(QStringLiteral(" is already started.\n")), 0);

    systemctl.setActive("inactive");
    systemctl.set(QStringLiteral("system"), "offline");
    expectRun({ QStringLiteral("-s") }, message(QStringLiteral(" could not be started.\n")), 0);
}

TEST_F(ServiceCommandsTest, TerminateOutcomesLeaveTheExitCodeAlone)
{
    expectRun(
        { QStringLiteral("-t") }, message(QStringLiteral(" is not installed and could not be stopped\n")), 0);
    systemctl.placeUnit();
    expectRun({ QStringLiteral("-t") }, message(QStringLiteral(" is already stopped.\n")), 0);

    systemctl.setActive("active");
    systemctl.fail(QStringLiteral("stop"), 1, "Failed to stop CorvaneService.service: Access denied");
    expectRun({ QStringLiteral("--terminate") },
        message(QStringLiteral(" has an error and could not be stopped. Please check your permissions.\n")),
        0);
    QFile::remove(systemctl.stateDir() + QStringLiteral("/stop.rc"));

    expectRun({ QStringLiteral("--terminate") }, message(QStringLiteral(" has been stopped.\n")), 0);

    systemctl.setActive("active");
    systemctl.set(QStringLiteral("system"), "offline");
    expectRun({ QStringLiteral("-t") }, message(QStringLiteral(" could not be stopped.\n")), 0);
}

TEST_F(ServiceCommandsTest, CommandLineErrorsAndLeftoverOptions)
{
    expectRun({ QStringLiteral("-install") }, QStringLiteral(" Malformed dash option.\n"), kMalformedExit);
    // A failed command ends the run; what follows was not executed.
    expectRun({ QStringLiteral("-s"), QStringLiteral("--version"), QStringLiteral("-x") },
        message(QStringLiteral(" is not installed and could not be started.\n"))
            + QStringLiteral("Unknown or not executed option(s): version, x\n"),
        0);
    EXPECT_TRUE(systemctl.actions().isEmpty());
}

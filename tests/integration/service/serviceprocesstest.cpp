// The program itself in both roles: the service started as systemd starts
// it (with "-e" and a notify socket), on simulated controllers, and the
// command-line tool asking it for its version.
#include "../../unit/service/standinsystemctl.h"
#include "notifysocket.h"
#include "simprocess.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSysInfo>
#include <gtest/gtest.h>

#include <csignal>

namespace
{

const QString kProgram = QStringLiteral(CORVANE_BIN_DIR "/CorvaneService");
constexpr int kWaitMs = 10000;

} // namespace

TEST(ServiceProcess, ServesTheToolPausesAndContinuesUntilSystemdStopsIt)
{
    StandInSystemctl systemctl;
    SimProcess simulator({ "vasta:CVN000000042:2.005" });
    ASSERT_TRUE(simulator.isRunning());
    NotifySocket notify;
    ASSERT_TRUE(notify.bound());

    QProcess service;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("NOTIFY_SOCKET"), notify.path());
    environment.insert(QStringLiteral("CORVANE_SIM_SOCKET"), simulator.socketPath());
    service.setProcessEnvironment(environment);
    service.start(kProgram, { QStringLiteral("-e") });
    ASSERT_TRUE(service.waitForStarted(kWaitMs));
    EXPECT_EQ(notify.next(), "STATUS=Starting");
    ASSERT_EQ(notify.next(), "READY=1\nSTATUS=Running");

    QProcess tool;
    tool.start(kProgram, { QStringLiteral("--version") });
    ASSERT_TRUE(tool.waitForFinished(30000));
    EXPECT_EQ(tool.exitCode(), 0);
    const QStringList lines = QString::fromLocal8Bit(tool.readAllStandardOutput()).split(QLatin1Char('\n'));
    ASSERT_GE(lines.size(), 3);
    const QRegularExpression versionLine(
        QStringLiteral("^CorvaneService version 1\\.1\\.0 \\([0-9a-f]{7}\\) \\(\\w+\\) \\(Linux-")
        + QRegularExpression::escape(QSysInfo::buildCpuArchitecture()) + QStringLiteral("\\)$"));
    EXPECT_TRUE(versionLine.match(lines.at(0)).hasMatch()) << qPrintable(lines.at(0));
    // The build identifier is the commit that was built, however the build
    // folder was configured.
    QProcess git;
    git.start(QStringLiteral("git"), { QStringLiteral("-C"), QStringLiteral(CORVANE_SOURCE_DIR), QStringLiteral("rev-parse"),
                                         QStringLiteral("--short=7"), QStringLiteral("HEAD") });
    if (git.waitForFinished(kWaitMs) && git.exitStatus() == QProcess::NormalExit && git.exitCode() == 0) {
        const QString head = QString::fromLatin1(git.readAllStandardOutput()).trimmed();
        EXPECT_TRUE(lines.at(0).contains(QStringLiteral(" (") + head + QStringLiteral(") ")))
            << qPrintable(lines.at(0)) << " built from " << qPrintable(head);
    }
    EXPECT_EQ(lines.at(1), QStringLiteral("The service CorvaneService is not installed and not running"));
    // The running service answered, so the tool found it.
    EXPECT_FALSE(lines.contains(QStringLiteral("No service found")));

    // Ctrl+Z and fg (SIGTSTP, SIGCONT) leave the service listening as
    // stored: local clients only unless the network was allowed.
    const auto allowNetwork = [](const QStringList& values) {
        QProcess tool;
        tool.start(kProgram, QStringList { QStringLiteral("--allow-network") } + values);
        return tool.waitForFinished(30000) ? QString::fromLocal8Bit(tool.readAllStandardOutput()) : QString();
    };
    const auto pauseAndContinue = [&] {
        ASSERT_EQ(::kill(pid_t(service.processId()), SIGTSTP), 0);
        ASSERT_EQ(notify.next(), "STATUS=Paused");
        ASSERT_EQ(::kill(pid_t(service.processId()), SIGCONT), 0);
        ASSERT_EQ(notify.next(), "STATUS=Running");
    };
    pauseAndContinue();
    EXPECT_EQ(allowNetwork({}), "False, listening to localhost clients only.\n");

    EXPECT_EQ(allowNetwork({ "true" }), "True, listening to network clients.\n");
    pauseAndContinue();
    EXPECT_EQ(allowNetwork({}), "True, listening to network clients.\n");
    EXPECT_EQ(allowNetwork({ "false" }),
        "False, listening to localhost clients only. Please restart the service to take effect.\n");

    ASSERT_EQ(::kill(pid_t(service.processId()), SIGTERM), 0);
    EXPECT_EQ(notify.next(), "STOPPING=1\nSTATUS=Stopping");
    ASSERT_TRUE(service.waitForFinished(kWaitMs));
    EXPECT_EQ(service.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(service.exitCode(), 0);
}

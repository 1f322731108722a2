// The program in both roles as a user meets it: `CorvaneService -e` on two
// simulated controllers, and the command-line tool run against it, checked
// by what the tool prints and how it exits.
#include "../../unit/service/qtprinters.h"
#include "runningservice.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <gtest/gtest.h>

#include <csignal>

namespace
{

constexpr int kMalformedExit = 254; // -2 as a process exit status
constexpr int kErrorExit = 4; // the option result Error

QString notExecuted(const QString& names)
{
    return QStringLiteral("Unknown or not executed option(s): ") + names + QLatin1Char('\n');
}

class EndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service.start()) << "the service did not come up with both controllers";
    }
    void TearDown() override
    {
        if (!serviceKilled)
            EXPECT_EQ(service.stop(), 0) << "exit code of the service after SIGTERM";
    }

    ToolRun tool(const QStringList& arguments) const
    {
        const ToolRun run = service.tool(arguments);
        EXPECT_TRUE(run.finished) << qPrintable(arguments.join(QLatin1Char(' ')));
        return run;
    }

    RunningService service;
    bool serviceKilled = false;
};

} // namespace

TEST_F(EndToEnd, CommandLineModes)
{
    // No arguments is the help, which merges the service's own modules.
    const ToolRun help = tool({});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(
        help.output.startsWith(QStringLiteral("This is the CorvaneService (Corvane Service application, "
                                              "the centralized application to communicate with Corvane "
                                              "devices).\nUsage: CorvaneService commands OPTIONS...\n")))
        << qPrintable(help.output);
    for (const char* option :
        { "--install", "--help", "--host", "--device-list", "--allow-network", "--list-clients" })
        EXPECT_TRUE(help.output.contains(QLatin1String(option))) << option;
    EXPECT_EQ(tool({ QStringLiteral("--help") }).output, help.output);

    // "-e" with anything after it is the tool, which has no option e.
    const ToolRun notService = tool({ QStringLiteral("-e"), QStringLiteral("extra") });
    EXPECT_EQ(notService.output, notExecuted(QStringLiteral("e")));
    EXPECT_EQ(notService.exitCode, 0);

    const ToolRun malformed = tool({ QStringLiteral("-install") });
    EXPECT_EQ(malformed.output, QStringLiteral(" Malformed dash option.\n"));
    EXPECT_EQ(malformed.exitCode, kMalformedExit);

    // A good option runs; the unknown one after it is reported, not run.
    const ToolRun leftover = tool({ QStringLiteral("--device-list"), QStringLiteral("--no-such-option") });
    EXPECT_TRUE(leftover.output.contains(RunningService::kVasta)) << qPrintable(leftover.output);
    EXPECT_TRUE(leftover.output.endsWith(notExecuted(QStringLiteral("no-such-option"))))
        << qPrintable(leftover.output);
    EXPECT_EQ(leftover.exitCode, 0);
}

TEST_F(EndToEnd, DeviceListSelectionAndHelp)
{
    const ToolRun list = tool({ QStringLiteral("--device-list") });
    EXPECT_EQ(list.exitCode, 0);
    const QRegularExpression vastaRow(QStringLiteral("\\n  0 Vasta +0200000001A3 Hid +unlocked\\n"));
    const QRegularExpression twinPointRow(QStringLiteral("\\n  1 TwinPoint +0C00000002B7 Hid +unlocked\\n"));
    EXPECT_TRUE(list.output.startsWith(QStringLiteral("devices_list:\n"))) << qPrintable(list.output);
    EXPECT_TRUE(vastaRow.match(list.output).hasMatch()) << qPrintable(list.output);
    EXPECT_TRUE(twinPointRow.match(list.output).hasMatch()) << qPrintable(list.output);

    EXPECT_EQ(tool({ QStringLiteral("--device"), RunningService::kTwinPoint }).output,
        QStringLiteral("The selected device is: 0C00000002B7 selected\n"));
    // By order number, counted from 0.
    EXPECT_EQ(tool({ QStringLiteral("-d"), QStringLiteral("1") }).output,
        QStringLiteral("The device: 0C00000002B7 is selected\n"));
    EXPECT_EQ(tool({ QStringLiteral("--device"), QStringLiteral("0200000001A4") }).output,
        QStringLiteral("d: 0200000001A4 not found\n"));
    // Each run is a new session, which starts on the lowest serial number.
    EXPECT_EQ(tool({ QStringLiteral("--device") }).output,
        QStringLiteral("The selected device is: 0200000001A3\n"));
    EXPECT_TRUE(tool({ QStringLiteral("--device-help") })
                    .output.startsWith(QStringLiteral("g:\n\"Vasta 0200000001A3 Hid\" basic options\n")));
    EXPECT_TRUE(tool({ QStringLiteral("-d"), QStringLiteral("1"), QStringLiteral("-g") })
                    .output.startsWith(QStringLiteral("The device: 0C00000002B7 is selected\n"
                                                      "g:\n\"TwinPoint 0C00000002B7 Hid\" basic options\n")));

    const ToolRun help
        = tool({ QStringLiteral("--device"), RunningService::kVasta, QStringLiteral("--device-help") });
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.output.startsWith(QStringLiteral("The selected device is: 0200000001A3 selected\n"
                                                      "g:\n\"Vasta 0200000001A3 Hid\" basic options\n")))
        << qPrintable(help.output);
    const QRegularExpression thLine(QStringLiteral("\\n --th \\[int\\] +Touch threshold"));
    EXPECT_TRUE(thLine.match(help.output).hasMatch()) << qPrintable(help.output);
    // Sorted by command word.
    EXPECT_LT(help.output.indexOf(QStringLiteral(" --gain ")), help.output.indexOf(QStringLiteral(" --th ")));

    EXPECT_EQ(tool({ QStringLiteral("--device"), RunningService::kVasta, QStringLiteral("--device-help"),
                       QStringLiteral("nosuchview") })
                  .output,
        QStringLiteral("The selected device is: 0200000001A3 selected\nview not found\n"));
}

TEST_F(EndToEnd, DeviceCommandsReadAndWriteTheController)
{
    const QStringList vasta = { QStringLiteral("--device"), RunningService::kVasta };
    const QString selected = QStringLiteral("The selected device is: 0200000001A3 selected\n");
    const QString before = service.sim().registerValue(RunningService::kVasta, QStringLiteral("th"));
    ASSERT_FALSE(before.isEmpty());
    ASSERT_NE(before, QStringLiteral("45"));

    EXPECT_EQ(tool(vasta + QStringList { QStringLiteral("--th") }).output,
        selected + QStringLiteral("th: ") + before + QLatin1Char('\n'));
    const ToolRun write = tool(vasta + QStringList { QStringLiteral("--th"), QStringLiteral("45") });
    EXPECT_EQ(write.output, selected + QStringLiteral("th: 45\n"));
    EXPECT_EQ(write.exitCode, 0);
    EXPECT_EQ(
        service.sim().registerValue(RunningService::kVasta, QStringLiteral("th")), QStringLiteral("45"));
    // A new session reads it back; the other controller is untouched.
    EXPECT_EQ(
        tool(vasta + QStringList { QStringLiteral("--th") }).output, selected + QStringLiteral("th: 45\n"));
    EXPECT_NE(
        service.sim().registerValue(RunningService::kTwinPoint, QStringLiteral("th")), QStringLiteral("45"));

    // A value set on the controller behind the service's back shows after
    // the cache is cleared.
    ASSERT_TRUE(service.sim().control(
        { QStringLiteral("set"), RunningService::kVasta, QStringLiteral("th"), QStringLiteral("47") }));
    const ToolRun refreshed
        = tool(vasta + QStringList { QStringLiteral("--device-cache"), QStringLiteral("--th") });
    EXPECT_TRUE(refreshed.output.startsWith(selected + QStringLiteral("device 0200000001A3: cache cleared")))
        << qPrintable(refreshed.output);
    EXPECT_TRUE(refreshed.output.endsWith(QStringLiteral("th: 47\n"))) << qPrintable(refreshed.output);

    // A word the controller does not know stays pending and is reported.
    EXPECT_EQ(tool(vasta + QStringList { QStringLiteral("--nosuchword"), QStringLiteral("1") }).output,
        selected + notExecuted(QStringLiteral("nosuchword")));
    // Without --device the command goes to the lowest serial number; the
    // other controller is reached by selecting it.
    EXPECT_EQ(tool({ QStringLiteral("--th") }).output, QStringLiteral("th: 47\n"));
    const QString twinPointTh = service.sim().registerValue(RunningService::kTwinPoint, QStringLiteral("th"));
    EXPECT_EQ(tool({ QStringLiteral("-d"), RunningService::kTwinPoint, QStringLiteral("--th") }).output,
        QStringLiteral("The selected device is: 0C00000002B7 selected\nth: ") + twinPointTh
            + QLatin1Char('\n'));
}

TEST_F(EndToEnd, ConnectionOptions)
{
    // The tool asking is the one client. Its type arrives by a separate
    // datagram that may come after the command.
    const ToolRun clients = tool({ QStringLiteral("--list-clients") });
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^n:\\n\\t0: (VeilCLI|Unknown) 127\\.0\\.0\\.1:\\d+\\n$"))
                    .match(clients.output)
                    .hasMatch())
        << qPrintable(clients.output);
    EXPECT_EQ(clients.exitCode, 0);

    const ToolRun ping
        = tool({ QStringLiteral("--host"), QStringLiteral("127.0.0.1"), QStringLiteral("--ping") });
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Connected to service: 127\\.0\\.0\\.1:\\d+\\n"
                                                  "Host 127\\.0\\.0\\.1 is alive\\. Time=\\d+ms\\n$"))
                    .match(ping.output)
                    .hasMatch())
        << qPrintable(ping.output);
    EXPECT_EQ(ping.exitCode, 0);

    EXPECT_EQ(tool({ QStringLiteral("--discover-network"), QStringLiteral("maybe") }).output,
        QStringLiteral("Invalid arguments\n"));

    const QString localOnly = QStringLiteral("False, listening to localhost clients only.");
    const QString network = QStringLiteral("True, listening to network clients.\n");
    EXPECT_EQ(tool({ QStringLiteral("--allow-network") }).output, localOnly + QLatin1Char('\n'));
    EXPECT_EQ(tool({ QStringLiteral("--allow-network"), QStringLiteral("TRUE") }).output,
        QStringLiteral("Invalid arguments\n"));
    EXPECT_EQ(tool({ QStringLiteral("--allow-network"), QStringLiteral("true") }).output, network);
    // Still found locally while listening on every address, and stored.
    EXPECT_EQ(tool({ QStringLiteral("--allow-network") }).output, network);
    QSettings stored(
        service.configHome() + QStringLiteral("/Corvane/CorvaneService.conf"), QSettings::IniFormat);
    EXPECT_EQ(stored.value(QStringLiteral("ApplicationServer/communication/listen-type")).toInt(), 4);

    const QString restartNotice = localOnly + QStringLiteral(" Please restart the service to take effect.\n");
    EXPECT_EQ(tool({ QStringLiteral("--allow-network"), QStringLiteral("false") }).output, restartNotice);
    EXPECT_EQ(tool({ QStringLiteral("--allow-network"), QStringLiteral("no") }).output, restartNotice);
    EXPECT_EQ(tool({ QStringLiteral("--allow-network") }).output, localOnly + QLatin1Char('\n'));
    stored.sync();
    EXPECT_EQ(stored.value(QStringLiteral("ApplicationServer/communication/listen-type")).toInt(), 2);
}

TEST_F(EndToEnd, ServiceLostMidCommandThenNoServiceAtAll)
{
    // A silent controller holds the service inside the transfer of the
    // command, so it dies with the request read but unanswered.
    const qint64 simulator = service.simulatorPid();
    ASSERT_NE(simulator, 0);
    ASSERT_EQ(::kill(pid_t(simulator), SIGSTOP), 0);
    QProcess lost;
    service.startTool(lost,
        { QStringLiteral("--device"), RunningService::kVasta, QStringLiteral("--th"), QStringLiteral("44") });
    const bool inTransfer = service.waitUntilInDeviceTransfer(15000);
    ::kill(pid_t(service.pid()), SIGKILL);
    serviceKilled = true;
    const ToolRun lostRun = RunningService::finish(lost);
    ::kill(pid_t(simulator), SIGCONT);
    if (inTransfer) {
        EXPECT_TRUE(QRegularExpression(QStringLiteral("^Connection 127\\.0\\.0\\.1:\\d+ lost\\n"))
                        .match(lostRun.output)
                        .hasMatch())
            << qPrintable(lostRun.output);
        EXPECT_FALSE(lostRun.output.contains(QStringLiteral("th: ")));
        EXPECT_TRUE(lostRun.finished);
        EXPECT_EQ(lostRun.exitCode, kErrorExit);
    }

    // Nobody answers now: the help waits for its service in vain, a command
    // for its answer; both give up after the tool's own time-out.
    QProcess help;
    QProcess command;
    service.startTool(help, { QStringLiteral("--help") });
    service.startTool(command, { QStringLiteral("--device-list") });
    const ToolRun helpRun = RunningService::finish(help);
    const ToolRun commandRun = RunningService::finish(command);
    // The help then still shows the tool's own options.
    EXPECT_TRUE(helpRun.output.startsWith(QStringLiteral("No service found\nThis is the CorvaneService (")))
        << qPrintable(helpRun.output);
    EXPECT_TRUE(helpRun.output.contains(QStringLiteral("--install")));
    EXPECT_EQ(
        commandRun.output, QStringLiteral("Service timeout\n") + notExecuted(QStringLiteral("device-list")));
    EXPECT_TRUE(helpRun.finished);
    EXPECT_TRUE(commandRun.finished);
    EXPECT_EQ(commandRun.exitCode, kErrorExit);
    if (!inTransfer)
        GTEST_SKIP() << "cannot see on this system when the service is inside a device transfer";
}

// A failed command ends the tool with a non-zero exit code, so that
// scripts can tell it from success.
TEST_F(EndToEnd, FailedCommandsEndWithAnErrorExitCode)
{
    const QList<QStringList> failing = {
        { QStringLiteral("--discover-network"), QStringLiteral("maybe") },
        { QStringLiteral("--allow-network"), QStringLiteral("TRUE") },
        { QStringLiteral("--device"), QStringLiteral("0200000001A4") },
        { QStringLiteral("--device"), RunningService::kVasta, QStringLiteral("--device-help"),
            QStringLiteral("nosuchview") },
    };
    for (const QStringList& arguments : failing)
        EXPECT_EQ(tool(arguments).exitCode, kErrorExit) << qPrintable(arguments.join(QLatin1Char(' ')));
}

// Known fault, disabled until fixed: some service messages end without a
// newline and run into the next option's output.
TEST_F(EndToEnd, EveryMessageEndsItsLine)
{
    EXPECT_EQ(tool({ QStringLiteral("--device-cache"), QStringLiteral("--th") }).output,
        QStringLiteral("device 0200000001A3: cache cleared\nth: ")
            + service.sim().registerValue(RunningService::kVasta, QStringLiteral("th")) + QLatin1Char('\n'));
}

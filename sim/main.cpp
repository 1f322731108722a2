// corvane-sim: runs simulated touch-foil controllers on a Unix socket, or
// sends one control request to a running simulator.
#include "gadgetbus.h"
#include "simclient.h"
#include "simcommandline.h"
#include "simserver.h"
#include "trafficlog.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <sys/socket.h>
#include <unistd.h>

using namespace corvanesim;

namespace {

constexpr int RequestTimeoutMs = 5000;
constexpr int ExitUsage = 2;
constexpr int ExitFailure = 1;

int g_signalPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    (void)!::write(g_signalPipe[1], &byte, 1);
}

// SIGTERM and SIGINT end the event loop through a socket pair, so that the
// server closes cleanly on the main thread.
bool watchStopSignals(QCoreApplication* app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
        return false;
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, &QCoreApplication::quit);
    struct sigaction action = {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    // A client that goes away while it is answered must not end the simulator.
    ::signal(SIGPIPE, SIG_IGN);
    return ::sigaction(SIGTERM, &action, nullptr) == 0 && ::sigaction(SIGINT, &action, nullptr) == 0;
}

void printLines(FILE* stream, const QStringList& lines)
{
    for (const QString& line : lines)
        std::fprintf(stream, "%s\n", qPrintable(line));
}

int sendRequest(const SimCommandLine& commandLine)
{
    const ClientAnswer answer = sendControlRequest(commandLine.socketPath, commandLine.request, RequestTimeoutMs);
    printLines(answer.ok ? stdout : stderr, answer.lines);
    return answer.ok ? 0 : ExitFailure;
}

int runSimulator(QCoreApplication* app, const SimCommandLine& commandLine)
{
    CVNTrafficLog traffic;
    QString error;
    if (!commandLine.trafficPath.isEmpty() && !traffic.open(commandLine.trafficPath, &error)) {
        std::fprintf(stderr, "corvane-sim: %s\n", qPrintable(error));
        return ExitFailure;
    }
    CVNSimServer server;
    server.setTrafficLog(&traffic);
    if (!commandLine.socketPath.isEmpty() && !server.listen(commandLine.socketPath, &error)) {
        std::fprintf(stderr, "corvane-sim: %s\n", qPrintable(error));
        return ExitFailure;
    }
    for (const ControllerSetup& setup : commandLine.devices) {
        if (!server.plug(setup, &error)) {
            std::fprintf(stderr, "corvane-sim: %s\n", qPrintable(error));
            server.close();
            return ExitUsage;
        }
    }
    if (!watchStopSignals(app)) {
        std::fprintf(stderr, "corvane-sim: cannot watch stop signals\n");
        server.close();
        return ExitFailure;
    }
    CVNGadgetBus bus(&server);
    if (commandLine.usbGadget && !bus.start(&error)) {
        std::fprintf(stderr, "corvane-sim: %s\n", qPrintable(error));
        server.close();
        return ExitFailure;
    }
    if (!commandLine.socketPath.isEmpty())
        std::printf("corvane-sim: listening on %s\n", qPrintable(commandLine.socketPath));
    if (commandLine.usbGadget)
        std::printf("corvane-sim: controllers on the USB bus\n");
    std::fflush(stdout);
    app->exec();
    bus.stop();
    server.close();
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    SimCommandLine commandLine;
    QString error;
    if (!parseCommandLine(app.arguments().mid(1), &commandLine, &error)) {
        std::fprintf(stderr, "corvane-sim: %s\n%s", qPrintable(error), qPrintable(usageText()));
        return ExitUsage;
    }
    if (commandLine.help) {
        std::printf("%s", qPrintable(usageText()));
        return 0;
    }
    return commandLine.request.isEmpty() ? runSimulator(&app, commandLine) : sendRequest(commandLine);
}

// The service's processor share while it streams one controller's touches
// to one TUIO receiver: corvane-sim plays its built-in timeline (fingers and
// a pen, moving), `CorvaneService -e` polls every 30 ms and sends TUIO 1.1
// and 2.0 to a loopback receiver here. The service's CPU time (user +
// system, from /proc) over the run is printed as a percentage of one core;
// the target is under 3 %.
#include "processcpu.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUdpSocket>

#include <cstdio>
#include <unistd.h>

namespace {

const QString kBin = QStringLiteral(CORVANE_BIN_DIR);
const QString kVasta = QStringLiteral("0200000001A3");
constexpr int kRunMs = 10000;

QString tool(const QProcessEnvironment& env, const QStringList& arguments)
{
    return runTool(kBin, env, arguments);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QProcess sim;
    QProcess service;
    const QProcessEnvironment env = startOnSimulatedVasta(kBin, dir.path(), kVasta, sim, service);

    QUdpSocket receiver;
    receiver.bind(QHostAddress(QHostAddress::LocalHost), 0);
    const QString started = tool(env, { "--device", kVasta, "--tuio", "start", QStringLiteral("127.0.0.1:%1").arg(receiver.localPort()) });
    if (!started.contains(QStringLiteral("Has started"))) {
        std::fprintf(stderr, "tuio did not start: %s\n", qPrintable(started));
        return 1;
    }
    QThread::msleep(500); // past the start-up work
    const long ticksPerSecond = sysconf(_SC_CLK_TCK);
    const qint64 before = cpuTicks(service.processId());
    QElapsedTimer wall;
    wall.start();
    qint64 datagrams = 0;
    qint64 bytes = 0;
    while (wall.elapsed() < kRunMs) {
        if (receiver.waitForReadyRead(50)) {
            while (receiver.hasPendingDatagrams()) {
                bytes += receiver.pendingDatagramSize();
                receiver.readDatagram(nullptr, 0);
                ++datagrams;
            }
        }
    }
    const qint64 after = cpuTicks(service.processId());
    const double seconds = wall.elapsed() / 1000.0;
    const double cpu = (after - before) / double(ticksPerSecond);
    std::printf("service with one streaming controller and one TUIO receiver: %.2f %% of one core "
                "(%.2f s CPU in %.1f s; %lld datagrams, %lld bytes received; target under 3 %%)\n",
        100.0 * cpu / seconds, cpu, seconds, static_cast<long long>(datagrams), static_cast<long long>(bytes));
    service.terminate();
    service.waitForFinished(10000);
    sim.terminate();
    sim.waitForFinished(10000);
    return 0;
}

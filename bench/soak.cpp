// The service under load, faults and hostile clients for a given time, with
// every answer accounted for. Loopback only.
//
//   bench_soak [--seconds 600] [--clients 61] [--think-ms 200]
//              [--connections 1000] [--seed 19] [--trace]
//
// The real service runs on four simulated controllers. At once:
// - well-behaved clients read, write, subscribe and lock, one request at a
//   time with a pause between, and check every answer against its request;
// - a client floods the heaviest requests and never reads;
// - connections are opened and closed all the time (some at once, some in
//   the middle of a document, some after a ping);
// - a client sends documents exactly at the size, depth and value limits
//   (answered) and just past them (its connection closed);
// - controllers are unplugged and plugged, fail transfers, answer short
//   reports or garbage (one controller only, whose values are then not
//   checked) and vanish in the middle of a transfer, at random from a fixed
//   seed.
// The service accepts 64 clients; the well-behaved ones are 61 so that the
// flooder, the limit client and one churning connection fit beside them.
//
// --trace lists on stderr what happened when: faults, limit documents, the
// flooder's bursts, and every answer slower than 20 ms.
//
// Prints one `name: value` line per figure, then `targets: met` or
// `targets: missed`; the exit status is 0 when they were met. Built in a
// sanitizer folder (build-asan) it runs the sanitized service and counts
// the sanitizers' reports.
#include "floodclient.h"
#include "serviceprocess.h"
#include "soakclient.h"
#include "soakextras.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

int argument(const QStringList& arguments, const QString& name, int fallback)
{
    const int index = arguments.indexOf(name);
    return index >= 0 && index + 1 < arguments.size() ? arguments[index + 1].toInt() : fallback;
}

void figure(const char* name, double value)
{
    std::printf("%s: %g\n", name, value);
}

void figure(const char* name, const QString& value)
{
    std::printf("%s: %s\n", name, qPrintable(value));
}

// Sanitizer reports of every process started from here go to `folder`,
// unless the caller already chose where they go.
void collectSanitizerReports(const QString& folder)
{
    const struct {
        const char* variable;
        const char* prefix;
    } tools[] = {{"ASAN_OPTIONS", "asan"}, {"UBSAN_OPTIONS", "ubsan"}, {"TSAN_OPTIONS", "tsan"}};
    for (const auto& tool : tools) {
        if (!qEnvironmentVariableIsSet(tool.variable))
            qputenv(tool.variable, "log_path=" + QFile::encodeName(folder) + '/' + tool.prefix);
    }
}

struct Sample {
    qint64 rssKiB = 0;
    int descriptors = 0;
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int seconds = argument(arguments, QStringLiteral("--seconds"), 600);
    const int clientCount = argument(arguments, QStringLiteral("--clients"), 61);
    const int thinkMs = argument(arguments, QStringLiteral("--think-ms"), 200);
    const int connections = argument(arguments, QStringLiteral("--connections"), 1000);
    const int seed = argument(arguments, QStringLiteral("--seed"), 19);

    QTemporaryDir reports;
    collectSanitizerReports(reports.path());

    QList<SoakController> controllers{
        {"0200000001A3", "vasta:0200000001A3:2.005", true},
        {"0400000001C4", "lyn:0400000001C4:2.005", true},
        {"0C00000002B7", "twinpoint:0C00000002B7:2.005", true},
        {"0200000002B8", "vasta:0200000002B8:2.005,bulk=1", false},
    };
    QStringList setups;
    QStringList serials;
    for (const SoakController& c : controllers) {
        setups.append(c.setup);
        serials.append(c.serial);
    }
    ServiceProcess service(setups);
    QString error;
    if (!service.start(&error)) {
        std::fprintf(stderr, "bench_soak: %s\n", qPrintable(error));
        return 2;
    }
    SoakFigures figures;
    figures.tracing = arguments.contains(QStringLiteral("--trace"));
    figures.clock.start();
    const Sample start{service.rssKiB(), service.openDescriptors()};
    std::fprintf(stderr, "bench_soak: service pid %lld on port %u, %d s\n", service.pid(), service.port(), seconds);

    std::vector<std::unique_ptr<SoakClient>> clients;
    for (int i = 0; i < clientCount; ++i)
        clients.push_back(std::make_unique<SoakClient>(i, service.port(), &controllers, &figures, thinkMs));
    const QList<QByteArray> heaviest = Flood::heaviestRequests(serials);
    Flood::FloodClient flooder(service.port(), &heaviest, 0);
    QTimer flooding;
    QObject::connect(&flooding, &QTimer::timeout, [&] {
        const qint64 before = flooder.sent();
        const int closed = flooder.closedByService();
        flooder.write();
        if (flooder.sent() > before + 65536 || flooder.closedByService() != closed)
            figures.event(QStringLiteral("flooder sent %1 KiB, closed %2 times").arg((flooder.sent() - before) / 1024).arg(flooder.closedByService()));
    });
    flooding.start(20);
    SoakFaults faults(service.simSocket(), &controllers, &figures, seed);
    SoakChurn churn(service.port(), connections, seconds * 900, seed + 1);
    SoakLimits limits(service.port(), &figures);

    // Memory and descriptors at minute 1 (at half time in shorter runs) and
    // at the end, each the lowest seen within two seconds: connections that
    // come and go all the time are not the service's growth.
    const qint64 firstSampleMs = qMin<qint64>(60000, qint64(seconds) * 500);
    const qint64 endMs = qint64(seconds) * 1000;
    Sample minute1;
    Sample end;
    auto lowest = [&service](Sample& sample) {
        const Sample now{service.rssKiB(), service.openDescriptors()};
        sample.rssKiB = sample.rssKiB ? qMin(sample.rssKiB, now.rssKiB) : now.rssKiB;
        sample.descriptors = sample.descriptors ? qMin(sample.descriptors, now.descriptors) : now.descriptors;
    };
    int crashes = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        const qint64 now = figures.clock.elapsed();
        if (!service.isRunning()) {
            crashes = 1;
            app.quit();
        } else if (now >= endMs) {
            app.quit();
        } else if (now >= firstSampleMs && now < firstSampleMs + 2000) {
            lowest(minute1);
        } else if (now >= endMs - 2000) {
            lowest(end);
        }
    });
    watch.start(100);
    app.exec();

    flooding.stop();
    faults.stop();
    churn.stop();
    limits.stop();
    for (const auto& client : clients)
        client->finish();
    // What is in flight gets 10 s to be answered.
    QElapsedTimer grace;
    grace.start();
    while (grace.elapsed() < 10000
           && !std::all_of(clients.begin(), clients.end(), [](const auto& c) { return c->idle(); }))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    for (const auto& client : clients)
        client->giveUp();
    const bool stillRunning = service.isRunning();
    const int exitCode = service.stop();
    if (!stillRunning || exitCode < 0)
        crashes = 1;
    const int sanitizerReports = QDir(reports.path()).entryList(QDir::Files).size();
    for (const QString& report : QDir(reports.path()).entryList(QDir::Files)) {
        QFile file(reports.filePath(report));
        if (file.open(QIODevice::ReadOnly))
            std::fprintf(stderr, "==== %s\n%s\n", qPrintable(report), file.readAll().constData());
    }

    const double growth = minute1.rssKiB > 0 ? 100.0 * double(end.rssKiB - minute1.rssKiB) / double(minute1.rssKiB) : 0;
    figure("seconds", seconds);
    figure("controllers", controllers.size());
    figure("clients", clientCount);
    figure("requests_sent", double(figures.sent));
    figure("answers_received", double(figures.answered));
    figure("lost", double(figures.lost));
    figure("wrong_answers", double(figures.wrong));
    figure("notifications", double(figures.notifications));
    figure("client_reconnects", double(figures.reconnects));
    figure("p50_ms", figures.percentileMs(50));
    figure("p99_ms", figures.percentileMs(99));
    figure("max_ms", figures.percentileMs(100));
    figure("flood_mib_sent", double(flooder.sent()) / (1024.0 * 1024.0));
    figure("flood_closed_by_service", flooder.closedByService());
    figure("connections_opened", churn.opened);
    figure("connections_answered", churn.answered);
    figure("connections_refused_full", churn.refused);
    figure("limit_documents_answered", QStringLiteral("%1/%2").arg(limits.atLimitAnswered).arg(limits.atLimitSent));
    figure("over_limit_closed", QStringLiteral("%1/%2").arg(limits.overLimitClosed).arg(limits.overLimitSent));
    figure("faults_injected", faults.injected);
    figure("controllers_replugged", faults.replugs);
    figure("crashes", crashes);
    figure("service_exit_code", exitCode);
    figure("sanitizer_reports", sanitizerReports);
    figure("rss_kib_start", double(start.rssKiB));
    figure("rss_kib_minute1", double(minute1.rssKiB));
    figure("rss_kib_end", double(end.rssKiB));
    figure("rss_growth_pct", growth);
    figure("fds_start", start.descriptors);
    figure("fds_minute1", minute1.descriptors);
    figure("fds_end", end.descriptors);
    for (const QString& line : figures.trace)
        std::fprintf(stderr, "%s\n", qPrintable(line));
    for (const QString& sample : figures.wrongSamples)
        std::fprintf(stderr, "wrong answer: %s\n", qPrintable(sample));
    for (const QString& fault : limits.faults)
        std::fprintf(stderr, "limit document: %s\n", qPrintable(fault));

    const bool limitsHeld = limits.atLimitAnswered == limits.atLimitSent && limits.overLimitClosed == limits.overLimitSent;
    const bool met = crashes == 0 && exitCode == 0 && sanitizerReports == 0 && figures.lost == 0 && figures.wrong == 0
        && limitsHeld && figures.percentileMs(99) < 20.0 && growth < 10.0 && end.descriptors <= minute1.descriptors;
    figure("targets", met ? QStringLiteral("met") : QStringLiteral("missed"));
    return met ? 0 : 1;
}

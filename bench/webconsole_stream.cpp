// The service's processor share while the web console streams one 168 x 96
// sensor to a page: corvane-sim plays a Vasta with its built-in timeline
// (fingers and a pen, moving), `CorvaneService -e` serves the console, and a
// WebSocket client here subscribes to the frames (polled every 60 ms, about
// 16 a second) and the touches (every 30 ms) as the page does. The service's
// CPU time (user + system, from /proc) is printed as a percentage of one
// core, idle and while streaming; the target is under 5 % for the stream.
#include "processcpu.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkRequest>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QWebSocket>

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

// Share of one core the service used over `ms` while the loop turns.
double measure(qint64 pid, int ms)
{
    const qint64 before = cpuTicks(pid);
    QElapsedTimer wall;
    wall.start();
    while (wall.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    const double cpu = (cpuTicks(pid) - before) / double(sysconf(_SC_CLK_TCK));
    return 100.0 * cpu / (wall.elapsed() / 1000.0);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QProcess sim;
    QProcess service;
    const QProcessEnvironment env = startOnSimulatedVasta(kBin, dir.path(), kVasta, sim, service);
    const QRegularExpressionMatch url = QRegularExpression(QStringLiteral("Open http://([0-9.:]+)/([0-9a-f]+)/"))
                                            .match(tool(env, {"--web-console", "true"}));
    if (!url.hasMatch()) {
        std::fprintf(stderr, "the web console did not open\n");
        return 1;
    }

    QWebSocket page(QStringLiteral("http://") + url.captured(1));
    qint64 frames = 0, touches = 0, touchEntities = 0, bytes = 0;
    QObject::connect(&page, &QWebSocket::textMessageReceived, [&](const QString& text) {
        bytes += text.size();
        const QJsonArray items = QJsonDocument::fromJson(text.toUtf8()).object().value("notifications").toObject().value("list").toArray();
        for (const QJsonValue& item : items) {
            const QString key = item.toObject().value("key").toString();
            frames += key == QLatin1String("frame") ? 1 : 0;
            if (key == QLatin1String("touches")) {
                ++touches;
                touchEntities += item.toObject().value("value").toObject().value("entities").toArray().size();
            }
        }
    });
    page.open(QNetworkRequest(QUrl(QStringLiteral("ws://%1/%2/ws").arg(url.captured(1), url.captured(2)))));
    QDeadlineTimer open(10000);
    while (page.state() != QAbstractSocket::ConnectedState && !open.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    if (page.state() != QAbstractSocket::ConnectedState) {
        std::fprintf(stderr, "the console's WebSocket did not open\n");
        return 1;
    }
    QThread::msleep(500); // past the start-up work
    const double idle = measure(service.processId(), 5000);
    const QJsonObject subscribe{{"actions", QJsonObject{{"list", QJsonArray{QJsonObject{
        {"key", "notifications"}, {"id", 1},
        {"register", QJsonArray{QJsonObject{{"key", "frame"}, {"device", kVasta}},
                                QJsonObject{{"key", "touches"}, {"device", kVasta}}}}}}}}}};
    page.sendTextMessage(QString::fromUtf8(QJsonDocument(subscribe).toJson(QJsonDocument::Compact)));
    measure(service.processId(), 500);
    frames = touches = touchEntities = bytes = 0;
    const double streaming = measure(service.processId(), kRunMs);
    const double seconds = kRunMs / 1000.0;
    std::printf("service idle with the console open: %.2f %% of one core\n", idle);
    std::printf("streaming a 168 x 96 sensor to the console: %.2f %% of one core (%.2f %% above idle; target under 5 %%)\n"
                "  %.1f frames/s, %.1f touch notifications/s carrying %.1f touches each, %.0f KiB/s of JSON text\n",
                streaming, streaming - idle, frames / seconds, touches / seconds,
                touches ? double(touchEntities) / touches : 0.0, bytes / seconds / 1024.0);
    page.close();
    service.terminate();
    service.waitForFinished(10000);
    sim.terminate();
    sim.waitForFinished(10000);
    return streaming - idle < 5.0 ? 0 : 2;
}

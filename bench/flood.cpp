// The real service on corvane-sim against clients that flood it with
// requests and never read an answer. Prints the service's resident memory
// as it goes; it must stay under the bound (64 MiB by default) however long
// the flood lasts. Afterwards one client more than the service accepts is
// refused, and once the flood ends a new client is answered again.
//
//   bench_flood [--clients N] [--seconds S] [--limit-mib M]
//
// The requests are the heaviest a client can send: devices_all for all four
// controllers a thousand times over, device-help as often as a command line
// may hold it, reads of every controller, pings. Clients that the service
// closes (it gives up on clients that take none of their answers for a
// while) connect again at once, as an attacker would.
//
// Exit status 0 when the bound held and the service still answers.
#include "floodclient.h"
#include "serviceprocess.h"

#include "com/binaryjson.h"
#include "com/comlimits.h"
#include "com/documentbuffer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>

#include <cstdio>
#include <poll.h>
#include <vector>

namespace {

using Flood::FloodClient;

QByteArray actions(const QJsonArray& list)
{
    return Flood::actions(list);
}

// Reads one document from a fresh connection; its top-level object, or an
// empty one when nothing complete came within the bound.
QJsonObject exchange(quint16 port, const QByteArray& request, int timeoutMs)
{
    const int fd = Flood::connectTo(port);
    if (fd < 0)
        return {};
    if (!request.isEmpty())
        (void)::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL);
    CVNDocumentBuffer buffer;
    QElapsedTimer timer;
    timer.start();
    QJsonObject answer;
    while (timer.elapsed() < timeoutMs) {
        pollfd item{fd, POLLIN, 0};
        if (::poll(&item, 1, 100) <= 0)
            continue;
        char bytes[65536];
        const ssize_t received = ::recv(fd, bytes, sizeof bytes, 0);
        if (received <= 0 || !buffer.append(QByteArray(bytes, int(received))))
            break;
        if (const auto document = buffer.takeNext()) {
            answer = document->object();
            break;
        }
    }
    ::close(fd);
    return answer;
}

int argument(const QStringList& arguments, const QString& name, int fallback)
{
    const int index = arguments.indexOf(name);
    return index >= 0 && index + 1 < arguments.size() ? arguments[index + 1].toInt() : fallback;
}

double mib(qint64 kib)
{
    return double(kib) / 1024.0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const int clientCount = argument(arguments, QStringLiteral("--clients"), 64);
    const int seconds = argument(arguments, QStringLiteral("--seconds"), 20);
    const int limitMiB = argument(arguments, QStringLiteral("--limit-mib"), 64);

    ServiceProcess service;
    QString error;
    if (!service.start(&error)) {
        std::fprintf(stderr, "bench_flood: %s\n", qPrintable(error));
        return 2;
    }
    const QList<QByteArray> requests = Flood::heaviestRequests(
        {"0200000001A3", "0C00000002B7", "0400000001C4", "0500000001D5"});
    const QByteArray ping = actions(QJsonArray{QJsonObject{{"key", "ping"}, {"id", 1}}});
    std::printf("service pid %lld on port %u, %.1f MiB before the flood\n", service.pid(), service.port(),
                mib(service.rssKiB()));
    std::printf("%d clients flood it for %d s and never read (bound %d MiB)\n", clientCount, seconds, limitMiB);

    std::vector<std::unique_ptr<FloodClient>> clients;
    for (int i = 0; i < clientCount; ++i)
        clients.push_back(std::make_unique<FloodClient>(service.port(), &requests, i));

    qint64 highest = 0;
    QElapsedTimer clock;
    clock.start();
    qint64 nextReport = 1000;
    while (clock.elapsed() < qint64(seconds) * 1000 && service.isRunning()) {
        std::vector<pollfd> items;
        for (const auto& client : clients)
            items.push_back(pollfd{client->fd(), POLLOUT, 0});
        ::poll(items.data(), nfds_t(items.size()), 50);
        for (const auto& client : clients)
            client->write();
        highest = qMax(highest, service.rssKiB());
        if (clock.elapsed() >= nextReport) {
            qint64 sent = 0;
            int closed = 0;
            for (const auto& client : clients) {
                sent += client->sent();
                closed += client->closedByService();
            }
            std::printf("%3lld s  service RSS %6.1f MiB  sent %8.1f MiB  clients closed by the service %d\n",
                        nextReport / 1000, mib(service.rssKiB()), double(sent) / (1024.0 * 1024.0), closed);
            std::fflush(stdout);
            nextReport += 1000;
        }
    }
    if (!service.isRunning()) {
        std::printf("the service died during the flood\n");
        return 1;
    }

    // Every place is taken: one client more is refused with an answer.
    const QJsonObject refusal = exchange(service.port(), QByteArray(), 5000);
    std::printf("client %d: %s\n", clientCount + 1,
                qPrintable(refusal.isEmpty() ? QStringLiteral("no answer") : QStringLiteral("answered ")
                           + QString::fromUtf8(QJsonDocument(refusal).toJson(QJsonDocument::Compact))));

    clients.clear();
    // The flood's connections go; then a client is served as before.
    QJsonObject answer;
    ServiceProcess::waitFor([&] {
        answer = exchange(service.port(), ping, 2000);
        return !answer.isEmpty() && !answer.contains("error");
    }, 20000);
    const bool answered = answer.value("reactions").toObject().value("list").toArray().at(0).toObject().value("value")
        == QLatin1String("alive");
    const qint64 peak = service.peakRssKiB();
    const int exitCode = service.stop();
    std::printf("after the flood a new client is %s\n", answered ? "answered" : "NOT answered");
    std::printf("highest RSS sampled %.1f MiB, peak RSS %.1f MiB, bound %d MiB: %s\n", mib(highest), mib(peak),
                limitMiB, mib(peak) < limitMiB ? "held" : "EXCEEDED");
    std::printf("service exit code %d\n", exitCode);
    return answered && mib(peak) < limitMiB && exitCode == 0 ? 0 : 1;
}

// Load on the service core over loopback: N client connections, each in
// request/response turns alternately reading a cached property of a
// simulated controller ("gain") and `ping`. Printed beside the raw echo
// ceiling of the same payload measured in the same run, with p50/p99
// latency, and the process memory with 4 controllers and 64 sessions.
//
// The service core (device manager on corvane-sim, application server) runs
// on the main thread as in the service; the clients, and the raw echo
// server, run on their own threads.
#include "com/binaryjson.h"
#include "com/commanager.h"
#include "com/documentbuffer.h"
#include "device/devicemanager.h"
#include "server/applicationserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kRunMs = 2000;
constexpr int kWaitMs = 10000;
const int kConnectionCounts[] = {1, 16, 64};
const QStringList kControllers{"vasta:0200000001A3:2.005", "vasta:0200000001B7:2.005", "lyn:0400000001C4:2.005",
                               "twinpoint:0C00000001D5:2.005"};

QByteArray requestBytes(const QString& key)
{
    return CVNBinaryJson::encodeDocument(
        QJsonObject{{"actions", QJsonObject{{"list", QJsonArray{QJsonObject{{"key", key}, {"id", 1}}}}}}});
}

struct Result
{
    double rps = 0;
    double p50us = 0;
    double p99us = 0;
    qint64 requests = 0;
};

// N sockets in closed loop; each answer is one binary JSON document (or,
// against the raw echo, the same number of bytes as the request).
class LoadDriver : public QObject
{
public:
    LoadDriver(quint16 port, int connections, bool framed) : m_port(port), m_count(connections), m_framed(framed) {}

    Result run()
    {
        m_requests = {requestBytes(QStringLiteral("gain")), requestBytes(QStringLiteral("ping"))};
        for (int i = 0; i < m_count; ++i) {
            auto* socket = new QTcpSocket(this);
            socket->connectToHost(QHostAddress(QHostAddress::LocalHost), m_port);
            if (!socket->waitForConnected(kWaitMs))
                return {};
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            m_clients.push_back(Client{socket, {}, 0, 0, {}});
        }
        for (size_t i = 0; i < m_clients.size(); ++i)
            connect(m_clients[i].socket, &QTcpSocket::readyRead, this, [this, i] { onReady(i); });
        // Warm-up: every connection once through both request kinds.
        m_measuring = false;
        for (size_t i = 0; i < m_clients.size(); ++i)
            send(i);
        runLoop();

        m_latencies.clear();
        m_latencies.reserve(1 << 20);
        m_measuring = true;
        m_stop = false;
        m_clock.start();
        qint64 elapsedNs = 0;
        QTimer::singleShot(kRunMs, this, [&] {
            m_stop = true;
            elapsedNs = m_clock.nsecsElapsed();
            if (m_outstanding == 0)
                m_loop.quit();
        });
        for (size_t i = 0; i < m_clients.size(); ++i)
            send(i);
        runLoop();
        if (elapsedNs == 0)
            elapsedNs = m_clock.nsecsElapsed();

        Result result;
        result.requests = qint64(m_latencies.size());
        result.rps = double(m_latencies.size()) * 1e9 / double(elapsedNs);
        std::sort(m_latencies.begin(), m_latencies.end());
        if (!m_latencies.empty()) {
            result.p50us = m_latencies[m_latencies.size() / 2] / 1000.0;
            result.p99us = m_latencies[std::min(m_latencies.size() - 1, m_latencies.size() * 99 / 100)] / 1000.0;
        }
        return result;
    }

private:
    struct Client
    {
        QTcpSocket* socket;
        CVNDocumentBuffer buffer;
        qint64 pendingBytes;
        int turn;
        QElapsedTimer sent;
    };

    // Runs this thread's loop until the phase ends (bounded).
    void runLoop()
    {
        QTimer bound;
        bound.setSingleShot(true);
        connect(&bound, &QTimer::timeout, &m_loop, &QEventLoop::quit);
        bound.start(kRunMs + kWaitMs);
        m_loop.exec();
    }

    void send(size_t i)
    {
        Client& client = m_clients[i];
        const QByteArray& bytes = m_requests[size_t(client.turn++ % 2)];
        client.pendingBytes = bytes.size();
        client.sent.start();
        ++m_outstanding;
        client.socket->write(bytes);
    }

    void onReady(size_t i)
    {
        Client& client = m_clients[i];
        const QByteArray data = client.socket->readAll();
        int answers = 0;
        if (m_framed) {
            if (!client.buffer.append(data))
                return;
            while (client.buffer.takeNext())
                ++answers;
        } else {
            client.pendingBytes -= data.size();
            answers = client.pendingBytes <= 0 ? 1 : 0;
        }
        for (int a = 0; a < answers; ++a) {
            --m_outstanding;
            if (m_measuring)
                m_latencies.push_back(client.sent.nsecsElapsed());
            else
                ++m_warm;
            if (m_measuring ? !m_stop : client.turn < 2)
                send(i);
        }
        const bool phaseDone = m_measuring ? (m_stop && m_outstanding == 0) : m_warm >= 2 * m_count;
        if (phaseDone)
            m_loop.quit();
    }

    quint16 m_port;
    int m_count;
    bool m_framed;
    std::vector<QByteArray> m_requests;
    std::vector<Client> m_clients;
    std::vector<qint64> m_latencies;
    QElapsedTimer m_clock;
    QEventLoop m_loop;
    int m_outstanding = 0;
    int m_warm = 0;
    bool m_measuring = false;
    bool m_stop = false;
};

// Runs a driver on its own thread and waits on the main thread's loop, so
// that the service core keeps answering meanwhile.
Result drive(quint16 port, int connections, bool framed)
{
    Result result;
    QThread* thread = QThread::create([&] {
        LoadDriver driver(port, connections, framed);
        result = driver.run();
    });
    QEventLoop loop;
    QObject::connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    thread->start();
    loop.exec();
    thread->wait();
    delete thread;
    return result;
}

// The raw ceiling: a socket echo on its own thread.
class EchoThread
{
public:
    EchoThread()
    {
        m_thread.start();
        m_server = new QTcpServer();
        m_server->moveToThread(&m_thread);
        QMetaObject::invokeMethod(m_server, [this] {
            QObject::connect(m_server, &QTcpServer::newConnection, m_server, [this] {
                while (QTcpSocket* socket = m_server->nextPendingConnection()) {
                    socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
                    QObject::connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->write(socket->readAll()); });
                }
            });
            m_server->listen(QHostAddress(QHostAddress::LocalHost), 0);
            m_port = m_server->serverPort();
        }, Qt::BlockingQueuedConnection);
    }
    ~EchoThread()
    {
        QMetaObject::invokeMethod(m_server, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    quint16 port() const { return m_port; }

private:
    QThread m_thread;
    QTcpServer* m_server = nullptr;
    quint16 m_port = 0;
};

long rssKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// 64 idle sessions beside the 4 controllers, memory read while they are open.
long rssWithSessions(CVNApplicationServer& server, quint16 port)
{
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    for (int i = 0; i < 64; ++i) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress(QHostAddress::LocalHost), port);
        sockets.push_back(std::move(socket));
    }
    QElapsedTimer bound;
    bound.start();
    while (server.sessions().size() < 64 && bound.elapsed() < kWaitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    const long rss = rssKiB();
    sockets.clear();
    while (!server.sessions().isEmpty() && bound.elapsed() < 2 * kWaitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return rss;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    const QString socketPath = dir.path() + QStringLiteral("/sim.sock");

    QProcess sim;
    QStringList arguments{QStringLiteral("--socket"), socketPath};
    for (const QString& setup : kControllers)
        arguments << QStringLiteral("--device") << setup;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sim.start(QStringLiteral(CORVANE_BIN_DIR "/corvane-sim"), arguments);
    QElapsedTimer bound;
    bound.start();
    while (!QFile::exists(socketPath) && bound.elapsed() < kWaitMs)
        QThread::msleep(5);
    if (!QFile::exists(socketPath)) {
        std::fprintf(stderr, "corvane-sim did not start\n");
        return 1;
    }
    qputenv("CORVANE_SIM_SOCKET", socketPath.toLocal8Bit());

    int exitCode = 0;
    {
        CVNDeviceManager manager;
        CVNApplicationServer server(&manager);
        server.communicationManager()->setDiscoveryPort(0);
        manager.start();
        while (server.deviceInterfaces().size() < kControllers.size() && bound.elapsed() < 2 * kWaitMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        server.start();
        const quint16 port = server.communicationManager()->server().serverPort();
        std::printf("service core on port %u with %d simulated controllers\n", port, int(server.deviceInterfaces().size()));

        EchoThread echo;
        std::printf("\n%5s  %12s %12s %7s  %10s %10s   %s\n", "conns", "service/s", "raw echo/s", "ratio",
                    "p50 us", "p99 us", "targets: >=50 % at 16, p99 < 5000 us at 64");
        for (int connections : kConnectionCounts) {
            const Result raw = drive(echo.port(), connections, false);
            const Result service = drive(port, connections, true);
            const double ratio = raw.rps > 0 ? 100.0 * service.rps / raw.rps : 0.0;
            std::printf("%5d  %12.0f %12.0f %6.1f%%  %10.1f %10.1f\n", connections, service.rps, raw.rps, ratio,
                        service.p50us, service.p99us);
            if (service.requests == 0)
                exitCode = 1;
        }

        const long rss = rssWithSessions(server, port);
        std::printf("\nRSS with %d controllers and 64 sessions: %.1f MiB (target < 40 MiB; whole process, "
                    "clients included)\n",
                    int(server.deviceInterfaces().size()), rss / 1024.0);
    }
    sim.terminate();
    sim.waitForFinished(5000);
    return exitCode;
}

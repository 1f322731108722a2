// Request/response round trips over loopback through the connection and
// framing layer, beside a raw socket echo of the same byte counts measured
// in the same run. The ratio of the two is the cost of the framing.
//
// Both echo servers run on one thread with its own event loop, so that
// both paths see the same thread placement: with a thread each, the
// scheduler put one of them next to the client and the other across CPUs
// in some runs and not in others, and the single-connection ratio swung
// between 17 % and 90 % while neither path changed. Both sides of both
// paths flush after writing, as the service's sessions and the
// command-line client do. The client side drives the main thread's loop
// until every connection has its answer.
#include "com/binaryjson.h"
#include "com/comconnectiontcpsocket.h"
#include "com/documentchannel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <vector>

namespace {

QJsonObject requestDocument()
{
    return QJsonObject{{"actions", QJsonObject{{"list", QJsonArray{QJsonObject{{"key", "th"}, {"id", 1}}}}}}};
}

// Answers each framed document with itself on one port and echoes raw
// bytes on the other.
class EchoServer : public QObject
{
public:
    EchoServer()
    {
        connect(&m_raw, &QTcpServer::newConnection, this, &EchoServer::acceptRaw);
        connect(&m_framed, &QTcpServer::newConnection, this, &EchoServer::acceptFramed);
    }
    void listen()
    {
        m_raw.listen(QHostAddress(QHostAddress::LocalHost), 0);
        m_framed.listen(QHostAddress(QHostAddress::LocalHost), 0);
    }
    quint16 port(bool framed) const { return framed ? m_framed.serverPort() : m_raw.serverPort(); }

private:
    void acceptRaw()
    {
        while (QTcpSocket* socket = m_raw.nextPendingConnection()) {
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, socket, [socket] {
                socket->write(socket->readAll());
                socket->flush();
            });
        }
    }
    void acceptFramed()
    {
        while (QTcpSocket* socket = m_framed.nextPendingConnection()) {
            auto* connection = new CVNComConnectionTcpSocket(socket->peerAddress(), socket->peerPort(), socket, this);
            auto* channel = new CVNDocumentChannel(connection, CVNDocumentChannel::Mode::EveryDocument, connection);
            connect(channel, &CVNDocumentChannel::documentReceived, connection, [connection](const QJsonDocument& document) {
                connection->writeDocument(document);
                connection->flush();
            });
        }
    }

    QTcpServer m_raw{this};
    QTcpServer m_framed{this};
};

class ServerThread
{
public:
    ServerThread()
    {
        m_thread.start();
        m_server = new EchoServer();
        m_server->moveToThread(&m_thread);
        QMetaObject::invokeMethod(m_server, [this] { m_server->listen(); }, Qt::BlockingQueuedConnection);
    }
    ~ServerThread()
    {
        QMetaObject::invokeMethod(m_server, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    quint16 port(bool framed) const { return m_server->port(framed); }

private:
    QThread m_thread;
    EchoServer* m_server = nullptr;
};

template <typename Condition>
bool pump(Condition done)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > 10000)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// One set of client connections with its echo server, driven one round
// (a request on every connection, then every answer) at a time.
class Clients
{
public:
    Clients(const ServerThread& server, bool framed, int count)
        : m_port(server.port(framed))
        , m_framed(framed)
        , m_payload(CVNBinaryJson::encodeDocument(requestDocument()))
        , m_request(requestDocument())
        , m_received(size_t(count), 0)
    {
        for (int i = 0; i < count && m_ok; ++i)
            m_ok = framed ? addFramed() : addRaw(i);
    }
    bool ok() const { return m_ok; }

    // Nanoseconds of one round, or -1 when answers are missing.
    qint64 round()
    {
        QElapsedTimer timer;
        timer.start();
        m_answers = 0;
        if (m_framed) {
            for (auto& connection : m_connections) {
                connection->writeDocument(m_request);
                connection->flush();
            }
        } else {
            for (auto& socket : m_sockets) {
                socket->write(m_payload);
                socket->flush();
            }
        }
        const int expected = int(m_received.size());
        return pump([&] { return m_answers == expected; }) ? timer.nsecsElapsed() : -1;
    }

private:
    bool addFramed()
    {
        auto connection = std::make_unique<CVNComConnectionTcpSocket>(QHostAddress(QHostAddress::LocalHost), m_port);
        connection->connectToHost(QHostAddress(QHostAddress::LocalHost), m_port);
        auto channel = std::make_unique<CVNDocumentChannel>(connection.get(), CVNDocumentChannel::Mode::LastDocument);
        QObject::connect(channel.get(), &CVNDocumentChannel::documentReceived, [this] { ++m_answers; });
        // The connection sets TCP_NODELAY itself once connected.
        if (!connection->socket()->waitForConnected(5000))
            return false;
        m_connections.push_back(std::move(connection));
        m_channels.push_back(std::move(channel));
        return true;
    }

    bool addRaw(int index)
    {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress(QHostAddress::LocalHost), m_port);
        if (!socket->waitForConnected(5000))
            return false;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        QTcpSocket* raw = socket.get();
        QObject::connect(raw, &QTcpSocket::readyRead, [this, raw, index] {
            qint64& received = m_received[size_t(index)];
            received += raw->readAll().size();
            if (received >= m_payload.size()) {
                received -= m_payload.size();
                ++m_answers;
            }
        });
        m_sockets.push_back(std::move(socket));
        return true;
    }

    quint16 m_port;
    bool m_framed;
    bool m_ok = true;
    const QByteArray m_payload;
    const QJsonObject m_request;
    std::vector<qint64> m_received;
    int m_answers = 0;
    std::vector<std::unique_ptr<CVNComConnectionTcpSocket>> m_connections;
    std::vector<std::unique_ptr<CVNDocumentChannel>> m_channels;
    std::vector<std::unique_ptr<QTcpSocket>> m_sockets;
};

struct Rates {
    double framed = 0;
    double raw = 0;
};
std::map<int, Rates> g_rates;

// Alternates a raw echo round and a framed round, so that both see the
// same machine load; reports each one's requests per second and the ratio.
void BM_RoundTrip(benchmark::State& state)
{
    const int count = int(state.range(0));
    ServerThread server;
    Clients raw(server, false, count);
    Clients framed(server, true, count);
    if (!raw.ok() || !framed.ok()) {
        state.SkipWithError("connect failed");
        return;
    }
    qint64 rawNs = 0;
    qint64 framedNs = 0;
    qint64 rounds = 0;
    for (auto _ : state) {
        const qint64 r = raw.round();
        const qint64 f = framed.round();
        if (r < 0 || f < 0) {
            state.SkipWithError("answers missing");
            return;
        }
        rawNs += r;
        framedNs += f;
        ++rounds;
    }
    const double requests = double(rounds) * count;
    Rates rates;
    rates.raw = rawNs > 0 ? requests * 1e9 / double(rawNs) : 0;
    rates.framed = framedNs > 0 ? requests * 1e9 / double(framedNs) : 0;
    g_rates[count] = rates;
    state.SetItemsProcessed(int64_t(requests) * 2);
    state.counters["raw_rps"] = rates.raw;
    state.counters["framed_rps"] = rates.framed;
    state.counters["framed_pct"] = rates.raw > 0 ? 100.0 * rates.framed / rates.raw : 0;
}

BENCHMARK(BM_RoundTrip)->ArgName("connections")->Arg(1)->Arg(16)->UseRealTime()->MinTime(3.0);

void printRatios()
{
    std::printf("\nframed / raw echo requests per second (target >= 70 %%)\n");
    for (const auto& [connections, rates] : g_rates) {
        if (rates.raw <= 0)
            continue;
        std::printf("  %2d connection(s): framed %10.0f/s  raw %10.0f/s  ratio %5.1f %%\n", connections, rates.framed,
                    rates.raw, 100.0 * rates.framed / rates.raw);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printRatios();
    return 0;
}

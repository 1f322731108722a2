// Request/response round trips over loopback through the connection and
// framing layer, beside a raw socket echo of the same byte counts measured
// in the same run. The ratio of the two is the cost of the framing.
//
// The echo side runs on its own thread with its own event loop; the client
// side drives the main thread's loop until every connection has its answer.
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

// Answers each framed document with itself, or echoes raw bytes.
class EchoServer : public QObject
{
public:
    explicit EchoServer(bool framed) : m_framed(framed)
    {
        connect(&m_server, &QTcpServer::newConnection, this, &EchoServer::accept);
    }
    quint16 listen()
    {
        m_server.listen(QHostAddress(QHostAddress::LocalHost), 0);
        return m_server.serverPort();
    }

private:
    void accept()
    {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            if (!m_framed) {
                socket->setParent(this);
                connect(socket, &QTcpSocket::readyRead, socket, [socket] { socket->write(socket->readAll()); });
                continue;
            }
            auto* connection = new CVNComConnectionTcpSocket(socket->peerAddress(), socket->peerPort(), socket, this);
            auto* channel = new CVNDocumentChannel(connection, CVNDocumentChannel::Mode::EveryDocument, connection);
            connect(channel, &CVNDocumentChannel::documentReceived, connection,
                    [connection](const QJsonDocument& document) { connection->writeDocument(document); });
        }
    }

    bool m_framed;
    QTcpServer m_server{this};
};

class ServerThread
{
public:
    explicit ServerThread(bool framed)
    {
        m_thread.start();
        m_server = new EchoServer(framed);
        m_server->moveToThread(&m_thread);
        QMetaObject::invokeMethod(m_server, [this] { m_port = m_server->listen(); }, Qt::BlockingQueuedConnection);
    }
    ~ServerThread()
    {
        QMetaObject::invokeMethod(m_server, [this] { delete m_server; }, Qt::BlockingQueuedConnection);
        m_thread.quit();
        m_thread.wait();
    }
    quint16 port() const { return m_port; }

private:
    QThread m_thread;
    EchoServer* m_server = nullptr;
    quint16 m_port = 0;
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

// Requests per second of each run, keyed by (framed, connections).
std::map<std::pair<bool, int>, double> g_rates;

void record(benchmark::State& state, bool framed, int connections, qint64 requests, qint64 nanoseconds)
{
    state.SetItemsProcessed(requests);
    if (nanoseconds > 0)
        g_rates[{framed, connections}] = double(requests) * 1e9 / double(nanoseconds);
}

void BM_FramedRoundTrip(benchmark::State& state)
{
    const int count = int(state.range(0));
    ServerThread server(true);
    const QJsonObject request = requestDocument();
    std::vector<std::unique_ptr<CVNComConnectionTcpSocket>> connections;
    std::vector<std::unique_ptr<CVNDocumentChannel>> channels;
    int answers = 0;
    for (int i = 0; i < count; ++i) {
        auto connection = std::make_unique<CVNComConnectionTcpSocket>(QHostAddress(QHostAddress::LocalHost), server.port());
        connection->connectToHost(QHostAddress(QHostAddress::LocalHost), server.port());
        auto channel = std::make_unique<CVNDocumentChannel>(connection.get(), CVNDocumentChannel::Mode::LastDocument);
        QObject::connect(channel.get(), &CVNDocumentChannel::documentReceived, [&answers] { ++answers; });
        if (!connection->socket()->waitForConnected(5000)) {
            state.SkipWithError("connect failed");
            return;
        }
        connection->socket()->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        connections.push_back(std::move(connection));
        channels.push_back(std::move(channel));
    }
    qint64 requests = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    for (auto _ : state) {
        answers = 0;
        for (auto& connection : connections)
            connection->writeDocument(request);
        if (!pump([&] { return answers == count; })) {
            state.SkipWithError("answers missing");
            return;
        }
        requests += count;
    }
    record(state, true, count, requests, elapsed.nsecsElapsed());
}

void BM_RawEcho(benchmark::State& state)
{
    const int count = int(state.range(0));
    ServerThread server(false);
    const QByteArray payload = CVNBinaryJson::encodeDocument(requestDocument());
    std::vector<std::unique_ptr<QTcpSocket>> sockets;
    std::vector<qint64> received(size_t(count), 0);
    int answers = 0;
    for (int i = 0; i < count; ++i) {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress(QHostAddress::LocalHost), server.port());
        if (!socket->waitForConnected(5000)) {
            state.SkipWithError("connect failed");
            return;
        }
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        QTcpSocket* raw = socket.get();
        QObject::connect(raw, &QTcpSocket::readyRead, [raw, i, &received, &answers, &payload] {
            received[size_t(i)] += raw->readAll().size();
            if (received[size_t(i)] >= payload.size()) {
                received[size_t(i)] -= payload.size();
                ++answers;
            }
        });
        sockets.push_back(std::move(socket));
    }
    qint64 requests = 0;
    QElapsedTimer elapsed;
    elapsed.start();
    for (auto _ : state) {
        answers = 0;
        for (auto& socket : sockets)
            socket->write(payload);
        if (!pump([&] { return answers == count; })) {
            state.SkipWithError("answers missing");
            return;
        }
        requests += count;
    }
    record(state, false, count, requests, elapsed.nsecsElapsed());
}

BENCHMARK(BM_RawEcho)->Arg(1)->Arg(16)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_FramedRoundTrip)->Arg(1)->Arg(16)->UseRealTime()->MinTime(2.0);

void printRatios()
{
    std::printf("\nframed / raw requests per second (target >= 70 %%)\n");
    for (int connections : {1, 16}) {
        const auto raw = g_rates.find({false, connections});
        const auto framed = g_rates.find({true, connections});
        if (raw == g_rates.end() || framed == g_rates.end() || raw->second <= 0)
            continue;
        std::printf("  %2d connection(s): framed %10.0f/s  raw %10.0f/s  ratio %5.1f %%\n", connections,
                    framed->second, raw->second, 100.0 * framed->second / raw->second);
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

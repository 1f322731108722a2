// Feeds arbitrary byte streams through the receive path of a connection and
// arbitrary datagrams through the discovery readers of a service and a
// client. Nothing here sends to the network: datagrams come from a null
// sender address, so answers and connection attempts fail locally.
#include "com/binaryjson.h"
#include "com/comconnection.h"
#include "com/commanager.h"
#include "com/discoverydatagram.h"
#include "com/documentchannel.h"
#include "memoryconnection.h"

#include <QCoreApplication>
#include <QTimer>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <memory>

namespace {

void quietHandler(QtMsgType, const QMessageLogContext&, const QString&) {}

struct Nodes {
    CVNComManager service{Service};
    CVNComManager client{VeilCLI};
    Nodes()
    {
        // Port 9 is never answered here and nothing is sent to it except the
        // client's single loopback broadcast at start.
        service.setDiscoveryPort(0);
        client.setDiscoveryPort(9);
        service.start(QHostAddress::LocalHost);
        client.start(QHostAddress::LocalHost);
        client.peerManager().stop();
    }
};

Nodes* g_nodes = nullptr;

void checkRoundTrip(const QJsonDocument& document)
{
    const QByteArray bytes = CVNBinaryJson::encodeDocument(document);
    const auto again = CVNBinaryJson::decodeFront(bytes.constData(), bytes.size(), bytes.size());
    if (again.status != CVNBinaryJson::FrontStatus::Complete || again.size != bytes.size())
        std::abort();
    if (document.isObject() && again.document.object() != document.object())
        std::abort();
}

void fuzzStream(FuzzedDataProvider& input, CVNDocumentChannel::Mode mode)
{
    MemoryConnection connection;
    CVNDocumentChannel channel(&connection, mode);
    int broken = 0;
    QObject::connect(&channel, &CVNDocumentChannel::streamBroken, [&] { ++broken; });
    QObject::connect(&channel, &CVNDocumentChannel::documentReceived, [&](const QJsonDocument& document) {
        if (connection.closed() || broken)
            std::abort();  // nothing may come out of a broken stream
        checkRoundTrip(document);
    });
    while (input.remaining_bytes() > 0) {
        const size_t chunk = input.ConsumeIntegralInRange<size_t>(1, 4096);
        const std::string bytes = input.ConsumeBytesAsString(chunk);
        connection.feed(QByteArray(bytes.data(), int(bytes.size())));
    }
    if (broken > 1 || (broken == 1) != connection.closed() || broken != int(channel.buffer().isBroken()))
        std::abort();
}

void fuzzDatagram(FuzzedDataProvider& input, bool toService)
{
    const int port = input.ConsumeIntegral<quint16>();
    const std::string bytes = input.ConsumeRemainingBytesAsString();
    const QByteArray datagram(bytes.data(), int(bytes.size()));
    const QHostAddress nowhere;
    if (toService)
        g_nodes->service.peerManager().handleServiceDatagram(datagram, nowhere, quint16(port));
    else
        g_nodes->client.peerManager().handleClientDatagram(datagram, nowhere, quint16(port));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qInstallMessageHandler(quietHandler);
    static QCoreApplication app(*argc, *argv);
    g_nodes = new Nodes;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        fuzzStream(input, CVNDocumentChannel::Mode::EveryDocument);
        break;
    case 1:
        fuzzStream(input, CVNDocumentChannel::Mode::LastDocument);
        break;
    case 2:
        fuzzDatagram(input, true);
        break;
    default:
        fuzzDatagram(input, false);
        break;
    }
    // Let failed connection attempts end and their objects go.
    static unsigned runs = 0;
    if (++runs % 64 == 0) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    return 0;
}

// Feeds arbitrary byte streams through the receive path of a connection and
// arbitrary datagrams through the discovery readers of a service and a
// client. Nothing here sends to the network: datagrams come from a null
// sender address, so answers and connection attempts fail locally.
// Two structured modes expand a few input bytes into what random bytes
// never reach: documents nested thousands of levels deep or with values
// sharing storage, with input-chosen words overwritten, and JSON text for
// the text check.
#include "com/binaryjson.h"
#include "com/comconnection.h"
#include "com/commanager.h"
#include "com/discoverydatagram.h"
#include "com/documentchannel.h"
#include "com/jsontextcheck.h"
#include "hostiledocuments.h"
#include "memoryconnection.h"

#include <QCoreApplication>
#include <QTimer>

#include <fuzzer/FuzzedDataProvider.h>

#include <QJsonArray>

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

// Depth of a parsed value, walked without recursion.
int depthOf(const QJsonDocument& document)
{
    struct Item {
        QJsonValue value;
        int depth;
    };
    std::vector<Item> stack{{document.isArray() ? QJsonValue(document.array()) : QJsonValue(document.object()), 1}};
    int deepest = 0;
    while (!stack.empty()) {
        const Item item = stack.back();
        stack.pop_back();
        deepest = std::max(deepest, item.depth);
        if (item.value.isArray()) {
            for (const QJsonValue& child : item.value.toArray())
                if (child.isArray() || child.isObject())
                    stack.push_back({child, item.depth + 1});
        } else if (item.value.isObject()) {
            for (const QJsonValue& child : item.value.toObject())
                if (child.isArray() || child.isObject())
                    stack.push_back({child, item.depth + 1});
        }
    }
    return deepest;
}

// A hand-made layout, deep or sharing storage, grown from a few input
// bytes, with some of its words overwritten by the input.
void fuzzLayout(FuzzedDataProvider& input)
{
    QByteArray bytes;
    switch (input.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
        bytes = HostileDocuments::nestedArrays(input.ConsumeIntegralInRange<int>(1, 20000));
        break;
    case 1:
        bytes = HostileDocuments::sharedArrays(input.ConsumeIntegralInRange<int>(1, 64));
        break;
    default:
        bytes = HostileDocuments::sharedString(input.ConsumeIntegralInRange<int>(1, 20000));
        break;
    }
    const int words = (bytes.size() - 8) / 4;
    const int changes = input.ConsumeIntegralInRange<int>(0, 8);
    for (int i = 0; i < changes && words > 0; ++i) {
        const int word = input.ConsumeIntegralInRange<int>(0, words - 1);
        qToLittleEndian(input.ConsumeIntegral<quint32>(), bytes.data() + 8 + 4 * word);
    }
    const CVNDocumentLimits limits = CVNComLimits::kStreamDocumentLimits;
    const auto front = CVNBinaryJson::decodeFront(bytes.constData(), bytes.size(), limits);
    if (front.status == CVNBinaryJson::FrontStatus::Complete) {
        if (depthOf(front.document) > limits.maxDepth)
            std::abort();  // the check let a deeper document through
        checkRoundTrip(front.document);
    }
    // The same bytes through a connection, in pieces.
    MemoryConnection connection;
    CVNDocumentChannel channel(&connection, CVNDocumentChannel::Mode::EveryDocument);
    int offset = 0;
    while (offset < bytes.size()) {
        const int chunk = input.ConsumeIntegralInRange<int>(1024, 65536);
        connection.feed(bytes.mid(offset, chunk));
        offset += chunk;
    }
}

// JSON text, optionally wrapped in deep brackets, through the text check;
// what passes it is parsed.
void fuzzText(FuzzedDataProvider& input)
{
    const int depth = input.ConsumeIntegralInRange<int>(0, 5000);
    const std::string core = input.ConsumeRemainingBytesAsString();
    const QByteArray text = QByteArray(depth, '[') + QByteArray(core.data(), int(core.size())) + QByteArray(depth, ']');
    const CVNDocumentLimits limits = CVNComLimits::kStreamDocumentLimits;
    const CVNBinaryJson::CheckResult check = CVNJsonText::checkLimits(text, limits);
    if (!check.ok)
        return;
    const QJsonDocument document = QJsonDocument::fromJson(text);
    if (!document.isNull() && depthOf(document) > limits.maxDepth)
        std::abort();  // the text check let a deeper document through
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
    switch (input.ConsumeIntegralInRange<int>(0, 5)) {
    case 4:
        fuzzLayout(input);
        break;
    case 5:
        fuzzText(input);
        break;
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

// Drives whole request documents through a service session: arbitrary byte
// streams, arbitrary JSON texts encoded as documents, documents built from
// the request vocabulary with values of every JSON type, and large ones
// that a few input bytes expand into: thousands of actions, values nested
// past the depth limit, long texts, hand-made documents nested 100,000
// levels deep. Every valid document must get exactly one answer, with one
// answer per action; nothing may crash or leak into another session. No
// device is present and nothing is sent to the network.
#include "com/binaryjson.h"
#include "com/comconnection.h"
#include "com/commanager.h"
#include "device/devicemanager.h"
#include "hostiledocuments.h"
#include "memoryconnection.h"
#include "server/applicationserver.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <memory>

namespace {

void quietHandler(QtMsgType, const QMessageLogContext&, const QString&) {}

struct FuzzService {
    QTemporaryDir settings;
    std::unique_ptr<CVNDeviceManager> manager;
    std::unique_ptr<CVNApplicationServer> server;
    // A second session that must keep answering whatever the first one got.
    MemoryConnection bystander{40001};
};
FuzzService* g_service = nullptr;

const char* const kKeys[] = {"help", "version", "devices_all", "device-interface-list", "device-interface-view",
                             "device_lock", "notifications", "ping", "portal_url", "devices_list", "sessions_list",
                             "sessiondeviceview", "settoken", "gain", "th", "", "nosuch"};
const char* const kMembers[] = {"key", "id", "device", "value", "arguments", "view", "register", "unregister", "list"};
const char* const kOptions[] = {"n", "list-clients", "d", "device", "g", "device-help", "r", "device-cache", "l",
                                "device-list", "sessions-list", "session-device-view", "gain", "x", ""};
const char* const kWords[] = {"lock", "unlock", "basic", "advanced", "corvane_link", "0", "1", "-1", "false", "TRUE",
                              "0200000001A3", "999999999999"};

QJsonValue fuzzValue(FuzzedDataProvider& input, int depth);

QString fuzzWord(FuzzedDataProvider& input)
{
    if (input.ConsumeBool())
        return QString::fromLatin1(kWords[input.ConsumeIntegralInRange<size_t>(0, std::size(kWords) - 1)]);
    return QString::fromStdString(input.ConsumeRandomLengthString(32));
}

QJsonObject fuzzObject(FuzzedDataProvider& input, int depth)
{
    QJsonObject object;
    const int members = input.ConsumeIntegralInRange<int>(0, 5);
    for (int i = 0; i < members; ++i) {
        const QString name = QString::fromLatin1(kMembers[input.ConsumeIntegralInRange<size_t>(0, std::size(kMembers) - 1)]);
        QJsonValue value = fuzzValue(input, depth + 1);
        if (name == QLatin1String("key") && input.ConsumeBool())
            value = QString::fromLatin1(kKeys[input.ConsumeIntegralInRange<size_t>(0, std::size(kKeys) - 1)]);
        object.insert(name, value);
    }
    return object;
}

QJsonValue fuzzValue(FuzzedDataProvider& input, int depth)
{
    switch (input.ConsumeIntegralInRange<int>(0, depth > 3 ? 4 : 6)) {
    case 0: return QJsonValue();
    case 1: return input.ConsumeBool();
    case 2: return input.ConsumeFloatingPoint<double>();
    case 3: return input.ConsumeIntegral<int>();
    case 4: return fuzzWord(input);
    case 5: {
        QJsonArray array;
        const int count = input.ConsumeIntegralInRange<int>(0, 6);
        for (int i = 0; i < count; ++i)
            array.append(input.ConsumeBool() ? QJsonValue(fuzzObject(input, depth + 1)) : fuzzValue(input, depth + 1));
        return array;
    }
    default: return fuzzObject(input, depth + 1);
    }
}

QJsonObject fuzzOption(FuzzedDataProvider& input)
{
    QJsonArray values;
    const int count = input.ConsumeIntegralInRange<int>(0, 3);
    for (int i = 0; i < count; ++i)
        values.append(fuzzWord(input));
    QJsonObject option{{"option", QString::fromLatin1(kOptions[input.ConsumeIntegralInRange<size_t>(0, std::size(kOptions) - 1)])},
                       {"dash", input.ConsumeIntegralInRange<int>(0, 3)},
                       {"values", input.ConsumeBool() ? QJsonValue(values) : fuzzValue(input, 3)}};
    if (input.ConsumeBool())
        option.insert("file_operations", fuzzValue(input, 2));
    return option;
}

// A request built from the vocabulary: actions and cli requests whose
// members have any JSON type.
QJsonObject structuredRequest(FuzzedDataProvider& input)
{
    QJsonObject request;
    if (input.ConsumeBool()) {
        QJsonArray list;
        const int count = input.ConsumeIntegralInRange<int>(0, 8);
        for (int i = 0; i < count; ++i)
            list.append(input.ConsumeIntegralInRange<int>(0, 9) ? QJsonValue(fuzzObject(input, 0)) : fuzzValue(input, 2));
        request.insert("actions", input.ConsumeIntegralInRange<int>(0, 9) ? QJsonValue(QJsonObject{{"list", list}}) : fuzzValue(input, 2));
    }
    if (input.ConsumeBool()) {
        QJsonArray parser;
        const int count = input.ConsumeIntegralInRange<int>(0, 4);
        for (int i = 0; i < count; ++i)
            parser.append(fuzzOption(input));
        request.insert("cli", input.ConsumeIntegralInRange<int>(0, 9) ? QJsonValue(QJsonObject{{"parser", parser}}) : fuzzValue(input, 2));
    }
    if (input.ConsumeIntegralInRange<int>(0, 7) == 0)
        request.insert(fuzzWord(input), fuzzValue(input, 2));
    return request;
}

// A value nested up to 80 levels deep around a word, built from the inside.
QJsonValue deepValue(FuzzedDataProvider& input)
{
    QJsonValue value = fuzzWord(input);
    const int depth = input.ConsumeIntegralInRange<int>(0, 80);
    for (int i = 0; i < depth; ++i) {
        if (input.ConsumeBool())
            value = QJsonArray{value};
        else
            value = QJsonObject{{QString::fromLatin1(kMembers[input.ConsumeIntegralInRange<size_t>(0, std::size(kMembers) - 1)]), value}};
    }
    return value;
}

// Many actions from a few templates: past the action limit, with deep
// values and long texts in places.
QJsonObject largeRequest(FuzzedDataProvider& input, int* actionCount)
{
    QList<QJsonObject> templates;
    const int kinds = input.ConsumeIntegralInRange<int>(1, 4);
    for (int i = 0; i < kinds; ++i) {
        QJsonObject action = fuzzObject(input, 0);
        action.insert("key", QString::fromLatin1(kKeys[input.ConsumeIntegralInRange<size_t>(0, std::size(kKeys) - 1)]));
        if (input.ConsumeBool())
            action.insert(input.ConsumeBool() ? "value" : "id", deepValue(input));
        if (input.ConsumeIntegralInRange<int>(0, 3) == 0)
            action.insert("id", QString(input.ConsumeIntegralInRange<int>(0, 4096), QLatin1Char('i')));
        templates.append(action);
    }
    QJsonArray list;
    const int count = input.ConsumeIntegralInRange<int>(0, 3000);
    for (int i = 0; i < count; ++i)
        list.append(templates[i % templates.size()]);
    *actionCount = count;
    return QJsonObject{{"actions", QJsonObject{{"list", list}}}};
}

// Feeds documents in chunks of random size (large documents in chunks of
// at least minChunk bytes, as a socket delivers them); returns how many
// were whole.
int feedDocuments(FuzzedDataProvider& input, MemoryConnection& connection, const QList<QByteArray>& documents,
                  int minChunk = 1)
{
    QByteArray stream;
    for (const QByteArray& document : documents)
        stream += document;
    int offset = 0;
    while (offset < stream.size()) {
        const int rest = stream.size() - offset;
        const int chunk = input.ConsumeIntegralInRange<int>(qMin(minChunk, rest), rest);
        connection.feed(stream.mid(offset, chunk));
        offset += chunk;
    }
    return documents.size();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qInstallMessageHandler(quietHandler);
    static QCoreApplication app(*argc, *argv);
    g_service = new FuzzService;
    qputenv("XDG_CONFIG_HOME", g_service->settings.path().toLocal8Bit());
    qunsetenv("CORVANE_SIM_SOCKET");
    g_service->manager = std::make_unique<CVNDeviceManager>();
    g_service->server = std::make_unique<CVNApplicationServer>(g_service->manager.get());
    g_service->server->communicationManager()->setDiscoveryPort(0);
    g_service->server->newConnection(&g_service->bystander);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    CVNApplicationServer& server = *g_service->server;
    auto* connection = new MemoryConnection(40000);
    server.newConnection(connection);

    int expected = -1;  // unknown for raw streams
    int actionCount = -1;  // answers expected in a single reactions list
    switch (input.ConsumeIntegralInRange<int>(0, 4)) {
    case 3: {
        const QByteArray document = CVNBinaryJson::encodeDocument(largeRequest(input, &actionCount));
        expected = feedDocuments(input, *connection, {document}, 4096);
        break;
    }
    case 4: {
        // Hand-made documents deep or sharing storage: the session closes.
        const int depth = input.ConsumeIntegralInRange<int>(65, 100000);
        const QByteArray bytes = input.ConsumeBool() ? HostileDocuments::nestedArrays(depth)
                                                     : HostileDocuments::sharedArrays(input.ConsumeIntegralInRange<int>(3, 64));
        feedDocuments(input, *connection, {bytes}, 4096);
        if (!connection->closed() || !connection->documents().isEmpty())
            std::abort();
        break;
    }
    case 0: {
        while (input.remaining_bytes() > 0) {
            const std::string bytes = input.ConsumeBytesAsString(input.ConsumeIntegralInRange<size_t>(1, 4096));
            connection->feed(QByteArray(bytes.data(), int(bytes.size())));
        }
        break;
    }
    case 1: {
        const std::string text = input.ConsumeRandomLengthString(1 << 16);
        const QJsonDocument document = QJsonDocument::fromJson(QByteArray(text.data(), int(text.size())));
        if (!document.isNull())
            expected = feedDocuments(input, *connection, {CVNBinaryJson::encodeDocument(document)});
        break;
    }
    default: {
        QList<QByteArray> documents;
        const int count = input.ConsumeIntegralInRange<int>(1, 4);
        for (int i = 0; i < count; ++i)
            documents.append(CVNBinaryJson::encodeDocument(structuredRequest(input)));
        expected = feedDocuments(input, *connection, documents);
        break;
    }
    }
    if (expected >= 0 && !connection->closed() && connection->documents().size() != expected)
        std::abort();  // every request document is answered, once
    if (actionCount >= 0 && !connection->closed()) {
        const QJsonArray answers = connection->documents().value(0).value("reactions").toObject().value("list").toArray();
        if (answers.size() != actionCount)
            std::abort();  // every action is answered, refused ones too
    }

    QCoreApplication::processEvents();
    (void)connection->documents();  // notifications too must be whole documents
    server.closedConnection(connection);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    delete connection;

    // The other session still answers.
    g_service->bystander.written.clear();
    g_service->bystander.feed(CVNBinaryJson::encodeDocument(
        QJsonObject{{"actions", QJsonObject{{"list", QJsonArray{QJsonObject{{"key", "ping"}, {"id", 1}}}}}}}));
    if (g_service->bystander.documents().size() != 1)
        std::abort();
    return 0;
}

// The command-line tool's untrusted inputs: its own command line, and
// whatever a service (perhaps a hostile one on the network) answers.
//
// - Command lines: arguments split from the input at zero bytes. A line that
//   parses must survive the trip through the "parser" array unchanged.
// - Answers: the tool runs a command line (or asks for the help table or the
//   version) on an in-memory connection and is fed answer streams: raw
//   bytes, and documents built from the answer vocabulary with output,
//   status names, option lists and file tables that name the user's files,
//   other files, paths outside the folder and any text. The tool may only
//   ever touch the files its command line names: after each run the folder
//   holds nothing else and nothing appears beside it.
#include "cli/applicationclient.h"
#include "cli/helptable.h"
#include "cli/optionresult.h"
#include "cli/pendingoption.h"
#include "com/binaryjson.h"
#include "memoryconnection.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QTemporaryDir>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

void quietHandler(QtMsgType, const QMessageLogContext&, const QString&) {}

struct Fixture {
    QTemporaryDir root;
    QString work;  // the tool's working folder, inside root
};
Fixture* g_fixture = nullptr;

// The files the fuzzed command line names (relative to the working folder).
const char* const kUserFiles[] = {"in.cfg", "out.cfg"};
const char* const kOtherFiles[] = {"evil.cfg", "../escaped.cfg", "in.cfg/x", "", ".", "out.cfg.tmp", "IN.CFG"};
const char* const kStatuses[] = {"NotFound", "Wait", "Processed", "Error", "Stopped", "Finished", "FileOperation",
                                 "Unknown", ""};
const char* const kWords[] = {"--device", "-d", "0200000001A3", "--settings-upload", "in.cfg", "--settings-download",
                              "out.cfg", "--", "-", "--x=", "-7", "--help", "=", "--name=value", "-ab", "", "--th",
                              "40"};

QString fuzzText(FuzzedDataProvider& input)
{
    return QString::fromUtf8(QByteArray::fromStdString(input.ConsumeRandomLengthString(48)));
}

QString pick(FuzzedDataProvider& input, const char* const* items, size_t count)
{
    return QString::fromLatin1(items[input.ConsumeIntegralInRange<size_t>(0, count - 1)]);
}

// A file name a hostile service might send: the user's, others, anything.
QString fileName(FuzzedDataProvider& input)
{
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return pick(input, kUserFiles, std::size(kUserFiles));
    case 1: return pick(input, kOtherFiles, std::size(kOtherFiles));
    case 2: return g_fixture->root.filePath(QStringLiteral("absolute.cfg"));
    default: return fuzzText(input);
    }
}

QJsonArray fileOperations(FuzzedDataProvider& input)
{
    QJsonArray array;
    const int count = input.ConsumeIntegralInRange<int>(0, 4);
    for (int i = 0; i < count; ++i) {
        QJsonObject entry{{"filename", fileName(input)}};
        if (input.ConsumeBool())
            entry.insert("data", QString::fromLatin1(QByteArray::fromStdString(input.ConsumeRandomLengthString(64)).toBase64()));
        if (input.ConsumeIntegralInRange<int>(0, 3) == 0)
            entry.insert("result", fuzzText(input));
        if (input.ConsumeBool())
            entry.insert("operation", input.ConsumeBool() ? QStringLiteral("write") : QStringLiteral("read"));
        array.append(entry);
    }
    return array;
}

QJsonArray parserArray(FuzzedDataProvider& input)
{
    QJsonArray parser;
    const int count = input.ConsumeIntegralInRange<int>(0, 3);
    for (int i = 0; i < count; ++i) {
        QJsonArray values;
        const int words = input.ConsumeIntegralInRange<int>(0, 3);
        for (int j = 0; j < words; ++j)
            values.append(input.ConsumeBool() ? pick(input, kWords, std::size(kWords)) : fuzzText(input));
        QJsonObject option{{"option", pick(input, kWords, std::size(kWords))},
                           {"dash", input.ConsumeIntegralInRange<int>(0, 3)},
                           {"values", values}};
        if (input.ConsumeBool())
            option.insert("file_operations", fileOperations(input));
        parser.append(input.ConsumeIntegralInRange<int>(0, 15) ? QJsonValue(option) : QJsonValue(fuzzText(input)));
    }
    return parser;
}

// An answer of the shapes the tool reads: a cli answer, a reaction list
// (help, version), an error, or something else.
QJsonObject answer(FuzzedDataProvider& input)
{
    switch (input.ConsumeIntegralInRange<int>(0, 4)) {
    case 0:
    case 1: {
        QJsonArray output;
        const int lines = input.ConsumeIntegralInRange<int>(0, 4);
        for (int i = 0; i < lines; ++i)
            output.append(fuzzText(input));
        QJsonObject cli{{"output", output},
                        {"status", pick(input, kStatuses, std::size(kStatuses))},
                        {"parser", parserArray(input)}};
        if (input.ConsumeIntegralInRange<int>(0, 7) == 0)
            cli.insert("error", fuzzText(input));
        return {{"cli", cli}};
    }
    case 2: {
        QJsonArray help;
        const int modules = input.ConsumeIntegralInRange<int>(0, 3);
        for (int i = 0; i < modules; ++i) {
            QJsonArray lines;
            const int count = input.ConsumeIntegralInRange<int>(0, 3);
            for (int j = 0; j < count; ++j)
                lines.append(input.ConsumeBool() ? QJsonValue(fuzzText(input)) : QJsonValue(input.ConsumeIntegral<int>()));
            help.append(input.ConsumeBool() ? QJsonValue(QJsonObject{{fuzzText(input), lines}}) : QJsonValue(lines));
        }
        QJsonObject reaction{{"key", input.ConsumeBool() ? QStringLiteral("help") : QStringLiteral("version")},
                             {"value", input.ConsumeBool() ? QJsonValue(help) : QJsonValue(fuzzText(input))}};
        if (input.ConsumeIntegralInRange<int>(0, 7) == 0)
            reaction.insert("error", fuzzText(input));
        return {{"reactions", QJsonObject{{"list", QJsonArray{reaction}}}}};
    }
    case 3:
        return {{"error", fuzzText(input)}};
    default:
        return {{fuzzText(input), fuzzText(input)}};
    }
}

void fuzzCommandLine(FuzzedDataProvider& input)
{
    QStringList arguments{QStringLiteral("CorvaneService")};
    for (const QByteArray& word : QByteArray::fromStdString(input.ConsumeRemainingBytesAsString()).split('\0'))
        arguments.append(QString::fromUtf8(word));
    CVNPendingOptionList options;
    if (!options.parse(arguments)) {
        if (options.error().isEmpty())
            std::abort();
        return;
    }
    CVNPendingOptionList again;
    again.fromJson(options.toJson());
    if (again.options() != options.options())
        std::abort();
}

// Only files the command line named may exist in the working folder, and
// nothing beside it; then the folder is set up afresh.
void checkFiles(const QSet<QString>& named)
{
    QDir work(g_fixture->work);
    for (const QString& name : work.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (name != QLatin1String(kUserFiles[0]) && !named.contains(name))
            std::abort();  // a file the command line did not name
        QFile::remove(work.filePath(name));
    }
    for (const QString& name : QDir(g_fixture->root.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
        if (name != QLatin1String("work") && name != QLatin1String("config"))
            std::abort();
    }
    QFile user(work.filePath(QLatin1String(kUserFiles[0])));
    if (!user.open(QIODevice::WriteOnly) || user.write("settings\n") != 9)
        std::abort();
}

void fuzzAnswers(FuzzedDataProvider& input)
{
    MemoryConnection connection;
    QSet<QString> named;
    {
        CVNApplicationClient client;
        client.comManager().setDiscoveryPort(9);
        client.setConnectionTimeout(1);
        client.newConnection(&connection);
        CVNPendingOptionList options;
        QStringList arguments{QStringLiteral("CorvaneService")};
        for (int i = input.ConsumeIntegralInRange<int>(0, 6); i > 0; --i)
            arguments.append(pick(input, kWords, std::size(kWords)));
        int result = 0;
        CVNHelpTable table;
        QString text;
        switch (input.ConsumeIntegralInRange<int>(0, 2)) {
        case 0:
            (void)options.parse(arguments);
            client.consumeOptions(result, options);
            break;
        case 1:
            client.helpTable(result, table);
            break;
        default:
            client.version(result, text);
            break;
        }
        while (input.remaining_bytes() > 0) {
            QByteArray bytes = input.ConsumeIntegralInRange<int>(0, 7) == 0
                ? QByteArray::fromStdString(input.ConsumeRandomLengthString(256))
                : CVNBinaryJson::encodeDocument(QJsonDocument(answer(input)));
            while (!bytes.isEmpty()) {
                const int chunk = input.ConsumeIntegralInRange<int>(1, qMax(1, bytes.size()));
                connection.feed(bytes.left(chunk));
                bytes.remove(0, chunk);
            }
        }
        // The tool's wait for an answer ends.
        QCoreApplication::processEvents();
        named = client.userWords();
    }
    checkFiles(named);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qInstallMessageHandler(quietHandler);
    static QCoreApplication app(*argc, *argv);
    g_fixture = new Fixture;
    g_fixture->work = g_fixture->root.filePath(QStringLiteral("work"));
    if (!QDir().mkpath(g_fixture->work) || !QDir::setCurrent(g_fixture->work))
        std::abort();
    qputenv("XDG_CONFIG_HOME", g_fixture->root.filePath(QStringLiteral("config")).toLocal8Bit());
    checkFiles({});
    // The tool prints what the service answers; nobody reads it here.
    const int null = ::open("/dev/null", O_WRONLY);
    if (null < 0 || ::dup2(null, STDOUT_FILENO) < 0)
        std::abort();
    ::close(null);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    if (input.ConsumeBool())
        fuzzCommandLine(input);
    else
        fuzzAnswers(input);
    static unsigned runs = 0;
    if (++runs % 64 == 0)
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}

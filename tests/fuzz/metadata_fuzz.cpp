// Metadata answers of a self-describing controller: the fuzz bytes become
// answer texts (arbitrary, JSON-ish, or of the asked shape with fuzzed
// contents), handed out one per call; a
// document that comes of them is built into an interface like any
// description. Nothing may crash, and a built interface must have the view
// "basic".
#include "interface/deviceinterfacebuilder.h"
#include "interface/deviceinterfacebulk.h"
#include "interface/selfdescription.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <memory>

namespace {

void quietHandler(QtMsgType, const QMessageLogContext&, const QString&) {}

struct Fixture {
    QTemporaryDir settings;
    std::unique_ptr<DeviceInterfaceBuilder> builder;
};
Fixture* g_fixture = nullptr;

const char* const kPieces[] = { "{", "}", "[", "]", ",", ":", "\"name\"", "\"entities\"", "\"list\"", "\"type\"",
    "\"int\"", "\"float\"", "\"Matrix3x3\"", "\"EnumList\"", "\"Alias\"", "\"basic\"", "\"all\"", "\"th\"",
    "\"domain\"", "{\"begin\": 1, \"end\": -5}", "\"values\"", "\"access_mode\"", "\"depends\"", "\"property\"",
    "\"symbols_extra\"", "1e309", "null", "true", "\"\"", "0" };

const char* const kNames[] = { "th", "gain", "cmat", "basic", "all", "tuning", "" };

QString pick(FuzzedDataProvider& input, const char* const* items, size_t count)
{
    return QString::fromLatin1(items[input.ConsumeIntegralInRange<size_t>(0, count - 1)]);
}

QJsonArray names(FuzzedDataProvider& input)
{
    QJsonArray array;
    const int count = input.ConsumeIntegralInRange<int>(0, 6);
    for (int i = 0; i < count; ++i)
        array.append(pick(input, kNames, std::size(kNames)));
    return array;
}

// An answer of the shape the question asks for, with fuzzed contents.
QJsonObject shapedAnswer(FuzzedDataProvider& input, const QStringList& arguments)
{
    if (arguments.size() == 2 && arguments[1] == QLatin1String("list"))
        return { { "list", names(input) } };
    if (arguments.size() == 2)
        return { { "name", arguments[1] }, { "entities", names(input) } };
    const QStringList types = DeviceInterfaceBuilder::registryOrder();
    QJsonObject entity { { "name", arguments.value(0) },
        { "type", types.value(input.ConsumeIntegralInRange<int>(0, types.size())) },
        { "access_mode", pick(input, kNames, std::size(kNames)) },
        { "domain", QJsonObject { { "begin", input.ConsumeFloatingPoint<double>() },
                        { "end", input.ConsumeIntegralInRange<int>(-1000, 1000) } } },
        { "values", names(input) }, { "depends", names(input) },
        { "property", pick(input, kNames, std::size(kNames)) },
        { "symbols_extra", QJsonObject { { "mode", pick(input, kNames, std::size(kNames)) } } } };
    return entity;
}

QString answerText(FuzzedDataProvider& input, const QStringList& arguments)
{
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return QString::fromStdString(input.ConsumeRandomLengthString(256));
    case 1: {
        QString text;
        const int pieces = input.ConsumeIntegralInRange<int>(0, 40);
        for (int i = 0; i < pieces; ++i)
            text += pick(input, kPieces, std::size(kPieces));
        return text;
    }
    default:
        return QString::fromUtf8(QJsonDocument(shapedAnswer(input, arguments)).toJson(QJsonDocument::Compact));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qInstallMessageHandler(quietHandler);
    static QCoreApplication app(*argc, *argv);
    g_fixture = new Fixture;
    qputenv("XDG_CONFIG_HOME", g_fixture->settings.path().toLocal8Bit());
    g_fixture->builder = std::make_unique<DeviceInterfaceBuilder>();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    int calls = 0;
    const CVNSelfDescription::Call call = [&](const QStringList& arguments, QString* answer, QString* error) {
        if (++calls > 64 || input.remaining_bytes() == 0 || input.ConsumeIntegralInRange<int>(0, 15) == 0) {
            *error = QStringLiteral("no answer");
            return false;
        }
        *answer = answerText(input, arguments);
        return true;
    };
    QJsonObject description;
    QString error;
    if (!CVNSelfDescription::describe(call, &description, &error)) {
        if (error.isEmpty())
            std::abort();
        return 0;
    }
    CVNDeviceInterfaceBulk interface(nullptr);
    if (g_fixture->builder->populate(&interface, description, true) && !interface.view(QStringLiteral("basic")))
        std::abort();
    return 0;
}

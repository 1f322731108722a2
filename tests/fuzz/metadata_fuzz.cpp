// Metadata answers of a self-describing controller: the fuzz bytes are cut
// into answer texts (JSON-ish or arbitrary), handed out one per call; a
// document that comes of them is built into an interface like any
// description. Nothing may crash, and a built interface must have the view
// "basic".
#include "interface/deviceinterfacebuilder.h"
#include "interface/deviceinterfacebulk.h"
#include "interface/selfdescription.h"

#include <QCoreApplication>
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

QString answerText(FuzzedDataProvider& input)
{
    if (input.ConsumeBool())
        return QString::fromStdString(input.ConsumeRandomLengthString(256));
    QString text;
    const int pieces = input.ConsumeIntegralInRange<int>(0, 40);
    for (int i = 0; i < pieces; ++i)
        text += QLatin1String(kPieces[input.ConsumeIntegralInRange<size_t>(0, std::size(kPieces) - 1)]);
    return text;
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
    const CVNSelfDescription::Call call = [&](const QStringList&, QString* answer, QString* error) {
        if (++calls > 64 || input.remaining_bytes() == 0 || input.ConsumeIntegralInRange<int>(0, 15) == 0) {
            *error = QStringLiteral("no answer");
            return false;
        }
        *answer = answerText(input);
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

// Interface descriptions through the loader and the builder: JSON text as a
// description file, and the shipped descriptions with entries rewritten by
// the input (types, command words, access modes, domains, values, depends,
// views naming anything). Whatever builds must describe itself and answer
// every text command, JSON read and refresh against a controller that has
// gone; a description without the view "basic" builds nothing.
#include "device/devicehid.h"
#include "interface/deviceinterface.h"
#include "interface/deviceinterfacebuilder.h"
#include "interface/deviceinterfacehid.h"
#include "interface/deviceinterfaceview.h"
#include "interface/entity.h"
#include "interface/deviceproperty.h"
#include "server/entitybuilders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
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
    QList<QJsonObject> shipped;
    QStringList types;
    CVNDeviceParent* parent = nullptr;
    CVNDeviceHid* hid = nullptr;
};
Fixture* g_fixture = nullptr;

const char* const kWords[] = {"th", "gain", "basic", "advanced", "corvane_link", "all", "read", "write", "read_write",
                              "mutable", "", "settings.veil", "cba.top", "foilh.status", "tste", "frame", "touches",
                              "0", "-1", "1e308", "dfu", "name", "entities", "list"};
const char* const kKeys[] = {"name", "type", "command", "access_mode", "domain", "values", "depends", "property",
                             "symbols_extra", "arg_exp", "size", "description", "begin", "end", "entities", "views"};

QString word(FuzzedDataProvider& input)
{
    if (input.ConsumeBool())
        return QString::fromLatin1(kWords[input.ConsumeIntegralInRange<size_t>(0, std::size(kWords) - 1)]);
    return QString::fromStdString(input.ConsumeRandomLengthString(24));
}

QJsonValue value(FuzzedDataProvider& input, int depth = 0)
{
    switch (input.ConsumeIntegralInRange<int>(0, depth > 2 ? 4 : 6)) {
    case 0: return QJsonValue();
    case 1: return input.ConsumeBool();
    case 2: return input.ConsumeFloatingPoint<double>();
    case 3: return input.ConsumeIntegralInRange<int>(-70000, 70000);
    case 4: return word(input);
    case 5: {
        QJsonArray array;
        const int count = input.ConsumeIntegralInRange<int>(0, 6);
        for (int i = 0; i < count; ++i)
            array.append(value(input, depth + 1));
        return array;
    }
    default: {
        QJsonObject object;
        const int count = input.ConsumeIntegralInRange<int>(0, 4);
        for (int i = 0; i < count; ++i)
            object.insert(QString::fromLatin1(kKeys[input.ConsumeIntegralInRange<size_t>(0, std::size(kKeys) - 1)]),
                          value(input, depth + 1));
        return object;
    }
    }
}

// A shipped description with some members of some entries (and views)
// replaced: types from the registry, names of other entries, any value.
QJsonObject rewritten(FuzzedDataProvider& input)
{
    QJsonObject description =
        g_fixture->shipped[input.ConsumeIntegralInRange<int>(0, g_fixture->shipped.size() - 1)];
    QJsonArray entities = description.value(QStringLiteral("entities")).toArray();
    const int changes = input.ConsumeIntegralInRange<int>(1, 12);
    for (int i = 0; i < changes && !entities.isEmpty(); ++i) {
        const int index = input.ConsumeIntegralInRange<int>(0, entities.size() - 1);
        QJsonObject entity = entities.at(index).toObject();
        const QString key = QString::fromLatin1(kKeys[input.ConsumeIntegralInRange<size_t>(0, std::size(kKeys) - 1)]);
        switch (input.ConsumeIntegralInRange<int>(0, 4)) {
        case 0:
            entity.insert(QStringLiteral("type"),
                          g_fixture->types.value(input.ConsumeIntegralInRange<int>(0, g_fixture->types.size())));
            break;
        case 1: {
            // Another entry's name where a name is expected.
            const QString other = entities.at(input.ConsumeIntegralInRange<int>(0, entities.size() - 1))
                                      .toObject().value(QStringLiteral("name")).toString();
            entity.insert(key, input.ConsumeBool() ? QJsonValue(other) : QJsonValue(QJsonArray{other}));
            break;
        }
        case 2:
            entity.remove(key);
            break;
        case 3:
            entities.append(entity);  // the same name twice
            break;
        default:
            entity.insert(key, value(input));
            break;
        }
        entities[index] = entity;
    }
    description.insert(QStringLiteral("entities"), entities);
    if (input.ConsumeIntegralInRange<int>(0, 3) == 0)
        description.insert(QStringLiteral("views"), value(input));
    return description;
}

// JSON text read the way description files are read.
QJsonObject fromText(FuzzedDataProvider& input)
{
    const std::string text = input.ConsumeRemainingBytesAsString();
    QFile file(g_fixture->settings.filePath(QStringLiteral("description.json")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(text.data(), qint64(text.size()));
    file.close();
    QJsonObject description;
    if (!DeviceInterfaceBuilder::readDescription(file.fileName(), &description))
        std::abort();  // a readable file of at most a few KiB
    return description;
}

// Everything a client can ask of an interface whose controller has gone:
// descriptions, views, every text command and JSON value, a refresh that
// follows the dependencies.
void exercise(CVNDeviceInterface& interface)
{
    for (Entity* entity : interface.entities()) {
        if (!entity)
            std::abort();
        (void)entity->describe();
        (void)interface.executeCommand(entity->name(), QStringList());
        if (entity->kind() == Entity::PropertyKind)
            (void)static_cast<CVNProperty*>(entity)->value();
    }
    for (DeviceInterfaceView* view : interface.views())
        (void)view->entityNames();
    interface.refreshAll();
}

// A controller whose every transfer fails at once.
class GoneHandle : public CVNUsbHandle
{
public:
    bool setFeature(const QByteArray&) override { return false; }
    bool getFeature(QByteArray&) override { return false; }
    bool getInputReport(QByteArray&) override { return false; }
    qint64 bulkWrite(quint8, const QByteArray&, int) override { return -1; }
    bool bulkRead(quint8, int, int, QByteArray&) override { return false; }
    bool controlTransfer(quint8, quint8, quint16, quint16, QByteArray&, int) override { return false; }
    void close() override {}
};

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qInstallMessageHandler(quietHandler);
    static QCoreApplication app(*argc, *argv);
    g_fixture = new Fixture;
    qputenv("XDG_CONFIG_HOME", g_fixture->settings.path().toLocal8Bit());
    registerEntityBuilders();
    g_fixture->builder = std::make_unique<DeviceInterfaceBuilder>();
    g_fixture->types = DeviceInterfaceBuilder::registryOrder();
    const QDir shipped(QStringLiteral(":/devices-interfaces-resources"));
    for (const QString& name : shipped.entryList({QStringLiteral("*.json")})) {
        QJsonObject description;
        if (DeviceInterfaceBuilder::readDescription(shipped.filePath(name), &description))
            g_fixture->shipped.append(description);
    }
    if (g_fixture->shipped.isEmpty())
        std::abort();
    g_fixture->parent = new CVNDeviceParent(QStringLiteral("0200000001A3"), QStringLiteral("2.005"), 2);
    g_fixture->hid = new CVNDeviceHid(g_fixture->parent, std::make_unique<GoneHandle>());
    g_fixture->parent->addChild(g_fixture->hid);
    g_fixture->parent->markNotOpen();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const QJsonObject description = input.ConsumeBool() ? rewritten(input) : fromText(input);
    CVNDeviceInterfaceHid interface(g_fixture->hid);
    const bool built = g_fixture->builder->populate(&interface, description);
    if (built != (interface.view(QStringLiteral("basic")) != nullptr))
        std::abort();
    if (built)
        exercise(interface);
    return 0;
}

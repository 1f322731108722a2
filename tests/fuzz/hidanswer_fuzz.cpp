// Controller answers on the HID channel, as every entity of every shipped
// HID description takes them: the interface is built for a controller (the
// description chosen by product and firmware, as for a real one) whose
// feature and input reports come from the input: answer texts from a
// vocabulary of numbers, words and error texts, raw answer blocks, answers
// for another command word, reports of the wrong length and failed
// transfers. The input then reads, writes and calls entities through text
// commands (with the words they take, such as recognition parameters and
// tuning actions) and JSON values (objects made from the entity's own
// value), and may run the probe on the same answers.
// Nothing may crash or hang; nothing is sent anywhere.
#include "device/device.h"
#include "device/devicehid.h"
#include "device/hidcommandreport.h"
#include "device/hidprobe.h"
#include "interface/deviceinterface.h"
#include "interface/deviceinterfacebuilder.h"
#include "interface/deviceproperty.h"
#include "interface/entity.h"
#include "server/entitybuilders.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <memory>
#include <vector>

namespace {

void quietHandler(QtMsgType, const QMessageLogContext&, const QString&) {}

struct Product {
    quint16 productType;
    QString firmware;
};

struct Fixture {
    QTemporaryDir settings;
    std::unique_ptr<DeviceInterfaceBuilder> builder;
    QList<Product> products;
};
Fixture* g_fixture = nullptr;

const char* const kTokens[] = {" ", " ", "-", ".", ",", "0", "1", "3", "255", "4095", "65535", "2147483648",
                               "-2147483649", "1e309", "nan", "inf", "error", "error: unknown command", "ok",
                               "status", "start", "stop", "raw", "normal", "true", "false", "bg00", "bs33",
                               "0x1f", "\t", "\xff", "\x80"};

// One answer text from the vocabulary and the input.
QByteArray answerText(FuzzedDataProvider& input)
{
    QByteArray text;
    const int pieces = input.ConsumeIntegralInRange<int>(0, 16);
    for (int i = 0; i < pieces && text.size() < 80; ++i) {
        switch (input.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            text += QByteArray::number(input.ConsumeIntegral<int>());
            break;
        case 1:
            text += QByteArray::number(input.ConsumeFloatingPoint<double>(), 'g', 9);
            break;
        default:
            text += kTokens[input.ConsumeIntegralInRange<size_t>(0, std::size(kTokens) - 1)];
            break;
        }
    }
    return text;
}

// Every transfer answered from the input; once the input is used up the
// controller is gone (every later transfer fails at once).
class AnsweringHandle : public CVNUsbHandle
{
public:
    AnsweringHandle(FuzzedDataProvider& input, CVNDeviceParent* parent) : m_input(input), m_parent(parent) {}

    bool setFeature(const QByteArray& report) override
    {
        m_word = report.mid(CVNHidCommandReport::CommandOffset, CVNHidCommandReport::CommandSize);
        return !empty() && m_input.ConsumeIntegralInRange<int>(0, 31) != 0;
    }
    bool getFeature(QByteArray& report) override
    {
        if (empty())
            return false;
        const int size = report.size();
        switch (m_input.ConsumeIntegralInRange<int>(0, 9)) {
        case 0:  // raw bytes after the report id
            report = report.left(1) + QByteArray::fromStdString(m_input.ConsumeBytesAsString(size_t(size - 1)));
            report = report.leftJustified(size, '\0', true);
            return true;
        case 1:  // a report of another length
            report = QByteArray::fromStdString(m_input.ConsumeRandomLengthString(size_t(2 * size)));
            return true;
        case 2:
            return false;
        case 3:  // the answer to another command word
            report.replace(CVNHidCommandReport::CommandOffset, CVNHidCommandReport::CommandSize,
                           QByteArray("xx").leftJustified(CVNHidCommandReport::CommandSize, '\0'));
            break;
        default:
            if (size >= CVNHidCommandReport::ValueOffset)
                report.replace(CVNHidCommandReport::CommandOffset, CVNHidCommandReport::CommandSize, m_word);
            break;
        }
        if (size > CVNHidCommandReport::ValueOffset) {
            const QByteArray text = answerText(m_input).left(size - CVNHidCommandReport::ValueOffset);
            report.replace(CVNHidCommandReport::ValueOffset, text.size(), text);
        }
        report = report.leftJustified(size, '\0', true);
        return true;
    }
    bool getInputReport(QByteArray& report) override
    {
        if (empty() || m_input.ConsumeIntegralInRange<int>(0, 15) == 0)
            return false;
        const QByteArray bytes = QByteArray::fromStdString(m_input.ConsumeBytesAsString(size_t(report.size())));
        report.replace(1, bytes.size(), bytes);
        return true;
    }
    qint64 bulkWrite(quint8, const QByteArray&, int) override { return -1; }
    bool bulkRead(quint8, int, int, QByteArray&) override { return false; }
    bool controlTransfer(quint8, quint8, quint16, quint16, QByteArray&, int) override { return false; }
    void close() override {}

private:
    bool empty() const
    {
        if (m_input.remaining_bytes() > 0)
            return false;
        m_parent->markNotOpen();
        return true;
    }

    FuzzedDataProvider& m_input;
    CVNDeviceParent* m_parent;
    QByteArray m_word;
};

// Words that entities take as arguments: recognition parameter names, the
// tuning sequence's actions, flags; the rest come from the answer vocabulary.
const char* const kArguments[] = {"default", "time-lock", "idle", "pressure-rejection", "pressure-rejection-locked",
                                  "angle-range", "base-diff", "max-distance", "point-rejection", "max-capture",
                                  "startTest", "nextTest", "reTest", "endTest", "disableColsAndRows", "stopTest",
                                  "failed", "yes", "no", "true", "0", "1", "-1", "2", "1e308", "nan", "3.5"};

QString argument(FuzzedDataProvider& input)
{
    if (input.ConsumeBool())
        return QString::fromLatin1(input.PickValueInArray(kArguments));
    return QString::fromLatin1(answerText(input));
}

QJsonValue jsonValue(FuzzedDataProvider& input, Entity* entity, int depth = 0);

// An object as a client writes one: the entity's own value with members
// replaced, dropped or added, or an action of a sequence.
QJsonObject jsonObject(FuzzedDataProvider& input, Entity* entity, int depth)
{
    QJsonObject object;
    if (input.ConsumeBool() && entity->kind() == Entity::PropertyKind) {
        const QJsonValue current = static_cast<CVNProperty*>(entity)->value();
        object = current.toObject();
    }
    const QStringList keys = object.keys();
    const int changes = input.ConsumeIntegralInRange<int>(0, 4);
    for (int i = 0; i < changes; ++i) {
        switch (input.ConsumeIntegralInRange<int>(0, 3)) {
        case 0:
            if (!keys.isEmpty())
                object.remove(keys.at(input.ConsumeIntegralInRange<int>(0, keys.size() - 1)));
            break;
        case 1:
            object.insert(QStringLiteral("action"), argument(input));
            break;
        case 2:
            object.insert(argument(input), jsonValue(input, entity, depth + 1));
            break;
        default:
            if (!keys.isEmpty())
                object.insert(keys.at(input.ConsumeIntegralInRange<int>(0, keys.size() - 1)),
                              jsonValue(input, entity, depth + 1));
            break;
        }
    }
    return object;
}

QJsonValue jsonValue(FuzzedDataProvider& input, Entity* entity, int depth)
{
    switch (input.ConsumeIntegralInRange<int>(0, 6)) {
    case 0: return input.ConsumeIntegral<int>();
    case 1: return input.ConsumeFloatingPoint<double>();
    case 2: return input.ConsumeBool();
    case 3: return QString::fromLatin1(answerText(input));
    case 4: {
        QJsonArray array;
        const int count = input.ConsumeIntegralInRange<int>(0, 10);
        for (int i = 0; i < count; ++i)
            array.append(input.ConsumeIntegralInRange<int>(-5, 5000));
        return array;
    }
    case 5:
        if (depth < 3)
            return jsonObject(input, entity, depth);
        return QJsonValue();
    default: return QJsonValue();
    }
}

QStringList words(FuzzedDataProvider& input)
{
    QStringList result;
    const int count = input.ConsumeIntegralInRange<int>(0, 4);
    for (int i = 0; i < count; ++i)
        result.append(argument(input));
    return result;
}

// One thing a client may do with an entity.
void operate(FuzzedDataProvider& input, CVNDeviceInterface& interface, Entity* entity)
{
    // Text commands reach an entity by its command word, which may differ from its name.
    const QString word = entity->command().isEmpty() ? entity->name() : entity->command();
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        (void)interface.executeCommand(word, QStringList());
        break;
    case 1:
        (void)interface.executeCommand(word, words(input));
        break;
    case 2:
        if (entity->kind() == Entity::PropertyKind)
            (void)static_cast<CVNProperty*>(entity)->value();
        else
            static_cast<CVNFunction*>(entity)->call(jsonValue(input, entity));
        break;
    default:
        if (entity->kind() == Entity::PropertyKind)
            static_cast<CVNProperty*>(entity)->setValue(jsonValue(input, entity));
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qInstallMessageHandler(quietHandler);
    static QCoreApplication app(*argc, *argv);
    g_fixture = new Fixture;
    qputenv("XDG_CONFIG_HOME", g_fixture->settings.path().toLocal8Bit());
    registerEntityBuilders();
    g_fixture->builder = std::make_unique<DeviceInterfaceBuilder>();
    // Every product and firmware that a HID description is shipped for.
    // Named PRODUCT-MAJOR_MINOR-hid.json, the product id in hex.
    const QRegularExpression name(QStringLiteral("^([0-9a-f]+)-([0-9a-f]+)_([0-9a-f]{3})-hid\\.json$"));
    for (const QString& file : QDir(QStringLiteral(":/devices-interfaces-resources")).entryList()) {
        const QRegularExpressionMatch match = name.match(file);
        if (match.hasMatch())
            g_fixture->products.append({quint16(match.captured(1).toUInt(nullptr, 16)), match.captured(2) + '.' + match.captured(3)});
    }
    if (g_fixture->products.isEmpty())
        std::abort();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const Product product = g_fixture->products[input.ConsumeIntegralInRange<int>(0, g_fixture->products.size() - 1)];
    const bool probe = input.ConsumeIntegralInRange<int>(0, 7) == 0;
    const int operations = input.ConsumeIntegralInRange<int>(1, 8);
    std::vector<int> picks;
    for (int i = 0; i < operations; ++i)
        picks.push_back(input.ConsumeIntegral<quint16>());

    auto* parent = new CVNDeviceParent(QStringLiteral("0200000001A3"), product.firmware, product.productType);
    auto* hid = new CVNDeviceHid(parent, std::make_unique<AnsweringHandle>(input, parent));
    parent->addChild(hid);
    if (probe)
        (void)CVNHidProbe::run(*hid);
    std::unique_ptr<CVNDeviceInterface> interface(g_fixture->builder->build(hid));
    if (!interface)
        std::abort();  // every shipped description builds
    const QList<Entity*> entities = interface->entities();
    // One pick in four goes to the entities that parse structured words and
    // objects of their own; among some eighty entities they would be rare.
    QList<Entity*> structured;
    for (Entity* entity : entities) {
        if (entity->typeName() == QLatin1String("ORConfig") || entity->typeName() == QLatin1String("TuneVasta"))
            structured.append(entity);
    }
    for (const int pick : picks) {
        const QList<Entity*>& pool = !structured.isEmpty() && pick % 4 == 0 ? structured : entities;
        operate(input, *interface, pool.at((pick / 4) % pool.size()));
    }
    interface.reset();
    delete parent;
    return 0;
}

#include "interface/deviceinterfacebuilder.h"

#include "device/device.h"
#include "interface/deviceentitybuilder.h"
#include "interface/deviceinterface.h"
#include "interface/deviceinterfacebulk.h"
#include "interface/deviceinterfacedfu.h"
#include "interface/deviceinterfacehid.h"
#include "interface/deviceinterfaceview.h"
#include "interface/devicepropertyalias.h"
#include "interface/devicepropertybool.h"
#include "interface/devicepropertybytearray.h"
#include "interface/devicepropertyenum.h"
#include "interface/devicepropertyfirmwareupload.h"
#include "interface/devicepropertyintpair.h"
#include "interface/devicepropertyinttriple.h"
#include "interface/devicepropertymatrix3x3.h"
#include "interface/devicepropertynumber.h"
#include "interface/devicepropertystring.h"
#include "interface/interfacelog.h"
#include "interface/jsontextkeys.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>

#include <utility>

// Outside any namespace, as the resource system requires.
static void initDescriptionResources()
{
    static const bool done = [] {
        Q_INIT_RESOURCE(devices_interfaces);
        return true;
    }();
    (void)done;
}

namespace {
const QString indexGroup = QStringLiteral("DeviceInterfaceBuilder");
const QString resourceDirectory = QStringLiteral(":/devices-interfaces-resources");

QSettings applicationSettings()
{
    return QSettings(QStringLiteral("Corvane"), QStringLiteral("CorvaneService"));
}

QHash<QString, DeviceInterfaceBuilder::BuilderFactory>& externalFactories()
{
    static QHash<QString, DeviceInterfaceBuilder::BuilderFactory> factories;
    return factories;
}

template <typename Builder>
std::pair<QString, DeviceInterfaceBuilder::BuilderFactory> local(const char* type)
{
    return {QString::fromLatin1(type), [] { return new Builder(); }};
}

// The builders of this folder. A type string listed twice (an alias) gets a
// fresh builder of the same class.
QHash<QString, DeviceInterfaceBuilder::BuilderFactory> localFactories()
{
    return {
        local<CVNDevicePropertyBuilderTemplate2<DevicePropertyFirmwareUpload>>("FirmwareUpload"),
        local<CVNDevicePropertyBuilderTemplate2<DevicePropertyBool>>("bool"),
        local<CVNDevicePropertyBuilderNumberTemplate<int>>("int"),
        local<CVNDevicePropertyBuilderNumberTemplate<int>>("int32"),
        local<CVNDevicePropertyBuilderNumberTemplate<float>>("float"),
        local<CVNDevicePropertyBuilderNumberTemplate<double>>("double"),
        local<CVNDevicePropertyBuilderTemplate2<DevicePropertyMatrix3x3>>("Matrix3x3"),
        local<DevicePropertyBuilderString>("String"),
        local<DevicePropertyBuilderString>("string"),
        local<CVNDevicePropertyBuilderTemplate2<DevicePropertyIntPair>>("(int, int)"),
        local<CVNDevicePropertyBuilderTemplate2<DevicePropertyIntTriple>>("(int, int, int)"),
        local<DevicePropertyBuilderEnum>("Enum"),
        local<DevicePropertyBuilderEnumList>("EnumList"),
        local<DeviceFunctionBuilder>("Function"),
        local<DeviceFunctionBuilder>("function"),
        local<CVNDevicePropertyBuilderTemplate2<DevicePropertyByteArray>>("ByteArray"),
        local<DevicePropertyBuilderAlias>("Alias"),
    };
}

QString firmwarePart(const QString& firmwareVersion)
{
    QString part = firmwareVersion;
    return part.replace(QLatin1Char('.'), QLatin1Char('_'));
}

QString typeHex(quint16 productType)
{
    return QString::number(productType, 16);
}

// "name" -> "depends" and "symbols_extra" of the description's entries.
struct EntityLinks
{
    QHash<QString, QStringList> depends;
    QHash<QString, QList<QPair<QString, QString>>> symbolsExtra;
};

void readLinks(const QString& name, const QJsonObject& object, EntityLinks& links)
{
    const QJsonValue depends = object.value(QStringLiteral("depends"));
    if (depends.isArray()) {
        QStringList names;
        for (const QJsonValue& value : depends.toArray())
            names.append(value.toString());
        links.depends.insert(name, names);
    }
    const QJsonValue extra = object.value(QStringLiteral("symbols_extra"));
    if (extra.isObject()) {
        QList<QPair<QString, QString>> pairs;
        const QJsonObject roles = extra.toObject();
        for (auto it = roles.constBegin(); it != roles.constEnd(); ++it)
            pairs.append({it.key(), it.value().isString() ? it.value().toString() : it.value().toVariant().toString()});
        links.symbolsExtra.insert(name, pairs);
    }
}

void linkDependencies(CVNDeviceInterface* interface, const EntityLinks& links)
{
    for (auto it = links.depends.constBegin(); it != links.depends.constEnd(); ++it) {
        auto* dependent = dynamic_cast<DeviceProperty*>(interface->entity(it.key()));
        if (!dependent)
            continue;
        for (const QString& name : it.value()) {
            // Unknown names and functions carry no value to follow.
            auto* dependency = dynamic_cast<DeviceProperty*>(interface->entity(name));
            if (!dependency || dependency == dependent)
                continue;
            dependent->addDependency(dependency);
            dependency->addDependent(dependent);
        }
    }
}

void applySymbolsExtra(CVNDeviceInterface* interface, const EntityLinks& links)
{
    for (auto it = links.symbolsExtra.constBegin(); it != links.symbolsExtra.constEnd(); ++it) {
        Entity* entity = interface->entity(it.key());
        if (!entity || entity->kind() != Entity::PropertyKind)
            continue;
        auto* property = static_cast<CVNProperty*>(entity);
        for (const auto& pair : it.value())
            property->setSymbolExtra(pair.first, pair.second);
    }
}

void buildViews(CVNDeviceInterface* interface, const QJsonArray& views)
{
    for (const QJsonValue& value : views) {
        const QJsonObject object = value.toObject();
        QStringList names;
        for (const QJsonValue& name : object.value(QStringLiteral("entities")).toArray())
            names.append(name.toString());
        auto* view = new DeviceInterfaceView(object.value(QStringLiteral("name")).toString(), interface);
        view->addEntities(names);
        interface->addView(view);
    }
}
}  // namespace

DeviceInterfaceBuilder::DeviceInterfaceBuilder()
{
    initDescriptionResources();
    registerBuilders();
    rebuildResourceIndex();
}

DeviceInterfaceBuilder::~DeviceInterfaceBuilder() = default;

QStringList DeviceInterfaceBuilder::registryOrder()
{
    return {
        QStringLiteral("FirmwareUpload"), QStringLiteral("bool"), QStringLiteral("int"), QStringLiteral("int32"),
        QStringLiteral("float"), QStringLiteral("double"), QStringLiteral("Matrix3x3"), QStringLiteral("String"),
        QStringLiteral("string"), QStringLiteral("(int, int)"), QStringLiteral("(int, int, int)"),
        QStringLiteral("ShieldVasta"), QStringLiteral("ShieldTwinPoint"), QStringLiteral("ShieldLyn"),
        QStringLiteral("BlobRejection"), QStringLiteral("Enum"), QStringLiteral("EnumList"), QStringLiteral("Frame"),
        QStringLiteral("EnableDisableCells"), QStringLiteral("DeviceSettings"), QStringLiteral("GeomCalibration"),
        QStringLiteral("Touches"), QStringLiteral("TouchEntities"), QStringLiteral("TouchCalibration"),
        QStringLiteral("Tuio"), QStringLiteral("ORConfig"), QStringLiteral("Function"), QStringLiteral("function"),
        QStringLiteral("FoilHealth"), QStringLiteral("AutoTune"), QStringLiteral("GridTest"),
        QStringLiteral("TuneVasta"), QStringLiteral("Tste"), QStringLiteral("Cba"), QStringLiteral("ByteArray"),
        QStringLiteral("Alias"),
    };
}

bool DeviceInterfaceBuilder::registerBuilderFactory(const QString& type, BuilderFactory factory)
{
    if (!factory || !registryOrder().contains(type))
        return false;
    externalFactories().insert(type, std::move(factory));
    return true;
}

void DeviceInterfaceBuilder::registerBuilders()
{
    const auto locals = localFactories();
    const auto& externals = externalFactories();
    for (const QString& type : registryOrder()) {
        BuilderFactory factory = locals.value(type);
        if (!factory)
            factory = externals.value(type);
        if (!factory)
            continue;  // its class is not part of this build
        m_builders.insert(type, std::shared_ptr<CVNDeviceEntityBuilder>(factory()));
        m_order.append(type);
    }
}

CVNDeviceEntityBuilder* DeviceInterfaceBuilder::builder(const QString& type) const
{
    return m_builders.value(type).get();
}

void DeviceInterfaceBuilder::rebuildResourceIndex() const
{
    QSettings settings = applicationSettings();
    // A plain value under the group's name keeps a hand-made index.
    if (settings.contains(indexGroup))
        return;
    settings.beginGroup(indexGroup);
    settings.remove(QString());
    const QFileInfoList files = QDir(resourceDirectory).entryInfoList(QDir::Files, QDir::Name);
    for (const QFileInfo& file : files) {
        QString key = file.fileName();
        const int json = key.indexOf(QLatin1String(".json"));
        if (json >= 0)
            key.remove(json, 5);
        settings.setValue(key, file.absoluteFilePath());
    }
    settings.endGroup();
    settings.sync();
}

QString DeviceInterfaceBuilder::resourcePath(const QString& key)
{
    if (key.isEmpty())
        return QString();
    QSettings settings = applicationSettings();
    settings.beginGroup(indexGroup);
    return settings.value(key).toString();
}

QStringList DeviceInterfaceBuilder::hidResourceKeys(quint16 productType, const QString& firmwareVersion)
{
    const QString prefix = typeHex(productType) + QLatin1Char('-');
    const QString suffix = QStringLiteral("-hid");
    const QString firmware = firmwarePart(firmwareVersion);
    QStringList keys{prefix + firmware + suffix};
    if (firmware.isEmpty())
        return keys;
    // Older descriptions of the same line serve a newer firmware: only the
    // last digit is lowered.
    const QString stem = firmware.left(firmware.size() - 1);
    const QChar last = firmware.back();
    const int digit = last.isDigit() ? last.digitValue() : 1;
    for (int n = digit - 1; n >= 0; --n)
        keys.append(prefix + stem + QString::number(n) + suffix);
    return keys;
}

QStringList DeviceInterfaceBuilder::dfuResourceKeys(quint16 productType)
{
    return {typeHex(productType) + QStringLiteral("-dfu"), QStringLiteral("dfu")};
}

QStringList DeviceInterfaceBuilder::bulkResourceKeys(quint16 productType, const QString& firmwareVersion)
{
    return {typeHex(productType) + QLatin1Char('-') + firmwarePart(firmwareVersion) + QStringLiteral("-bulk")};
}

QStringList DeviceInterfaceBuilder::resourceKeys(CVNDeviceKind kind, quint16 productType,
                                                 const QString& firmwareVersion)
{
    switch (kind) {
    case CVNDeviceKind::Hid: return hidResourceKeys(productType, firmwareVersion);
    case CVNDeviceKind::Dfu: return dfuResourceKeys(productType);
    case CVNDeviceKind::Bulk: return bulkResourceKeys(productType, firmwareVersion);
    default: return {};
    }
}

bool DeviceInterfaceBuilder::readDescription(const QString& path, QJsonObject* description)
{
    if (path.isEmpty())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    if (file.size() > MaxDescriptionBytes) {
        qCWarning(lcInterface) << "description too large" << path;
        return false;
    }
    const QByteArray text = file.read(MaxDescriptionBytes);
    if (CVNJsonTextKeys::hasDuplicateKey(text)) {
        qCWarning(lcInterface) << "description names a key twice" << path;
        *description = QJsonObject();
        return true;
    }
    const QJsonDocument document = QJsonDocument::fromJson(text);
    *description = document.isObject() ? document.object() : QJsonObject();
    return true;
}

bool DeviceInterfaceBuilder::findDescription(const QStringList& keys, QJsonObject* description, QString* usedKey)
{
    for (const QString& key : keys) {
        if (readDescription(resourcePath(key), description)) {
            if (usedKey)
                *usedKey = key;
            return true;
        }
    }
    return false;
}

bool DeviceInterfaceBuilder::populate(CVNDeviceInterface* interface, const QJsonObject& description,
                                      bool logMissing) const
{
    EntityLinks links;
    const QJsonArray entries = description.value(QStringLiteral("entities")).toArray();
    int count = 0;
    for (const QJsonValue& value : entries) {
        if (++count > MaxDescriptionEntities)
            break;
        const QJsonObject object = value.toObject();
        const QString name = object.value(QStringLiteral("name")).toString();
        const QString type = object.value(QStringLiteral("type")).toString();
        CVNDeviceEntityBuilder* entityBuilder = builder(type);
        if (!entityBuilder) {
            if (logMissing)
                qCDebug(lcInterface) << "Missing builder for" << type;
            continue;
        }
        Entity* entity = entityBuilder->build(interface, object);
        if (!entity)
            continue;
        interface->addEntity(name, entity);
        readLinks(name, object, links);
    }

    buildViews(interface, description.value(QStringLiteral("views")).toArray());
    if (!interface->view(QStringLiteral("basic"))) {
        qCDebug(lcInterface) << "Invalid Interface";
        return false;
    }
    if (!interface->view(QStringLiteral("advanced"))) {
        auto* advanced = new DeviceInterfaceView(QStringLiteral("advanced"), interface);
        advanced->addEntities(interface->entityNames());
        interface->addView(advanced);
    }
    linkDependencies(interface, links);
    applySymbolsExtra(interface, links);
    return true;
}

CVNDeviceInterface* DeviceInterfaceBuilder::build(CVNDevice* device) const
{
    if (!device)
        return nullptr;
    if (device->kind() == CVNDeviceKind::Bulk)
        return buildBulkInterface(*this, device);
    switch (device->kind()) {
    case CVNDeviceKind::Hid:
        return buildFromResources(new CVNDeviceInterfaceHid(device),
                                  hidResourceKeys(device->productType(), device->firmwareVersion()));
    case CVNDeviceKind::Dfu:
        return buildFromResources(new DeviceInterfaceDfu(device), dfuResourceKeys(device->productType()));
    case CVNDeviceKind::Bulk:
        // Its interface comes with the bulk channel.
        return nullptr;
    default:
        return nullptr;
    }
}

CVNDeviceInterface* DeviceInterfaceBuilder::buildFromResources(CVNDeviceInterface* interface,
                                                               const QStringList& keys) const
{
    QJsonObject description;
    if (!findDescription(keys, &description) || !populate(interface, description)) {
        delete interface;
        return nullptr;
    }
    return interface;
}

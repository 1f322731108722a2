// Resource choice, the resource index, building descriptions (shipped and
// broken ones), views, links, refresh and persistence of an interface.
#include "fakeinterface.h"

#include "interface/accessmode.h"
#include "interface/deviceentitybuilder.h"
#include "interface/deviceinterfacebuilder.h"
#include "interface/deviceinterfaceview.h"
#include "interface/deviceproperty.h"
#include "interface/devicepropertynumber.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QSettings settings() { return QSettings("Corvane", "CorvaneService"); }

QJsonObject entity(const QString& name, const QString& type, const QJsonObject& extra = {})
{
    QJsonObject object = extra;
    object.insert("name", name);
    object.insert("type", type);
    object.insert("command", name);
    return object;
}

QJsonObject view(const QString& name, const QStringList& names)
{
    return QJsonObject{{"name", name}, {"entities", QJsonArray::fromStringList(names)}};
}

class BuilderTest : public ::testing::Test
{
protected:
    void SetUp() override { settings().clear(); }

    // The keys that open among those tried, as the builder would pick.
    static QString chosen(quint16 type, const QString& firmware)
    {
        QJsonObject description;
        QString key;
        if (!DeviceInterfaceBuilder::findDescription(DeviceInterfaceBuilder::hidResourceKeys(type, firmware),
                                                     &description, &key))
            return QStringLiteral("none");
        return key;
    }
    QJsonObject shipped(const QString& key)
    {
        QJsonObject description;
        EXPECT_TRUE(DeviceInterfaceBuilder::readDescription(DeviceInterfaceBuilder::resourcePath(key), &description));
        return description;
    }

    FakeDevice device;
};

TEST_F(BuilderTest, ResourceChoice)
{
    DeviceInterfaceBuilder builder;
    EXPECT_EQ(DeviceInterfaceBuilder::hidResourceKeys(2, "2.009"),
              QStringList({"2-2_009-hid", "2-2_008-hid", "2-2_007-hid", "2-2_006-hid", "2-2_005-hid", "2-2_004-hid",
                           "2-2_003-hid", "2-2_002-hid", "2-2_001-hid", "2-2_000-hid"}));
    EXPECT_EQ(chosen(2, "2.009"), "2-2_005-hid");
    EXPECT_EQ(chosen(2, "1.009"), "2-1_009-hid");
    EXPECT_EQ(chosen(2, "1.003"), "none");
    EXPECT_EQ(DeviceInterfaceBuilder::hidResourceKeys(2, "2.010"), QStringList{"2-2_010-hid"});
    EXPECT_EQ(chosen(2, "2.010"), "none");
    EXPECT_EQ(DeviceInterfaceBuilder::hidResourceKeys(2, "2.00a"), QStringList({"2-2_00a-hid", "2-2_000-hid"}));
    EXPECT_EQ(chosen(2, "2.00a"), "2-2_000-hid");
    EXPECT_EQ(chosen(0x20, "1.000"), "20-1_000-hid");
    EXPECT_EQ(chosen(12, "2.006"), "c-2_005-hid");
    EXPECT_EQ(DeviceInterfaceBuilder::dfuResourceKeys(13), QStringList({"d-dfu", "dfu"}));
    EXPECT_EQ(DeviceInterfaceBuilder::bulkResourceKeys(4, "2.005"), QStringList{"4-2_005-bulk"});
    EXPECT_TRUE(DeviceInterfaceBuilder::resourcePath("no-such-key").isEmpty());
}

TEST_F(BuilderTest, IndexIsRebuiltUnlessPinned)
{
    QSettings store = settings();
    store.setValue("DeviceInterfaceBuilder/stale-key", "/nowhere");
    store.sync();
    { DeviceInterfaceBuilder builder; }
    store.sync();
    EXPECT_FALSE(store.contains("DeviceInterfaceBuilder/stale-key"));
    EXPECT_EQ(store.value("DeviceInterfaceBuilder/2-2_005-hid").toString(),
              ":/devices-interfaces-resources/2-2_005-hid.json");

    // A plain value pins the index: keys may then name files outside.
    QTemporaryDir dir;
    const QString path = dir.filePath("custom.json");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(QJsonObject{{"entities", QJsonArray{entity("th", "int")}},
                                         {"views", QJsonArray{view("basic", {"th"})}}})
                   .toJson());
    file.close();
    store.setValue("DeviceInterfaceBuilder", 1);
    store.setValue("DeviceInterfaceBuilder/2-2_005-hid", path);
    store.sync();
    DeviceInterfaceBuilder builder;
    std::unique_ptr<CVNDeviceInterface> built(builder.build(&device));
    ASSERT_TRUE(built);
    EXPECT_EQ(built->entityNames(), QStringList{"th"});
}

TEST_F(BuilderTest, RegistryHoldsThisBuildsTypesInOrder)
{
    DeviceInterfaceBuilder builder;
    EXPECT_EQ(builder.registeredTypes(),
              QStringList({"bool", "int", "int32", "float", "double", "Matrix3x3", "String", "string", "(int, int)",
                           "(int, int, int)", "Enum", "EnumList", "Function", "function", "ByteArray", "Alias"}));
    EXPECT_NE(builder.builder("int"), builder.builder("int32"));
    EXPECT_EQ(builder.builder("int32")->typeName(), "int");
    EXPECT_EQ(builder.builder("Frame"), nullptr);
    EXPECT_FALSE(DeviceInterfaceBuilder::registerBuilderType<DeviceFunctionBuilder>("NoSuchType"));
}

TEST_F(BuilderTest, BadDescriptionsNeverCrash)
{
    DeviceInterfaceBuilder builder;
    QTemporaryDir dir;
    QFile file(dir.filePath("broken.json"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{ \"entities\": [ {\"name\": ");
    file.close();
    QJsonObject description{{"x", 1}};
    ASSERT_TRUE(DeviceInterfaceBuilder::readDescription(file.fileName(), &description));
    EXPECT_TRUE(description.isEmpty());
    FakeInterface empty(&device);
    EXPECT_FALSE(builder.populate(&empty, description));

    const QJsonObject odd{
        {"entities", QJsonArray{entity("th", "int", {{"access_mode", "raed"}}), entity("x", "NoSuchType"),
                                entity("frame", "Frame"), QJsonValue(5), QJsonObject{{"type", "int"}},
                                QJsonObject{{"type", "Function"}}, entity("gain", "int32", {{"domain", "bad"}})}},
        {"views", QJsonArray{view("corvane_link", {"th"})}}};
    FakeInterface noBasic(&device);
    EXPECT_FALSE(builder.populate(&noBasic, odd));

    QJsonObject withBasic = odd;
    withBasic.insert("views", QJsonArray{view("basic", {"th", "x", "frame", "th", "gain"}), "not an object"});
    FakeInterface iface(&device);
    ASSERT_TRUE(builder.populate(&iface, withBasic));
    EXPECT_EQ(static_cast<CVNProperty*>(iface.entity("th"))->accessMode(), AccessMode::ReadWrite);
    EXPECT_EQ(iface.entity("gain")->typeName(), "int");
    EXPECT_FALSE(iface.hasEntity("x"));
    EXPECT_FALSE(iface.hasEntity("frame"));
    EXPECT_EQ(iface.view("basic")->entityNames(), QStringList({"th", "gain"}));
    // The nameless entries became placeholders.
    EXPECT_EQ(iface.entityByCommand("null_command")->name(), "null_symbol");
    EXPECT_EQ(iface.view("advanced")->entities().size(), iface.entityNames().size());
}

TEST_F(BuilderTest, ViewsLinksAndReplacement)
{
    struct Extra : DevicePropertyInt
    {
        using DevicePropertyInt::DevicePropertyInt;
        void setSymbolExtra(const QString& role, const QString& value) override { seen << role + "=" + value; }
        QStringList seen;
    };
    const QJsonObject description{
        {"entities",
         QJsonArray{entity("dversion", "Function"), entity("dreset", "Function"),
                    entity("th", "int", {{"depends", QJsonArray{"thn", "nobody", "dreset", "th"}}}),
                    entity("thn", "int", {{"domain", QJsonObject{{"begin", 50}, {"end", 0}}}}),
                    entity("dversion", "String", {{"access_mode", "read"}}), entity("mode", "Enum",
                                                                                     {{"values", QJsonArray{"a", "b"}}})}},
        {"views", QJsonArray{view("basic", {"dversion", "thn", "tune_vasta"}), view("basic", {"th"})}}};
    DeviceInterfaceBuilder builder;
    FakeInterface iface(&device);
    ASSERT_TRUE(builder.populate(&iface, description));
    EXPECT_EQ(iface.entity("dversion")->typeName(), "String");
    EXPECT_EQ(iface.entityByCommand("dversion")->typeName(), "String");
    EXPECT_EQ(iface.view("basic")->entityNames(), QStringList{"th"});  // the second "basic" replaced the first
    EXPECT_EQ(iface.view("advanced")->entityNames(), QStringList({"dversion", "dreset", "th", "thn", "mode"}));
    EXPECT_EQ(iface.entity("thn")->describe().value("domain").toString(), "[0..50]");
    auto* th = static_cast<DeviceProperty*>(iface.entity("th"));
    EXPECT_EQ(th->dependencies().keys(), QStringList{"thn"});
    EXPECT_TRUE(static_cast<DeviceProperty*>(iface.entity("thn"))->dependents().contains("th"));

    // A view finds by command only what it shows.
    EXPECT_EQ(iface.view("basic")->entityByCommand("th"), iface.entity("th"));
    EXPECT_EQ(iface.view("basic")->entityByCommand("thn"), nullptr);
    EXPECT_EQ(iface.view("basic")->device(), &device);
}

TEST_F(BuilderTest, ShippedDescriptionsBuildEveryPlainEntity)
{
    struct Expect
    {
        const char* key;
        int basic;
        int link;
    };
    DeviceInterfaceBuilder builder;
    for (const Expect& e : {Expect{"2-2_005-hid", 34, 32}, Expect{"c-2_005-hid", 32, 25},
                            Expect{"4-2_003-hid", 34, 31}, Expect{"2-1_009-hid", 2, 2}}) {
        const QJsonObject description = shipped(e.key);
        FakeInterface iface(&device);
        ASSERT_TRUE(builder.populate(&iface, description)) << e.key;
        int plain = 0;
        for (const QJsonValue& value : description.value("entities").toArray()) {
            const QJsonObject object = value.toObject();
            if (!builder.builder(object.value("type").toString()))
                continue;
            ++plain;
            const QString name = object.value("name").toString();
            Entity* built = iface.entity(name);
            ASSERT_NE(built, nullptr) << e.key << " " << name.toStdString();
            if (built->typeName() == "Function" && object.value("type").toString().toLower() != "function")
                continue;  // declared twice; the later declaration wins
            EXPECT_EQ(built->command(), object.value("command").toString()) << name.toStdString();
            if (built->kind() == Entity::PropertyKind && object.contains("access_mode"))
                EXPECT_EQ(AccessMode::toText(static_cast<CVNProperty*>(built)->accessMode()),
                          object.value("access_mode").toString())
                    << name.toStdString();
        }
        EXPECT_GT(plain, 0);
        // Views name composites that this build does not hold yet.
        EXPECT_LE(iface.view("basic")->entities().size(), e.basic) << e.key;
        EXPECT_LE(iface.view("corvane_link")->entities().size(), e.link) << e.key;
        EXPECT_NE(iface.view("advanced"), nullptr);
    }

    FakeInterface vasta(&device);
    ASSERT_TRUE(builder.populate(&vasta, shipped("2-2_005-hid")));
    EXPECT_EQ(vasta.entity("gain")->describe().value("domain").toString(), "[0..7]");
    EXPECT_EQ(vasta.entity("foilh")->typeName(), "Enum");
    EXPECT_EQ(vasta.entity("cenable")->typeName(), "bool");
    EXPECT_EQ(vasta.entity("thbound")->typeName(), "(int, int)");
    EXPECT_EQ(vasta.entity("cfo")->typeName(), "(int, int, int)");
    EXPECT_EQ(vasta.entity("infinity")->typeName(), "int");
    EXPECT_EQ(vasta.entity("dversion")->typeName(), "String");
    auto* th = static_cast<DeviceProperty*>(vasta.entity("th"));
    EXPECT_TRUE(th->dependents().contains("thn"));
    EXPECT_TRUE(th->dependents().contains("thni"));
    EXPECT_TRUE(th->dependencies().contains("thbound"));
}

TEST_F(BuilderTest, BuildDispatchesOnKind)
{
    DeviceInterfaceBuilder builder;
    std::unique_ptr<CVNDeviceInterface> hid(builder.build(&device));
    ASSERT_TRUE(hid);
    EXPECT_EQ(hid->name(), "root");
    EXPECT_EQ(hid->entities().size(), hid->entityNames().size());
    FakeDevice parent(CVNDeviceKind::Parent);
    FakeDevice old(CVNDeviceKind::Hid, 2, "1.003");
    EXPECT_EQ(builder.build(&parent), nullptr);
    EXPECT_EQ(builder.build(&old), nullptr);
    EXPECT_EQ(builder.build(nullptr), nullptr);
}

TEST_F(BuilderTest, RefreshAllReadsCompositesLast)
{
    DeviceInterfaceBuilder builder;
    FakeInterface iface(&device);
    const QJsonObject description{
        {"entities", QJsonArray{entity("shield_lyn", "int"), entity("th", "int"), entity("blob_rejection", "int"),
                                entity("dreset", "Function")}},
        {"views", QJsonArray{view("basic", {"th"})}}};
    ASSERT_TRUE(builder.populate(&iface, description));
    for (Entity* e : iface.entities())
        if (e->kind() == Entity::PropertyKind)
            static_cast<CVNProperty*>(e)->value();
    iface.log.clear();
    iface.view("basic")->refreshAll();
    QStringList order;
    for (const CVNDeviceRequest& request : iface.log)
        order << request.name;
    EXPECT_EQ(order.size(), 5);
    EXPECT_EQ(order.mid(3), QStringList({"blob_rejection", "shield_lyn"}));
    EXPECT_FALSE(order.contains("dreset"));
}

class StoringProperty : public DevicePropertyInt
{
public:
    using DevicePropertyInt::DevicePropertyInt;
    void saveSettings(QSettings& s) override { s.setValue(name(), cachedValue()); }
    void loadSettings(QSettings& s) override { loaded = s.value(name()).toInt(); }
    int loaded = -1;
};

class Host : public SettingsContext
{
public:
    explicit Host(CVNDeviceInterface* iface) : m_iface(iface) {}
    void store() override
    {
        ++stores;
        QSettings s("Corvane", "CorvaneService");
        s.beginGroup("HostGroup");
        m_iface->saveSettings(s);
    }
    int stores = 0;

private:
    CVNDeviceInterface* m_iface;
};

TEST_F(BuilderTest, StoreSavesOneEntityThroughTheHost)
{
    FakeInterface iface(&device);
    auto* a = new StoringProperty(&iface, "a", QString(), "a", AccessMode::ReadWrite);
    auto* b = new StoringProperty(&iface, "b", QString(), "b", AccessMode::ReadWrite);
    iface.addEntity("a", a);
    iface.addEntity("b", b);
    iface.executeCommand("a", {"4"});
    iface.executeCommand("b", {"5"});

    a->store();  // no host: the interface saves into "ApplicationServer" itself
    QSettings store = settings();
    EXPECT_EQ(store.value("ApplicationServer/devices/0200000001A3/a").toInt(), 4);
    EXPECT_FALSE(store.contains("ApplicationServer/devices/0200000001A3/b"));

    Host host(&iface);
    CVNDeviceInterface::setSettingsHost(&host);
    b->store();
    CVNDeviceInterface::setSettingsHost(nullptr);
    store.sync();
    EXPECT_EQ(host.stores, 1);
    EXPECT_EQ(store.value("HostGroup/devices/0200000001A3/b").toInt(), 5);
    EXPECT_FALSE(store.contains("HostGroup/devices/0200000001A3/a"));

    store.beginGroup("ApplicationServer");
    iface.view("none");  // no views: nothing forwards
    iface.loadSettings(store);
    EXPECT_EQ(a->loaded, 4);
    EXPECT_EQ(b->loaded, 0);
}

}  // namespace

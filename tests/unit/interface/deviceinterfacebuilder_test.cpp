// Resource choice, building broken descriptions, views, links, refresh and
// persistence of an interface.
#include "fakeinterface.h"

#include "interface/deviceentitybuilder.h"
#include "interface/deviceinterfacebuilder.h"
#include "interface/deviceinterfaceview.h"
#include "interface/devicepropertynumber.h"

#include <QJsonArray>
#include <QSettings>
#include <QTemporaryDir>

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

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes)
{
    QFile file(dir.filePath(name));
    EXPECT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    return file.fileName();
}

QJsonObject view(const QString& name, const QStringList& names)
{
    return QJsonObject{{"name", name}, {"entities", QJsonArray::fromStringList(names)}};
}

class BuilderTest : public InterfaceTest
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

    // Only a controller's command channel with a known firmware gets an interface.
    std::unique_ptr<CVNDeviceInterface> hid(builder.build(&device));
    ASSERT_TRUE(hid);
    EXPECT_EQ(hid->entities().size(), hid->entityNames().size());
    FakeDevice parent(CVNDeviceKind::Parent);
    FakeDevice old(CVNDeviceKind::Hid, 2, "1.003");
    EXPECT_EQ(builder.build(&parent), nullptr);
    EXPECT_EQ(builder.build(&old), nullptr);
    EXPECT_EQ(builder.build(nullptr), nullptr);
}

TEST_F(BuilderTest, BadDescriptionsNeverCrash)
{
    DeviceInterfaceBuilder builder;
    QTemporaryDir dir;
    QJsonObject description{{"x", 1}};
    ASSERT_TRUE(DeviceInterfaceBuilder::readDescription(writeFile(dir, "broken.json", "{ \"entities\": [ {\"name\": "),
                                                        &description));
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
    ASSERT_TRUE(builder.populate(&iface, withBasic));
    EXPECT_EQ(static_cast<CVNProperty*>(iface.entity("th"))->accessMode(), AccessMode::ReadWrite);
    EXPECT_EQ(iface.entity("gain")->typeName(), "int");  // "int32" builds an int
    EXPECT_EQ(builder.builder("function")->typeName(), builder.builder("Function")->typeName());
    EXPECT_FALSE(iface.hasEntity("x"));
    EXPECT_FALSE(iface.hasEntity("frame"));
    EXPECT_EQ(iface.view("basic")->entityNames(), QStringList({"th", "gain"}));
    // The nameless entries became placeholders.
    EXPECT_EQ(iface.entityByCommand("null_command")->name(), "null_symbol");
    EXPECT_EQ(iface.view("advanced")->entities().size(), iface.entityNames().size());
}

TEST_F(BuilderTest, ViewsLinksAndReplacement)
{
    const QJsonObject description{
        {"entities",
         QJsonArray{entity("dversion", "Function"), entity("dreset", "Function"),
                    entity("th", "int", {{"depends", QJsonArray{"thn", "nobody", "dreset", "th"}}}),
                    entity("thn", "int", {{"domain", QJsonObject{{"begin", 50}, {"end", 0}}}}),
                    entity("dversion", "String", {{"access_mode", "read"}}), entity("mode", "Enum",
                                                                                     {{"values", QJsonArray{"a", "b"}}})}},
        {"views", QJsonArray{view("basic", {"dversion", "thn", "tune_vasta"}), view("basic", {"th"})}}};
    DeviceInterfaceBuilder builder;
    ASSERT_TRUE(builder.populate(&iface, description));
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

TEST_F(BuilderTest, RefreshAllReadsCompositesLast)
{
    DeviceInterfaceBuilder builder;
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

struct Host : SettingsContext
{
    explicit Host(CVNDeviceInterface* iface) : iface(iface) {}
    void store() override
    {
        ++stores;
        QSettings s("Corvane", "CorvaneService");
        s.beginGroup("HostGroup");
        iface->saveSettings(s);
    }
    CVNDeviceInterface* iface;
    int stores = 0;
};

TEST_F(BuilderTest, StoreSavesOneEntityThroughTheHost)
{
    auto* a = make<StoringProperty>("a");
    auto* b = make<StoringProperty>("b");
    run("a", {"4"});
    run("b", {"5"});

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

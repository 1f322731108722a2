// The shipped descriptions: strict validity, the counts of the resource
// table, the view lists, the reproduced quirks, and the resource file.
#include "shipped.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace descriptions;

namespace {

const QStringList kVastaBasic{
    "th", "gain", "thn", "thni", "tcstrong", "bmode", "tblobrej", "tidlee", "shield_vasta",
    "blob_rejection", "frame", "tcenable", "touches", "geometric_calibration", "dreset", "dversion",
    "device_settings", "dbuild", "duptime", "tuio", "flogs", "cenable", "dserial", "dfps", "dmode",
    "fcolsa", "fnref", "fphys", "tblobth", "tcicount", "tpdxlo", "tmax", "tpdmind", "ttsmooth"};
const QStringList kVastaLink{
    "auto_tune", "blob_rejection", "cenable", "cclear", "cfo", "cosensor", "csize", "dbuild",
    "device_settings", "dreset", "dtune", "duptime", "enable_disable_cells", "flogs", "fnref", "frame",
    "fmode", "foil_health", "gain", "geometric_calibration", "grid_test", "infinity", "shield_vasta",
    "ssave", "tcenable", "tctlrc", "thni", "ttsmooth", "tmax", "touches", "tuio", "tune_vasta"};
const QStringList kTwinPointLink{
    "cenable", "cclear", "cfo", "csize", "dbuild", "device_settings", "dreset", "duptime",
    "enable_disable_cells", "flogs", "fnref", "frame", "fmode", "gain", "geometric_calibration",
    "grid_test", "shield_twin_point", "ssave", "tcenable", "tctlrc", "thni", "ttsmooth", "tmax",
    "touches", "tuio"};

QStringList replaced(QStringList list, const QString& from, const QString& to)
{
    list.replaceInStrings(QRegularExpression("^" + from + "$"), to);
    return list;
}

QStringList without(QStringList list, const QStringList& names)
{
    for (const QString& name : names)
        list.removeAll(name);
    return list;
}

std::string joined(const QStringList& list)
{
    return list.join(", ").toStdString();
}

}  // namespace

TEST(ShippedDescriptions, EveryFileIsStrictlyValid)
{
    for (const ShippedRow& row : shippedTable()) {
        const CheckedDescription d = loadShipped(row.resource);
        EXPECT_TRUE(d.problems.isEmpty()) << row.resource << ": " << joined(d.problems);
    }
}

TEST(ShippedDescriptions, CountsMatchTheResourceTable)
{
    for (const ShippedRow& row : shippedTable()) {
        const CheckedDescription d = loadShipped(row.resource);
        EXPECT_EQ(d.names.size(), row.entities) << row.resource;
        EXPECT_EQ(builtViewSize(d, "basic"), row.basic) << row.resource;
        EXPECT_EQ(builtViewSize(d, "corvane_link"), row.corvaneLink) << row.resource;
    }
}

TEST(ShippedDescriptions, FolderHoldsExactlyTheTable)
{
    QStringList expected;
    for (const ShippedRow& row : shippedTable())
        expected << QString(row.resource) + ".json";
    QStringList present = QDir(descriptionFolder()).entryList({"*.json"}, QDir::Files);
    expected.sort();
    present.sort();
    EXPECT_EQ(present, expected) << joined(present);
}

TEST(ShippedDescriptions, ViewsOfFirmware2005AreTheProductLists)
{
    struct Expected {
        const char* resource;
        QStringList basic;
        QStringList link;
    };
    const QList<Expected> cases{
        {"2-2_005-hid", kVastaBasic, kVastaLink},
        {"4-2_005-hid", without(replaced(kVastaBasic, "shield_vasta", "shield_lyn"), {"tuio"}) + QStringList{"thbound", "fmode"},
         without(replaced(kVastaLink, "shield_vasta", "shield_lyn"), {"infinity"})},
        {"c-2_005-hid",
         without(replaced(kVastaBasic, "shield_vasta", "shield_twin_point"), {"tblobrej", "blob_rejection", "tuio"})
             + QStringList{"thbound"},
         kTwinPointLink},
    };
    for (const Expected& e : cases) {
        const CheckedDescription d = loadShipped(e.resource);
        EXPECT_EQ(d.views.value("basic"), e.basic) << e.resource << ": " << joined(d.views.value("basic"));
        EXPECT_EQ(d.views.value("corvane_link"), e.link) << e.resource << ": " << joined(d.views.value("corvane_link"));
    }
}

TEST(ShippedDescriptions, OlderFirmwareViewsStayCloseToTheProductLists)
{
    for (const ShippedRow& row : shippedTable()) {
        if (row.entities <= 2)
            continue;
        const CheckedDescription d = loadShipped(row.resource);
        const QString shield = shieldOf(row.product);
        EXPECT_TRUE(d.views.value("basic").contains(shield)) << row.resource;
        EXPECT_TRUE(d.views.value("corvane_link").contains(shield)) << row.resource;
        for (const QString& name : d.views.value("corvane_link")) {
            const bool known = kVastaLink.contains(name) || name == shield;
            EXPECT_TRUE(known) << row.resource << " corvane_link has " << name.toStdString();
        }
    }
}

TEST(ShippedDescriptions, VersionIsDeclaredAsFunctionThenReadOnlyString)
{
    for (const QString& resource : fullDescriptions()) {
        const CheckedDescription d = loadShipped(resource);
        EXPECT_EQ(d.declarations.value("dversion"), 2) << resource.toStdString();
        EXPECT_EQ(d.entities.value("dversion").value("type").toString(), "String") << resource.toStdString();
        EXPECT_EQ(d.entities.value("dversion").value("access_mode").toString(), "read") << resource.toStdString();
        const bool lyn = resource.startsWith("4-");
        EXPECT_EQ(d.declarations.value("fpsnr"), lyn ? 2 : 1) << resource.toStdString();
        EXPECT_EQ(d.entities.value("fpsnr").value("type").toString(), lyn ? "String" : "Function")
            << resource.toStdString();
    }
}

TEST(ShippedDescriptions, Lyn2003ViewNamesTheTuningSequenceItLacks)
{
    const CheckedDescription d = loadShipped("4-2_003-hid");
    EXPECT_FALSE(d.entities.contains("tune_vasta"));
    EXPECT_TRUE(d.views.value("corvane_link").contains("tune_vasta"));
    // Without the tolerance the same file is rejected, so the check is real.
    QFile file(descriptionFolder() + "4-2_003-hid.json");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(checkDescription(file.readAll()).problems.isEmpty());
}

TEST(ShippedDescriptions, FirmwareSpecificEntities)
{
    for (const QString& resource : fullDescriptions()) {
        const CheckedDescription d = loadShipped(resource);
        EXPECT_EQ(d.entities.contains("fsglass"), resource == "c-2_002-hid") << resource.toStdString();
        if (!d.entities.contains("foilh"))
            continue;
        const QJsonObject foilh = d.entities.value("foilh");
        if (resource == "2-2_005-hid") {
            EXPECT_EQ(foilh.value("type").toString(), "Enum");
            EXPECT_EQ(foilh.value("values").toArray(), (QJsonArray{"status", "start", "stop"}));
        } else {
            EXPECT_EQ(foilh.value("type").toString(), "String") << resource.toStdString();
        }
    }
}

TEST(ShippedDescriptions, SmallDescriptionsHoldResetAndVersionOrTheUpload)
{
    for (const ShippedRow& row : shippedTable()) {
        const CheckedDescription d = loadShipped(row.resource);
        if (row.entities == 2) {
            EXPECT_EQ(d.names, (QStringList{"dreset", "dversion"})) << row.resource;
            EXPECT_EQ(d.entities.value("dreset").value("arg_exp").toString(), "[dfu]") << row.resource;
            EXPECT_EQ(d.entities.value("dversion").value("type").toString(), "Function") << row.resource;
        } else if (row.entities == 1) {
            const QJsonObject upload = d.entities.value("firmware_upload");
            EXPECT_EQ(upload.value("type").toString(), "FirmwareUpload") << row.resource;
            EXPECT_EQ(upload.value("command").toString(), "firmware-upload") << row.resource;
            EXPECT_EQ(upload.value("access_mode").toString(), "write") << row.resource;
        }
    }
}

TEST(ShippedDescriptions, QrcListsEveryDescriptionUnderItsName)
{
    QFile qrc(QStringLiteral(CORVANE_SOURCE_DIR "/resources/devices_interfaces.qrc"));
    ASSERT_TRUE(qrc.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(qrc.readAll());
    EXPECT_TRUE(text.contains("<qresource prefix=\"/devices-interfaces-resources\">"));
    const QRegularExpression entry("<file alias=\"([^\"]+)\">devices-interfaces-resources/([^<]+)</file>");
    QStringList listed;
    for (auto it = entry.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        EXPECT_EQ(m.captured(1), m.captured(2));
        listed << m.captured(2);
    }
    EXPECT_EQ(text.count("<file"), listed.size()) << "every file entry needs an alias";
    QStringList present = QDir(descriptionFolder()).entryList({"*.json"}, QDir::Files);
    listed.sort();
    present.sort();
    EXPECT_EQ(listed, present) << joined(listed);
}

static void initResources()
{
    Q_INIT_RESOURCE(devices_interfaces);
}

TEST(ShippedDescriptions, CompiledResourcesEqualTheFiles)
{
    initResources();
    for (const ShippedRow& row : shippedTable()) {
        const QString name = QString(row.resource) + ".json";
        QFile compiled(":/devices-interfaces-resources/" + name);
        QFile source(descriptionFolder() + name);
        ASSERT_TRUE(compiled.open(QIODevice::ReadOnly)) << row.resource;
        ASSERT_TRUE(source.open(QIODevice::ReadOnly)) << row.resource;
        EXPECT_EQ(compiled.readAll(), source.readAll()) << row.resource;
    }
}

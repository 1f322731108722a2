// The shipped descriptions: strict validity, the counts of the resource
// table, the view lists, the reproduced quirks, and the resource file.
#include "descriptioncheck.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

using namespace descriptions;

namespace {

struct ShippedRow {
    const char* resource;
    int entities;  // distinct names
    int basic;
    int corvaneLink;
};

const QList<ShippedRow> kShipped{
    {"2-1_009-hid", 2, 2, 2},   {"2-2_000-hid", 2, 2, 2},   {"2-2_004-hid", 76, 36, 32}, {"2-2_005-hid", 75, 34, 32},
    {"4-2_001-hid", 2, 2, 2},   {"4-2_003-hid", 72, 34, 31}, {"4-2_004-hid", 76, 34, 31}, {"4-2_005-hid", 76, 35, 31},
    {"c-2_000-hid", 2, 2, 2},   {"c-2_002-hid", 62, 35, 25}, {"c-2_004-hid", 65, 32, 25}, {"c-2_005-hid", 66, 32, 25},
    {"20-1_000-hid", 2, 2, 2},  {"3-dfu", 1, 1, 1},          {"5-dfu", 1, 1, 1},          {"d-dfu", 1, 1, 1},
    {"dfu", 1, 1, 1},
};

const QString kFolder = QStringLiteral(CORVANE_SOURCE_DIR "/resources/devices-interfaces-resources/");

QByteArray shippedJson(const QString& resource)
{
    QFile file(kFolder + resource + ".json");
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Lyn 2.003 keeps the tuning sequence in its view without offering it.
CheckedDescription loadShipped(const QString& resource)
{
    return checkDescription(shippedJson(resource),
                            resource == "4-2_003-hid" ? QSet<QString>{"tune_vasta"} : QSet<QString>{});
}

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

// The list with a name replaced and some names dropped.
QStringList adapted(QStringList list, const QString& shield, const QStringList& dropped)
{
    list.replaceInStrings(QRegularExpression("^shield_vasta$"), shield);
    for (const QString& name : dropped)
        list.removeAll(name);
    return list;
}

std::string joined(const QStringList& list)
{
    return list.join(", ").toStdString();
}

}  // namespace

TEST(ShippedDescriptions, EveryFileIsStrictlyValidWithTheTableCounts)
{
    for (const ShippedRow& row : kShipped) {
        const CheckedDescription d = loadShipped(row.resource);
        EXPECT_TRUE(d.problems.isEmpty()) << row.resource << ": " << joined(d.problems);
        EXPECT_EQ(d.names.size(), row.entities) << row.resource;
        EXPECT_EQ(builtViewSize(d, "basic"), row.basic) << row.resource;
        EXPECT_EQ(builtViewSize(d, "corvane_link"), row.corvaneLink) << row.resource;
    }
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
        {"4-2_005-hid", adapted(kVastaBasic, "shield_lyn", {"tuio"}) + QStringList{"thbound", "fmode"},
         adapted(kVastaLink, "shield_lyn", {"infinity"})},
        {"c-2_005-hid", adapted(kVastaBasic, "shield_twin_point", {"tblobrej", "blob_rejection", "tuio"}) + QStringList{"thbound"},
         kTwinPointLink},
    };
    for (const Expected& e : cases) {
        const CheckedDescription d = loadShipped(e.resource);
        EXPECT_EQ(d.views.value("basic"), e.basic) << e.resource << ": " << joined(d.views.value("basic"));
        EXPECT_EQ(d.views.value("corvane_link"), e.link) << e.resource << ": " << joined(d.views.value("corvane_link"));
    }
}

TEST(ShippedDescriptions, VersionIsDeclaredAsFunctionThenReadOnlyString)
{
    for (const ShippedRow& row : kShipped) {
        if (row.entities <= 2)
            continue;
        const CheckedDescription d = loadShipped(row.resource);
        EXPECT_EQ(d.declarations.value("dversion"), 2) << row.resource;
        EXPECT_EQ(d.entities.value("dversion").value("type").toString(), "String") << row.resource;
        EXPECT_EQ(d.entities.value("dversion").value("access_mode").toString(), "read") << row.resource;
        // Only Lyn re-declares fpsnr as a text as well.
        const bool lyn = QString(row.resource).startsWith("4-");
        EXPECT_EQ(d.declarations.value("fpsnr"), lyn ? 2 : 1) << row.resource;
        EXPECT_EQ(d.entities.value("fpsnr").value("type").toString(), lyn ? "String" : "Function") << row.resource;
    }
}

TEST(ShippedDescriptions, Lyn2003ViewNamesTheTuningSequenceItLacks)
{
    const CheckedDescription d = loadShipped("4-2_003-hid");
    EXPECT_FALSE(d.entities.contains("tune_vasta"));
    EXPECT_TRUE(d.views.value("corvane_link").contains("tune_vasta"));
    // Without the tolerance the same file is rejected, so the check is real.
    EXPECT_FALSE(checkDescription(shippedJson("4-2_003-hid")).problems.isEmpty());
}

static void initResources()
{
    Q_INIT_RESOURCE(devices_interfaces);
}

// The folder holds exactly the table, and the compiled resource carries each
// file under its own name with the same bytes.
TEST(ShippedDescriptions, FolderAndCompiledResourceHoldEveryFile)
{
    initResources();
    QStringList expected;
    for (const ShippedRow& row : kShipped) {
        const QString name = QString(row.resource) + ".json";
        expected << name;
        QFile compiled(":/devices-interfaces-resources/" + name);
        ASSERT_TRUE(compiled.open(QIODevice::ReadOnly)) << row.resource;
        EXPECT_EQ(compiled.readAll(), shippedJson(row.resource)) << row.resource;
    }
    QStringList present = QDir(kFolder).entryList({"*.json"}, QDir::Files);
    expected.sort();
    present.sort();
    EXPECT_EQ(present, expected) << joined(present);
}

// The shipped descriptions: strict validity, the counts of the resource
// table and the Vasta view lists. Building them, the later of two
// declarations and the view that lists a missing name are proven against the
// simulator.
#include "descriptioncheck.h"

#include <QFile>
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

TEST(ShippedDescriptions, VastaViewsAreTheProductLists)
{
    const CheckedDescription d = loadShipped("2-2_005-hid");
    EXPECT_EQ(d.views.value("basic"), kVastaBasic) << joined(d.views.value("basic"));
    EXPECT_EQ(d.views.value("corvane_link"), kVastaLink) << joined(d.views.value("corvane_link"));
}

// Every entity of the full descriptions against the catalogue of the
// controllers: type, command, access mode, domain, values, links.
#include "shipped.h"

#include <QJsonArray>
#include <gtest/gtest.h>

using namespace descriptions;

namespace {

struct Facts {
    QStringList types;     // admitted type strings
    QString access;        // empty: no access mode (functions, aliases)
    int begin = 0;
    int end = 0;
    bool domain = false;
    QString command = "=";  // "=": equal to the name; empty: no command
};

Facts plain(const QString& type, const QString& access = "read_write")
{
    Facts f;
    f.types = QStringList{type};
    if (type == "String")
        f.types << "string";
    f.access = access;
    return f;
}

Facts ranged(int begin, int end, const QString& access = "read_write")
{
    Facts f = plain("int", access);
    f.types << "int32";
    f.begin = begin;
    f.end = end;
    f.domain = true;
    return f;
}

Facts composite(const QString& type, const QString& command, const QString& access = "read_write")
{
    Facts f = plain(type, access);
    f.command = command;
    return f;
}

Facts withDomain(Facts f, int begin, int end)
{
    f.begin = begin;
    f.end = end;
    f.domain = true;
    return f;
}

QHash<QString, Facts> catalogue()
{
    QHash<QString, Facts> c;
    for (const char* n : {"th", "tblobth", "dfreq", "tmaxrep", "tidled", "tdelayn", "tdelayde", "dsfrd", "capmode"})
        c[n] = plain("int");
    for (const char* n : {"gainmax", "dmp", "frirf", "dbuild", "capmodeb", "fsglass"})
        c[n] = plain("int", "read");
    for (const char* n : {"tcicount", "tccount", "dfps"})
        c[n] = plain("int", "read_mutable");
    c["thn"] = ranged(0, 50);
    c["thni"] = ranged(0, 50);
    c["gain"] = ranged(0, 7);
    c["tcstrong"] = ranged(0, 1);
    c["bmode"] = ranged(0, 4);
    c["tblobrej"] = ranged(0, 1);
    c["tcenable"] = ranged(0, 3);
    c["cosensor"] = ranged(0, 2, "read_mutable");
    c["fcolsa"] = ranged(0, 1);
    c["ddcycle"] = ranged(1, 190);
    c["tpdmind"] = ranged(0, 65535);
    c["ttsmooth"] = ranged(1, 430);
    c["tpdxlo"] = ranged(0, 2);
    c["tidlee"] = ranged(0, 65535);
    c["tmax"] = ranged(1, 2);
    for (const char* n : {"thbound", "tblobdis"})
        c[n] = plain("(int, int)");
    for (const char* n : {"fsize", "flogs", "fphys"})
        c[n] = plain("(int, int)", "read");
    c["cfo"] = plain("(int, int, int)");
    c["te2fnref"] = plain("(int, int, int)");
    c["cenable"] = plain("bool");
    for (const char* n : {"dmode", "fcolsf", "frowsf"})
        c[n] = plain("String");
    for (const char* n : {"fphysc", "dversion", "dserial", "duptime"})
        c[n] = plain("String", "read");
    c["foilh"] = plain("String");
    c["foilh"].types << "Enum";
    c["fmode"] = plain("Enum");
    c["csize"] = plain("Enum");
    c["dtune"] = plain("Enum", "read_write_mutable");
    for (const char* n : {"serase", "sversion", "fpsnr", "dreset", "fnref", "cclear", "ssave"})
        c[n] = plain("Function", QString());
    c["fpsnr"].types << "String";  // Lyn re-declares it as a read-only text
    c["shield_vasta"] = withDomain(composite("ShieldVasta", "shield"), -1, 6);
    c["shield_lyn"] = withDomain(composite("ShieldLyn", "shield"), -1, 6);
    c["shield_twin_point"] = withDomain(composite("ShieldTwinPoint", "shield"), -1, 6);
    c["blob_rejection"] = withDomain(composite("BlobRejection", "blob-rejection"), 0, 10);
    c["frame"] = composite("Frame", QString(), "read_mutable");
    c["enable_disable_cells"] = composite("EnableDisableCells", "enable-disable-cells");
    c["device_settings"] = composite("DeviceSettings", "device-settings", "read_write_mutable");
    c["geometric_calibration"] = composite("GeomCalibration", "geom-calibration");
    c["touches"] = composite("Touches", QString(), "read_mutable");
    c["touches"].types << "TouchEntities";
    c["tctlrc"] = withDomain(composite("TouchCalibration", "tctlrc"), 0, 1);
    c["tuio"] = composite("Tuio", "tuio");
    c["foil_health"] = composite("FoilHealth", "foilh");
    c["grid_test"] = composite("GridTest", "grid-test", "read_mutable");
    c["auto_tune"] = composite("AutoTune", QString(), "read");
    c["tune_vasta"] = composite("TuneVasta", QString());
    c["tste"] = composite("Tste", "tste");
    c["cba"] = composite("Cba", "cba");
    c["or_conf"] = composite("ORConfig", "or-conf");
    c["infinity"] = composite("Alias", "infinity", QString());
    // Firmware 2.004 name of tblobrej.
    c["palm_rejection"] = composite("Alias", "palm-rejection", QString());
    return c;
}

QStringList strings(const QJsonValue& value)
{
    QStringList out;
    for (const QJsonValue& v : value.toArray())
        out << v.toString();
    return out;
}

QSet<QString> asSet(const QStringList& list)
{
    return QSet<QString>(list.begin(), list.end());
}

QStringList symbolTargets(const QJsonObject& entity)
{
    QStringList out;
    const QJsonObject symbols = entity.value("symbols_extra").toObject();
    for (auto it = symbols.constBegin(); it != symbols.constEnd(); ++it)
        out << it.key() + "=" + it.value().toString();
    out.sort();
    return out;
}

QStringList sameNames(const QStringList& names)
{
    QStringList out;
    for (const QString& n : names)
        out << n + "=" + n;
    out.sort();
    return out;
}

}  // namespace

TEST(EntityCatalogue, EveryEntityHasTheCatalogueTypeAccessAndDomain)
{
    const QHash<QString, Facts> facts = catalogue();
    for (const QString& resource : fullDescriptions()) {
        const CheckedDescription d = loadShipped(resource);
        for (const QString& name : d.names) {
            const std::string where = resource.toStdString() + " " + name.toStdString();
            ASSERT_TRUE(facts.contains(name)) << where << " is not in the catalogue";
            const Facts f = facts.value(name);
            const QJsonObject e = d.entities.value(name);
            const QString type = e.value("type").toString();
            EXPECT_TRUE(f.types.contains(type)) << where << " type " << type.toStdString();
            // A function re-declared as a text is the read-only form.
            const QString access = f.access.isEmpty() && type == "String" ? QString("read") : f.access;
            if (!isFunctionType(type) && type != "Alias")
                EXPECT_EQ(e.value("access_mode").toString(), access) << where;
            const QString command = f.command == "=" ? name : f.command;
            EXPECT_EQ(e.value("command").toString(), command) << where;
            EXPECT_EQ(e.contains("domain"), f.domain) << where;
            if (f.domain) {
                EXPECT_EQ(e.value("domain").toObject().value("begin").toInt(), f.begin) << where;
                EXPECT_EQ(e.value("domain").toObject().value("end").toInt(), f.end) << where;
            }
        }
    }
}

TEST(EntityCatalogue, EnumerationsAdmitTheirWords)
{
    for (const QString& resource : fullDescriptions()) {
        const CheckedDescription d = loadShipped(resource);
        const std::string where = resource.toStdString();
        EXPECT_EQ(asSet(strings(d.entities.value("fmode").value("values"))), (QSet<QString>{"normal", "raw"})) << where;
        EXPECT_EQ(strings(d.entities.value("csize").value("values")), (QStringList{"1", "4", "9", "16", "25"})) << where;
        if (d.entities.contains("dtune"))
            EXPECT_EQ(strings(d.entities.value("dtune").value("values")), (QStringList{"start", "stop"})) << where;
        if (d.entities.contains("foil_health")) {
            EXPECT_EQ(strings(d.entities.value("foil_health").value("values")),
                      (QStringList{"start", "result", "status", "stop"}))
                << where;
        }
        const QJsonObject size = d.entities.value("frame").value("size").toObject();
        const QPair<int, int> frame(size.value("width").toInt(), size.value("height").toInt());
        const QList<QPair<int, int>> shipped{{168, 96}, {84, 48}, {56, 32}};
        EXPECT_TRUE(shipped.contains(frame)) << where;
        if (d.entities.contains("infinity"))
            EXPECT_EQ(d.entities.value("infinity").value("property").toString(), "fcolsa") << where;
        if (d.entities.contains("palm_rejection"))
            EXPECT_EQ(d.entities.value("palm_rejection").value("property").toString(), "tblobrej") << where;
    }
}

// The links as the controllers need them; names a firmware lacks drop out.
TEST(EntityCatalogue, DependsAreTheShippedLinks)
{
    for (const ShippedRow& row : shippedTable()) {
        if (row.entities <= 2)
            continue;
        const CheckedDescription d = loadShipped(row.resource);
        const QString shield = shieldOf(row.product);
        const bool twin = row.product == Product::TwinPoint;
        const auto present = [&](QStringList names) {
            QStringList out;
            for (const QString& n : names) {
                if (d.entities.contains(n))
                    out << n;
            }
            return asSet(out);
        };
        QHash<QString, QStringList> expected{
            {"th", {"thbound", "thn", "thni"}},
            {"thn", {"thbound", "th", "thni"}},
            {"thni", {"thbound", "th", "thn"}},
            {"tblobrej", {shield, "blob_rejection"}},
            {"fphysc", {shield, "blob_rejection"}},
            {"tblobdis", {shield, "blob_rejection"}},
            {"tblobth", {"blob_rejection"}},
            {shield, QStringList{"tcstrong", "bmode", "tidlee", "tdelayn", "fphysc"}
                         + (twin ? QStringList{} : QStringList{"tblobrej", "blob_rejection"})},
            {"blob_rejection", {"tblobrej", "fphysc", "tblobdis", "tblobth", "tdelayn", shield}},
            {"enable_disable_cells", {"fsize"}},
            {"foil_health", {"fsize"}},
            {"geometric_calibration", {"cfo", "cenable", "csize", "flogs", "tctlrc"}},
            {"touches", {"geometric_calibration", "tctlrc"}},
            {"tctlrc", {"cfo"}},
            {"tidled", {"tblobrej", "tblobdis", "tidlee", "tdelayn", "tdelayde"}},
            {"tdelayde", {"tblobrej", "tblobdis", "tidlee", "tdelayn", "tidled"}},
            {"tuio", {"cfo", "touches", "flogs"}},
            {"grid_test", {"frame", "fmode", "gain", "capmode"}},
            {"auto_tune", {"dtune", "th", "gain", "tdelayn", "tidlee", "tcstrong", "bmode"}},
            {"tune_vasta", {"auto_tune", "foil_health", "grid_test", "tcenable", "cosensor", "gain", "th", "frame",
                            "enable_disable_cells", shield}},
        };
        for (const QString& name : d.names) {
            const QSet<QString> want = present(expected.value(name));
            const QSet<QString> have = asSet(strings(d.entities.value(name).value("depends")));
            EXPECT_EQ(have, want) << row.resource << " " << name.toStdString();
        }
    }
}

TEST(EntityCatalogue, CompositesBindTheirCompanionsAndActions)
{
    const QStringList shieldCompanions{"tcstrong", "bmode", "tidlee", "tdelayn", "fphysc"};
    for (const ShippedRow& row : shippedTable()) {
        if (row.entities <= 2)
            continue;
        const CheckedDescription d = loadShipped(row.resource);
        const QString shield = shieldOf(row.product);
        const bool twin = row.product == Product::TwinPoint;
        QHash<QString, QStringList> expected{
            {"device_settings",
             {"default=settings.default", "download=settings.download", "erase=settings.erase", "save=settings.save",
              "upload=settings.upload"}},
            {"frame", {"mode=fmode", "size=fsize"}},
            {"foil_health", {"fsize=fsize", "result=foilh.result", "start=foilh.start", "status=foilh.status",
                             "stop=foilh.stop"}},
            {"tste", {"all=tste.all", "bottom=tste.bottom", "left=tste.left", "reset=tste.reset", "right=tste.right",
                      "top=tste.top"}},
            {"cba", {"all=cba.all", "bottom=cba.bottom", "left=cba.left", "right=cba.right", "top=cba.top"}},
            {"grid_test", sameNames({"frame", "fmode", "gain", "capmode"})},
            {"auto_tune", sameNames({"dtune", "th", "gain", "tdelayn", "tidlee", "tcstrong", "bmode"})},
            {"geometric_calibration", sameNames({"cfo", "cenable", "csize", "flogs"})},
            {"enable_disable_cells", sameNames({"fsize"})},
            {"tctlrc", sameNames({"cfo"})},
            {"blob_rejection", sameNames({"tblobrej", "tblobdis", "tdelayn", "tblobth", "fphysc"})},
            {shield, sameNames(shieldCompanions + (twin ? QStringList{} : QStringList{"tblobrej"}))},
            {"tune_vasta", sameNames({"auto_tune", "foil_health", "grid_test", "tcenable", "cosensor", "gain", "th",
                                      "frame", "enable_disable_cells", shield, "tuio"})},
        };
        for (const QString& name : d.names)
            EXPECT_EQ(symbolTargets(d.entities.value(name)), expected.value(name)) << row.resource << " " << name.toStdString();
    }
}

TEST(EntityCatalogue, ProductFamiliesHaveOnlyTheirShield)
{
    for (const ShippedRow& row : shippedTable()) {
        if (row.entities <= 2)
            continue;
        const CheckedDescription d = loadShipped(row.resource);
        for (const Product p : {Product::Vasta, Product::Lyn, Product::TwinPoint})
            EXPECT_EQ(d.entities.contains(shieldOf(p)), p == row.product) << row.resource;
        EXPECT_EQ(d.entities.contains("blob_rejection"), row.product != Product::TwinPoint) << row.resource;
    }
}

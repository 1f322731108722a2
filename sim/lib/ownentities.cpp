#include "ownentities.h"

#include "controllersetup.h"
#include "registercatalog.h"

namespace corvanesim {

namespace {

RegisterDef word(const char* name, RegisterKind kind, const QString& initial, const char* description,
                 bool writable = true)
{
    RegisterDef d;
    d.word = QLatin1String(name);
    d.kind = kind;
    d.initial = initial;
    d.description = QLatin1String(description);
    d.writable = writable;
    return d;
}

RegisterDef ranged(RegisterDef d, int minimum, int maximum)
{
    d.minimum = minimum;
    d.maximum = maximum;
    return d;
}

RegisterDef admitting(RegisterDef d, const QStringList& values)
{
    d.values = values;
    return d;
}

}  // namespace

QList<RegisterDef> ownRegisterCatalog(quint16 productId, quint16 release, const QString& serial)
{
    RegisterDef uptime = word("duptime", RegisterKind::Int, QStringLiteral("0"), "Seconds since the controller started", false);
    uptime.source = RegisterSource::Uptime;
    return {
        ranged(word("gain", RegisterKind::Int, QStringLiteral("3"), "Sensor gain"), 0, 7),
        word("dbuild", RegisterKind::Text, buildHash(productId, release), "Firmware build", false),
        word("dserial", RegisterKind::Text, serial, "Serial number", false),
        word("dversion", RegisterKind::Text, firmwareText(release), "Firmware version", false),
        ranged(uptime, 0, 0x7FFFFFFF),
        admitting(word("dreset", RegisterKind::Function, QStringLiteral("ok"), "Restart the controller"), {QStringLiteral("dfu")}),
        ranged(word("th", RegisterKind::Int, QStringLiteral("40"), "Touch threshold"), 0, 255),
        ranged(word("tscale", RegisterKind::Real, QStringLiteral("1.25"), "Touch size scale"), 0, 4),
        ranged(word("tgamma", RegisterKind::Double, QStringLiteral("2.2"), "Pressure response curve"), 0, 10),
        word("cmat", RegisterKind::Matrix, QStringLiteral("1 0 0 0 1 0 0 0 1"), "Calibration transform, row by row"),
        word("dkey", RegisterKind::Bytes, QStringLiteral("c0ffee0102030405"), "Device key", false),
        admitting(word("fmodes", RegisterKind::Words, QStringLiteral("touch pen"), "Input kinds reported"),
                  {QStringLiteral("touch"), QStringLiteral("pen"), QStringLiteral("object")}),
        word("cenable", RegisterKind::Bool, QStringLiteral("0"), "Calibration on"),
        ranged(word("fsize", RegisterKind::Pair, QStringLiteral("40 24"), "Sensor cells, columns and rows", false), 0, 255),
        ranged(word("cfo", RegisterKind::Triple, QStringLiteral("0 0 0"), "Calibration frame offsets"), 0, 7),
        word("dlabel", RegisterKind::Text, QStringLiteral("bench"), "Label of this controller"),
        admitting(word("fmode", RegisterKind::Enum, QStringLiteral("normal"), "Frame mode"), {QStringLiteral("normal"), QStringLiteral("raw")}),
        word("ssave", RegisterKind::Function, QStringLiteral("ok"), "Save the settings to flash"),
    };
}

QList<ViewDef> ownViews()
{
    return {
        {QStringLiteral("basic"),
         {"th", "gain", "tscale", "tgamma", "cmat", "fmodes", "cenable", "dlabel", "dkey", "dserial", "dversion",
          "duptime", "dreset", "ssave"}},
        {QStringLiteral("corvane_link"), {"th", "gain", "cmat", "fsize", "cfo"}},
        {QStringLiteral("tuning"), {"th", "tscale", "tgamma", "cmat", "cfo", "fmode"}},
    };
}

}  // namespace corvanesim

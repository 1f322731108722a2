#include "registercatalog.h"

#include "controllersetup.h"

#include <QCryptographicHash>

namespace corvanesim {

namespace {

constexpr quint16 Vasta = 2;
constexpr quint16 TwinPoint = 12;

RegisterDef number(const char* word, int minimum, int maximum, int initial, bool writable = true)
{
    RegisterDef d;
    d.word = QLatin1String(word);
    d.kind = RegisterKind::Int;
    d.writable = writable;
    d.minimum = minimum;
    d.maximum = maximum;
    d.initial = QString::number(initial);
    return d;
}

RegisterDef live(const char* word, RegisterSource source, int maximum)
{
    RegisterDef d = number(word, 0, maximum, 0, false);
    d.source = source;
    return d;
}

RegisterDef tuple(const char* word, RegisterKind kind, int minimum, int maximum, const char* initial,
                  bool writable = true)
{
    RegisterDef d = number(word, minimum, maximum, 0, writable);
    d.kind = kind;
    d.initial = QLatin1String(initial);
    return d;
}

RegisterDef text(const char* word, const QString& initial, bool writable = true)
{
    RegisterDef d;
    d.word = QLatin1String(word);
    d.kind = RegisterKind::Text;
    d.writable = writable;
    d.initial = initial;
    return d;
}

RegisterDef choice(const char* word, const QStringList& values, const char* initial)
{
    RegisterDef d = text(word, QLatin1String(initial));
    d.kind = RegisterKind::Enum;
    d.values = values;
    return d;
}

RegisterDef function(const char* word, const QString& answer, const QStringList& arguments = {})
{
    RegisterDef d = text(word, answer);
    d.kind = RegisterKind::Function;
    d.values = arguments;
    return d;
}

// Sensor geometry: cells, logical coordinate range, physical size in mm.
struct Geometry {
    const char* cells;
    const char* physical;
};

Geometry geometryOf(quint16 productId)
{
    switch (productId) {
    case 4:
        return {"84 48", "708 398"};
    case 12:
        return {"56 32", "521 293"};
    case 32:
        return {"56 32", "1218 685"};
    default:
        return {"168 96", "1106 622"};
    }
}

QList<RegisterDef> identification(quint16 productId, quint16 release, const QString& serial)
{
    RegisterDef uptime = text("duptime", QStringLiteral("0"), false);
    uptime.source = RegisterSource::Uptime;
    return {
        number("gain", 0, 7, 3),
        text("dbuild", buildHash(productId, release), false),
        text("dserial", serial, false),
        text("dversion", firmwareText(release), false),
        uptime,
        function("dreset", QStringLiteral("ok"), {QStringLiteral("dfu")}),
    };
}

QList<RegisterDef> thresholds()
{
    return {
        number("th", 0, 255, 40),
        number("thn", 0, 50, 20),
        number("thni", 0, 50, 15),
        tuple("thbound", RegisterKind::Pair, 0, 255, "10 200"),
        number("tcstrong", 0, 1, 0),
        number("bmode", 0, 4, 1),
        number("tblobth", 0, 255, 60),
        tuple("tblobdis", RegisterKind::Pair, 0, 65535, "8 8"),
        number("tcenable", 0, 3, 3),
        number("tpdmind", 0, 65535, 20),
        number("ttsmooth", 1, 430, 10),
        number("tpdxlo", 0, 2, 0),
        number("tidled", 0, 65535, 500),
        number("tidlee", 0, 65535, 1000),
        number("tdelayn", 0, 255, 2),
        number("tdelayde", 0, 255, 3),
        number("tmax", 1, 2, 1),
        number("tmaxrep", 1, 20, 10),
    };
}

QList<RegisterDef> sensor(quint16 productId)
{
    const Geometry g = geometryOf(productId);
    return {
        live("tcicount", RegisterSource::ContactsBegun, 65535),
        live("tccount", RegisterSource::ContactCount, 20),
        live("cosensor", RegisterSource::SensorCycle, 2),
        live("dfps", RegisterSource::FrameRate, 1000),
        number("dfreq", 50, 500, 250),
        number("gainmax", 0, 7, 7, false),
        number("dmp", 0, 255, 1, false),
        number("frirf", 0, 255, 1, false),
        number("fcolsa", 0, 1, 0),
        number("ddcycle", 1, 190, 100),
        number("dsfrd", 0, 255, 0),
        number("capmode", 0, 3, 0),
        number("capmodeb", 0, 3, 0, false),
        tuple("fsize", RegisterKind::Pair, 0, 255, g.cells, false),
        tuple("flogs", RegisterKind::Pair, 0, 65535, "4095 4095", false),
        tuple("fphys", RegisterKind::Pair, 0, 65535, g.physical, false),
        text("fphysc", QStringLiteral("glass4"), false),
        choice("fmode", {QStringLiteral("normal"), QStringLiteral("raw")}, "normal"),
        text("fcolsf", QStringLiteral("0")),
        text("frowsf", QStringLiteral("0")),
        text("dmode", QStringLiteral("touch")),
        choice("dtune", {QStringLiteral("start"), QStringLiteral("stop")}, "stop"),
    };
}

QList<RegisterDef> calibration()
{
    RegisterDef enable = number("cenable", 0, 1, 0);
    enable.kind = RegisterKind::Bool;
    return {
        enable,
        tuple("cfo", RegisterKind::Triple, 0, 7, "0 0 0"),
        tuple("te2fnref", RegisterKind::Triple, 0, 65535, "0 0 0"),
        choice("csize", {"1", "4", "9", "16", "25"}, "4"),
        function("cclear", QStringLiteral("ok")),
        number("tctlrc", 0, 1, 0),
    };
}

QList<RegisterDef> maintenance()
{
    return {
        function("serase", QStringLiteral("ok")),
        function("sversion", QStringLiteral("3")),
        function("ssave", QStringLiteral("ok")),
        function("fnref", QStringLiteral("ok")),
        function("fpsnr", QStringLiteral("42")),
    };
}

QList<RegisterDef> familySpecific(quint16 productId, quint16 release)
{
    QList<RegisterDef> defs;
    if (productId != TwinPoint)
        defs.append(number("tblobrej", 0, 1, 0));
    if (productId == TwinPoint && release == 0x0202)
        defs.append(number("fsglass", 0, 20, 4, false));
    if (productId == Vasta && release >= 0x0205)
        defs.append(choice("foilh", {"status", "start", "stop"}, "status"));
    else
        defs.append(text("foilh", QStringLiteral("status")));
    return defs;
}

}  // namespace

QString buildHash(quint16 productId, quint16 release)
{
    const QByteArray seed = QByteArrayLiteral("corvane-firmware-") + QByteArray::number(productId) + '-'
                            + QByteArray::number(release, 16);
    return QString::fromLatin1(QCryptographicHash::hash(seed, QCryptographicHash::Sha1).toHex());
}

QList<RegisterDef> registerCatalog(quint16 productId, quint16 release, const QString& serial)
{
    QList<RegisterDef> defs = identification(productId, release, serial);
    if (release < FullCommandSetRelease)
        return defs;
    defs += thresholds();
    defs += sensor(productId);
    defs += calibration();
    defs += maintenance();
    defs += familySpecific(productId, release);
    return defs;
}

}  // namespace corvanesim

#include "controllersetup.h"

#include "simlimits.h"

#include <QRegularExpression>

namespace corvanesim {

namespace {

struct ProductName {
    const char* name;
    quint16 productId;
};

constexpr ProductName ProductNames[] = {
    {"vasta", 2},
    {"lyn", 4},
    {"twinpoint", 12},
    {"tarso55", 32},
};

// Serials travel in space-separated protocol lines and inside SETUP texts.
bool isSerialCharacter(QChar c)
{
    return c.unicode() > 0x20 && c.unicode() < 0x7F && c != QLatin1Char(':') && c != QLatin1Char(',')
           && c != QLatin1Char('=') && c != QLatin1Char('#');
}

bool parseSerial(const QString& text, QString* error)
{
    if (text.size() != SerialLength) {
        *error = QStringLiteral("serial \"%1\" must have %2 characters").arg(text).arg(SerialLength);
        return false;
    }
    for (QChar c : text) {
        if (!isSerialCharacter(c)) {
            *error = QStringLiteral("serial \"%1\" holds a character that is not allowed").arg(text);
            return false;
        }
    }
    return true;
}

bool parsePreset(const QString& text, QPair<QString, QString>* preset, QString* error)
{
    const int eq = text.indexOf(QLatin1Char('='));
    const QString word = text.left(eq);
    static const QRegularExpression wordPattern(QStringLiteral("^[a-z0-9_.]{1,10}$"));
    if (eq < 0 || !wordPattern.match(word).hasMatch()) {
        *error = QStringLiteral("preset \"%1\" is not word=value").arg(text);
        return false;
    }
    const QString value = text.mid(eq + 1);
    // A timeline file is named by its path, which may be long.
    if (word == QLatin1String("timeline") && !value.isEmpty() && !value.contains(QLatin1Char(' '))) {
        *preset = qMakePair(word, value);
        return true;
    }
    if (value.size() > CommandValueSize || value.contains(QLatin1Char(' '))) {
        *error = QStringLiteral("preset value of \"%1\" is too long or holds a space").arg(word);
        return false;
    }
    *preset = qMakePair(word, value);
    return true;
}

enum class SetupKey { None, Applied, Refused };

// `bulk`, `paths`, `entities` and `hang` shape the controller and its faults,
// `timeline` the touches, the foil keys the foil; they are no registers.
SetupKey parseSetupKey(const QPair<QString, QString>& preset, ControllerSetup* setup, QString* error)
{
    const QString& value = preset.second;
    if (preset.first == QLatin1String("bulk")) {
        if (value != QLatin1String("0") && value != QLatin1String("1") && value != QLatin1String("only")) {
            *error = QStringLiteral("bulk=%1 is not 0, 1 or only").arg(value);
            return SetupKey::Refused;
        }
        setup->bulk = value != QLatin1String("0");
        setup->bulkOnly = value == QLatin1String("only");
        return SetupKey::Applied;
    }
    if (preset.first == QLatin1String("entities")) {
        if (value != QLatin1String("product") && value != QLatin1String("own")) {
            *error = QStringLiteral("entities=%1 is not product or own").arg(value);
            return SetupKey::Refused;
        }
        setup->ownEntities = value == QLatin1String("own");
        return SetupKey::Applied;
    }
    if (preset.first == QLatin1String("paths")) {
        if (value != QLatin1String("1") && value != QLatin1String("2")) {
            *error = QStringLiteral("paths=%1 is not 1 or 2").arg(value);
            return SetupKey::Refused;
        }
        setup->hidPaths = value.toInt();
        return SetupKey::Applied;
    }
    if (preset.first == QLatin1String("timeline")) {
        setup->timeline = value != QLatin1String("off");
        setup->timelinePath = value == QLatin1String("off") || value == QLatin1String("on") ? QString() : value;
        return SetupKey::Applied;
    }
    if (preset.first == QLatin1String("hang")) {
        static const QRegularExpression word(QStringLiteral("^[a-z0-9_.]{1,8}$"));
        if (!word.match(value).hasMatch()) {
            *error = QStringLiteral("hang=%1 is not a command word").arg(value);
            return SetupKey::Refused;
        }
        setup->hangWord = value;
        return SetupKey::Applied;
    }
    switch (parseFoilKey(preset.first, value, &setup->damage, error)) {
    case FoilKey::Applied:
        return SetupKey::Applied;
    case FoilKey::Refused:
        return SetupKey::Refused;
    case FoilKey::None:
        break;
    }
    return SetupKey::None;
}

}  // namespace

bool parseProduct(const QString& text, quint16* productId)
{
    for (const ProductName& p : ProductNames) {
        if (text.compare(QLatin1String(p.name), Qt::CaseInsensitive) == 0) {
            *productId = p.productId;
            return true;
        }
    }
    static const QRegularExpression decimal(QStringLiteral("^[0-9]{1,5}$"));
    if (!decimal.match(text).hasMatch())
        return false;
    const uint id = text.toUInt();
    if (id > 0xFFFF)
        return false;
    *productId = quint16(id);
    return true;
}

bool parseFirmware(const QString& text, quint16* release)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9a-fA-F]{1,2})\\.([0-9a-fA-F]{3})$"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return false;
    const uint major = m.captured(1).toUInt(nullptr, 16);
    const uint minor = m.captured(2).toUInt(nullptr, 16);
    if (minor > 0xFF)
        return false;
    *release = quint16((major << 8) | minor);
    return true;
}

QString firmwareText(quint16 release)
{
    return QStringLiteral("%1.%2").arg(release >> 8, 0, 16).arg(release & 0xFF, 3, 16, QLatin1Char('0'));
}

bool parseControllerSetup(const QString& text, ControllerSetup* setup, QString* error)
{
    const QStringList parts = text.split(QLatin1Char(','));
    const QStringList head = parts.first().split(QLatin1Char(':'));
    if (head.size() != 3) {
        *error = QStringLiteral("device \"%1\" is not PRODUCT:SERIAL:FIRMWARE[,word=value...]").arg(text);
        return false;
    }
    ControllerSetup result;
    if (!parseProduct(head[0], &result.productId)) {
        *error = QStringLiteral("unknown product \"%1\" (vasta, lyn, twinpoint, tarso55 or a decimal product id)")
                     .arg(head[0]);
        return false;
    }
    if (!parseSerial(head[1], error))
        return false;
    result.serial = head[1];
    if (!parseFirmware(head[2], &result.release)) {
        *error = QStringLiteral("firmware \"%1\" is not like 2.005 (major, point, three hex digits up to ff)")
                     .arg(head[2]);
        return false;
    }
    if (parts.size() - 1 > MaxPresetCount) {
        *error = QStringLiteral("too many presets (at most %1)").arg(MaxPresetCount);
        return false;
    }
    for (int i = 1; i < parts.size(); ++i) {
        QPair<QString, QString> preset;
        if (!parsePreset(parts[i], &preset, error))
            return false;
        switch (parseSetupKey(preset, &result, error)) {
        case SetupKey::Refused:
            return false;
        case SetupKey::Applied:
            break;
        case SetupKey::None:
            result.presets.append(preset);
            break;
        }
    }
    *setup = result;
    return true;
}

}  // namespace corvanesim

// The text that names a virtual controller on the command line and in
// `plug` requests: PRODUCT:SERIAL:FIRMWARE[,key=value...].
#pragma once

#include "foildamage.h"

#include <QList>
#include <QPair>
#include <QString>

namespace corvanesim {

struct ControllerSetup {
    quint16 productId = 0;
    QString serial;
    quint16 release = 0;  // bcdDevice: major in the high byte, minor in the low byte
    QList<QPair<QString, QString>> presets;  // register word -> value, in given order
    bool bulk = false;  // `bulk=1`: the vendor bulk interface is present too
    bool bulkOnly = false;  // `bulk=only`: the vendor bulk interface and no HID interface
    bool ownEntities = false;  // `entities=own`: an entity set no shipped description covers
    int hidPaths = 1;   // `paths=2`: the HID interface is reached through a second path as well
    FoilDamage damage;  // `deadcols=`, `brokenrows=`, `shortcols=`, `shortrows=`
    QString hangWord;   // `hang=WORD`: the controller stops answering once it is sent WORD
    bool timeline = true;  // `timeline=off`: a quiet sensor
    QString timelinePath;  // `timeline=FILE`: the script instead of the built-in one
};

// Parses a SETUP; on failure returns false and a message naming the fault.
[[nodiscard]] bool parseControllerSetup(const QString& text, ControllerSetup* setup, QString* error);

// "2.005" -> 0x0205; the minor part is three hex digits, the major part one or two.
[[nodiscard]] bool parseFirmware(const QString& text, quint16* release);

// 0x0205 -> "2.005", the way the host writes the release number.
QString firmwareText(quint16 release);

// vasta, lyn, twinpoint, tarso55 (any letter case) or a decimal id 0..65535.
[[nodiscard]] bool parseProduct(const QString& text, quint16* productId);

}  // namespace corvanesim

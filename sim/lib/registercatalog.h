// The register tables of the controller families, as their firmware holds them.
#pragma once

#include "registerdef.h"

#include <QList>

namespace corvanesim {

// Firmware from this release on has the full command set; earlier releases
// answer only the identification words.
constexpr quint16 FullCommandSetRelease = 0x0202;

// The words of a controller with this product id, release and serial.
QList<RegisterDef> registerCatalog(quint16 productId, quint16 release, const QString& serial);

// The 40-character build hash the firmware of this product and release reports.
QString buildHash(quint16 productId, quint16 release);

}  // namespace corvanesim

// A controller with an entity set of its own, which no interface description
// shipped with the service covers (SETUP key `entities=own`): it can only be
// used through what it says about itself over its bulk channel.
#pragma once

#include "bulkmetadata.h"
#include "registerdef.h"

#include <QList>

namespace corvanesim {

// Its words: the identification words every controller has, then words of
// kinds that no shipped description uses (float, double, 3x3 matrix, byte
// array, word list).
QList<RegisterDef> ownRegisterCatalog(quint16 productId, quint16 release, const QString& serial);

// Its views: "basic", "corvane_link" and "tuning", a view no shipped
// description has.
QList<ViewDef> ownViews();

}  // namespace corvanesim

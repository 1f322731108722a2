// The register words as typed values: what a bulk record carries for a word
// of each kind, and the text form the register table holds for it.
#pragma once

#include "bulkwire.h"
#include "registerdef.h"

namespace corvanesim {

// The value a reply carries for a word whose register holds `text`.
BulkValue typedRegisterValue(const RegisterDef& def, const QString& text);

// The words a write of `value` to this register stands for.
QString registerWords(const RegisterDef& def, const BulkValue& value);

// Checks a write to a word of the kinds Real, Double, Matrix, Bytes and
// Words; on success gives the text the controller stores.
[[nodiscard]] bool normaliseTypedValue(const RegisterDef& def, const QString& value, QString* stored, QString* error);

}  // namespace corvanesim

#pragma once

#include "com/binaryjsoncheck.h"
#include "com/comlimits.h"

#include <QByteArray>

// Checks JSON text against the document limits before Qt's text parser,
// which recurses once per nesting level, sees it: its size, how deep its
// arrays and objects nest, and how many values it holds. One pass without
// recursion; brackets and commas inside strings do not count.
namespace CVNJsonText {

[[nodiscard]] CVNBinaryJson::CheckResult checkLimits(const QByteArray& text, const CVNDocumentLimits& limits);

} // namespace CVNJsonText

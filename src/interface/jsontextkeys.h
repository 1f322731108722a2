#pragma once

#include <QByteArray>

// Qt 5.15's JSON text parser loses the memory of an array or object whose
// key appears a second time in the same object (the later value wins, the
// earlier one is never freed). Text from a controller or a file is checked
// here first and refused when any object holds a key twice, so that no
// answer can make the service leak. One pass without recursion; keys are
// compared as Qt would store them (escapes read, surrogate pairs joined).
// Text that is not JSON at all passes: the parser refuses it.
namespace CVNJsonTextKeys {

[[nodiscard]] bool hasDuplicateKey(const QByteArray& text);

} // namespace CVNJsonTextKeys

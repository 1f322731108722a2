#pragma once

#include "com/comlimits.h"

#include <QString>

// Walks the layout of a received Qt binary JSON document without recursion
// and checks it against limits before Qt's own parser sees it: Qt's
// validation and conversion recurse once per nesting level, and a document
// may let several values point at the same bytes, so that a small document
// expands into an enormous tree. Only documents that pass this check are
// handed to Qt, which still validates everything itself.
namespace CVNBinaryJson {

struct CheckResult {
    bool ok = false;
    QString reason;  // why the document was refused; empty when ok
};

// Checks the root value of a document: root points at the root container
// (just after the 8-byte header), rootSize is the root's own size word.
// The caller guarantees that rootSize bytes are readable at root.
// Refused: nesting deeper than limits.maxDepth containers, more than
// limits.maxElements values, values sharing storage (the bytes of all
// containers, keys and values together exceeding rootSize), and any
// offset or size that leaves its container.
[[nodiscard]] CheckResult checkStructure(const char* root, quint32 rootSize, const CVNDocumentLimits& limits);

} // namespace CVNBinaryJson

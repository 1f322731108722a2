#pragma once

#include <QString>

// Access flags of a property: read 1, write 2, mutable 4 (the value can change
// on the device by itself, so a cached value is never trusted).
namespace AccessMode {
enum Flag : int {
    None = 0,
    Read = 1,
    Write = 2,
    Mutable = 4,
    ReadWrite = Read | Write,
};

// "read", "write", "mutable", "read_mutable", "read_write",
// "read_write_mutable"; anything else (or absent) is read_write.
int fromText(const QString& word);
// The word of a mode; a value without its own word is "read_write".
QString toText(int mode);
}  // namespace AccessMode

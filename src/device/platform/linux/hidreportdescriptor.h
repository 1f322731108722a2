#pragma once

#include <QByteArray>

// The top-level usage of a HID report descriptor: the usage page and usage in
// effect at its first collection.
struct CVNHidTopLevelUsage {
    quint16 usagePage = 0;
    quint16 usage = 0;
};

// Reads the short items up to the first Collection; false when the
// descriptor ends before one or an item runs past its end.
[[nodiscard]] bool parseTopLevelUsage(const QByteArray& descriptor, CVNHidTopLevelUsage& usage);

// Damage of a simulated foil: dead columns, broken rows, and lines shorted
// to their next neighbour. Set with the SETUP keys deadcols=, brokenrows=,
// shortcols= and shortrows= (lists like 3+60) or on a running simulator.
#pragma once

#include <QSet>
#include <QString>

namespace corvanesim {

struct FoilDamage {
    QSet<int> deadColumns;
    QSet<int> brokenRows;
    QSet<int> shortedColumns;  // column N is shorted to column N + 1
    QSet<int> shortedRows;  // row N is shorted to row N + 1

    bool isHealthy() const;
    void clear() { *this = FoilDamage(); }
    // Every damaged line lies on a grid of that size; else the first that
    // does not, named in the error.
    [[nodiscard]] bool fits(int width, int height, QString* error) const;
};

enum class FoilKey { None, Applied, Refused };

// A SETUP key of the foil damage: None when `key` is not one, Refused (with
// a message) when its value is not a list of line numbers.
FoilKey parseFoilKey(const QString& key, const QString& value, FoilDamage* damage, QString* error);

}  // namespace corvanesim

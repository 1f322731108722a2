#include "foildamage.h"

#include <QStringList>

namespace corvanesim {

namespace {

constexpr int MaxLine = 4095;
constexpr int MaxLines = 256;

bool parseLines(const QString& value, QSet<int>* lines)
{
    const QStringList parts = value.split(QLatin1Char('+'));
    if (parts.size() > MaxLines)
        return false;
    QSet<int> result;
    for (const QString& part : parts) {
        bool ok = false;
        const int n = part.toInt(&ok, 10);
        if (!ok || n < 0 || n > MaxLine)
            return false;
        result.insert(n);
    }
    *lines = result;
    return true;
}

bool linesFit(const QSet<int>& lines, int extent, int reach, const char* what, QString* error)
{
    for (int n : lines) {
        if (n + reach >= extent) {
            *error = QStringLiteral("%1 %2 outside the sensor (0..%3)").arg(QLatin1String(what)).arg(n).arg(extent - 1 - reach);
            return false;
        }
    }
    return true;
}

}  // namespace

bool FoilDamage::isHealthy() const
{
    return deadColumns.isEmpty() && brokenRows.isEmpty() && shortedColumns.isEmpty() && shortedRows.isEmpty();
}

bool FoilDamage::fits(int width, int height, QString* error) const
{
    return linesFit(deadColumns, width, 0, "column", error) && linesFit(brokenRows, height, 0, "row", error)
           && linesFit(shortedColumns, width, 1, "shorted column", error)
           && linesFit(shortedRows, height, 1, "shorted row", error);
}

FoilKey parseFoilKey(const QString& key, const QString& value, FoilDamage* damage, QString* error)
{
    QSet<int>* lines = nullptr;
    if (key == QLatin1String("deadcols"))
        lines = &damage->deadColumns;
    else if (key == QLatin1String("brokenrows"))
        lines = &damage->brokenRows;
    else if (key == QLatin1String("shortcols"))
        lines = &damage->shortedColumns;
    else if (key == QLatin1String("shortrows"))
        lines = &damage->shortedRows;
    else
        return FoilKey::None;
    if (!parseLines(value, lines)) {
        *error = QStringLiteral("%1=%2 is not a list of line numbers like 3+60").arg(key, value);
        return FoilKey::Refused;
    }
    return FoilKey::Applied;
}

}  // namespace corvanesim

#include "properties/shieldtables.h"

bool CVNShieldRow::matches(int delay, int idle, int blur, int strong, bool blob) const
{
    if (idle != tidlee || blur != bmode || strong != tcstrong)
        return false;
    if (delay == delayFor(blob))
        return true;
    if (!blob)
        return false;
    return tdelaynAlsoWithBlob >= 0 && delay == tdelaynAlsoWithBlob;
}

namespace CVNShieldTables
{

namespace
{

// Rows as tdelayn / tidlee / bmode / tcstrong.
CVNShieldRow row(int delay, int idle, int blur, int strong)
{
    CVNShieldRow r;
    r.tdelayn = delay;
    r.tidlee = idle;
    r.bmode = blur;
    r.tcstrong = strong;
    return r;
}

// A level 0 row whose "tdelayn" follows blob rejection: `withBlob` when on, 0 when off.
CVNShieldRow blobRow(int withBlob)
{
    CVNShieldRow r = row(0, 0, 1, 0);
    r.tdelaynWithBlob = withBlob;
    return r;
}

} // namespace

const CVNShieldTable& vasta(bool smallSize)
{
    static const CVNShieldTable normal = {
        blobRow(2), row(4, 2, 1, 0), row(6, 3, 1, 0), row(4, 2, 3, 0), row(6, 3, 3, 0), row(4, 2, 3, 1), row(6, 3, 3, 1),
    };
    static const CVNShieldTable small = {
        row(4, 0, 1, 0), row(4, 2, 1, 0), row(6, 3, 1, 0), row(4, 2, 3, 0), row(6, 3, 3, 0), row(7, 3, 3, 0), row(8, 4, 3, 0),
    };
    return smallSize ? small : normal;
}

const CVNShieldTable& lyn(QChar versionCharacter)
{
    static const CVNShieldTable three = [] {
        CVNShieldTable t = {
            row(0, 0, 1, 0), row(4, 2, 1, 0), row(8, 4, 1, 0), row(4, 2, 3, 0), row(8, 4, 3, 0), row(4, 2, 3, 1), row(8, 4, 3, 1),
        };
        // Written as 0 whatever blob rejection does, read as level 0 also
        // with 4 when it is on.
        t[0].tdelaynAlsoWithBlob = 4;
        return t;
    }();
    static const CVNShieldTable two = [] {
        CVNShieldTable t = three;
        t[0] = blobRow(4);
        return t;
    }();
    if (versionCharacter == QLatin1Char('3'))
        return three;
    if (versionCharacter == QLatin1Char('2'))
        return two;
    return twinPoint();
}

const CVNShieldTable& twinPoint()
{
    static const CVNShieldTable table = {
        row(4, 4, 1, 0), row(6, 4, 1, 0), row(8, 4, 1, 0), row(6, 4, 3, 0), row(8, 4, 3, 0), row(6, 4, 3, 1), row(8, 4, 3, 1),
    };
    return table;
}

int levelOf(const CVNShieldTable& table, int delay, int idle, int blur, int strong, bool blob)
{
    for (int level = 0; level < int(table.size()); ++level) {
        if (table[size_t(level)].matches(delay, idle, blur, strong, blob))
            return level;
    }
    return MinLevel;
}

} // namespace CVNShieldTables

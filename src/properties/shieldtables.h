#pragma once

#include <QChar>

#include <array>

// The shield levels 0..6 as combinations of four controller settings.
struct CVNShieldRow
{
    int tdelayn = 0;
    int tidlee = 0;
    int bmode = 0;
    int tcstrong = 0;
    // With blob rejection on ("tblobrej" 1) this "tdelayn" is written
    // instead; -1: the same as without.
    int tdelaynWithBlob = -1;
    // With blob rejection on this "tdelayn" also reads as this row; -1: none.
    int tdelaynAlsoWithBlob = -1;

    bool dependsOnBlob() const { return tdelaynWithBlob >= 0 || tdelaynAlsoWithBlob >= 0; }
    int delayFor(bool blob) const { return blob && tdelaynWithBlob >= 0 ? tdelaynWithBlob : tdelayn; }
    bool matches(int delay, int idle, int blur, int strong, bool blob) const;
};

using CVNShieldTable = std::array<CVNShieldRow, 7>;

// The tables of the three controller families.
namespace CVNShieldTables
{
constexpr int MinLevel = -1; // a combination of no row: custom
constexpr int MaxLevel = 6;

const CVNShieldTable& vasta(bool smallSize);
// By the firmware version character that picks the table ('2', '3', other).
const CVNShieldTable& lyn(QChar versionCharacter);
const CVNShieldTable& twinPoint();

// The row the four values match, or -1.
int levelOf(const CVNShieldTable& table, int delay, int idle, int blur, int strong, bool blob);
} // namespace CVNShieldTables

// The capacitance picture of a simulated foil. Raw frames show every cell's
// reading: a floor that rises with the gain and the capture mode, noise,
// and a bump where a finger lies. Normal frames show what the controller
// keeps after removing that floor: a low noise floor and the touch blobs.
// Damage shows as it does on a real foil: a dead column reads 0, a broken
// row reads flat, shorted lines read alike.
#pragma once

#include "foildamage.h"
#include "touchtimeline.h"

#include <QByteArray>
#include <QList>

namespace corvanesim {

class CVNFoilModel {
public:
    enum class Mode { Normal, Raw };

    struct Conditions {
        int width = 0;
        int height = 0;
        Mode mode = Mode::Normal;
        int gain = 0;
        int capmode = 0;
        QList<Contact> contacts;  // in logical coordinates
        int logicalWidth = 4096;  // "flogs"
        int logicalHeight = 4096;
        QByteArray mask;  // cell mask (bit set = enabled); empty: all enabled
    };

    // Readings of the raw floor at gain 0 and capture mode 0.
    static constexpr int RawFloor = 70;
    static constexpr int RawNoiseSpan = 60;

    FoilDamage& damage() { return m_damage; }
    const FoilDamage& damage() const { return m_damage; }

    // width x height bytes, row by row; empty for an empty grid. The same
    // frame number gives the same noise.
    QByteArray frame(const Conditions& conditions, quint32 frameNumber) const;
    // The controller's own test of every cell: one bit per cell (cell-mask
    // layout), set when the cell is sound.
    QByteArray healthBitmap(int width, int height) const;

private:
    FoilDamage m_damage;
};

}  // namespace corvanesim

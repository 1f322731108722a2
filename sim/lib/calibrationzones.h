// The geometric calibration a controller keeps in its flash: up to 25 zones,
// each a 3x3 matrix of floats and the four corners of its rectangle, moved
// one zone at a time by 64-byte "cmatrix" blocks:
//
//   0..2    "bg " read a zone, "bs " write the next zone (the answer echoes it)
//   3..38   m11 .. m33, little-endian floats
//   42      zone index (read); the answer of a write gives the slot it took
//   44..59  x, y, right, y, x, bottom, right, bottom, little-endian uint16
//
// "cclear" forgets every zone; writes after it fill slots 0, 1, 2, ... in
// the order they arrive. A zone whose m33 is below 1 in magnitude counts as
// absent: its read answers a zero matrix and zero corners. A fresh
// controller holds four identity zones, the quadrants of its logical grid.
#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>
#include <array>
#include <functional>

namespace corvanesim {

class CVNCalibrationZones {
public:
    static constexpr int MaxZones = 25;
    static constexpr int BlockSize = 64;

    // logicalSize: the largest x and y of the grid ("flogs"), asked when needed.
    explicit CVNCalibrationZones(std::function<QSize()> logicalSize);

    // One "cmatrix" command: the 64 value bytes in, the 64 answer bytes out
    // (a zone block, or an error text zero padded).
    QByteArray matrix(const QByteArray& block);
    // "cclear": answers "ok"; an argument is refused.
    QString clear(const QString& argument);

    // Zones that a read would report.
    int heldZones();

private:
    struct Zone {
        float matrix[9] = {};
        quint16 corners[8] = {};
        bool held = false;
    };

    void ensureDefaults();
    QByteArray read(const QByteArray& block);
    QByteArray write(const QByteArray& block);
    static QByteArray zoneBlock(const char* marker, const Zone& zone, int index);
    static QByteArray errorBlock(const char* text);

    std::function<QSize()> m_logicalSize;
    std::array<Zone, MaxZones> m_zones{};
    int m_next = 0;
    bool m_defaultsLaid = false;
};

}  // namespace corvanesim

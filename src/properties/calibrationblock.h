#pragma once

#include "properties/calibrationzone.h"

#include <QByteArray>
#include <QString>

// The 64-byte block of the controller's "cmatrix" command, which carries one
// calibration zone each way:
//
//   0..2    "bg " to read a zone, "bs " to write one (the reply echoes it)
//   3..38   m11 m12 m13 m21 m22 m23 m31 m32 m33 as little-endian floats
//   39..41  zero
//   42      zone index of a read; 42..43 a 16-bit zero in a write
//   44..59  x, y, right, y, x, bottom, right, bottom as little-endian uint16
//   60..63  zero
//
// One buffer serves a whole transfer: each reply is the starting content of
// the next command, so only the fields named per zone are laid anew.
class CVNCalibrationBlock
{
public:
    static constexpr int Size = 64;
    static constexpr int MarkerOffset = 0;
    static constexpr int MarkerSize = 3;
    static constexpr int MatrixOffset = 3;
    static constexpr int IndexOffset = 42;
    static constexpr int CornersOffset = 44;
    static constexpr const char* Command = "cmatrix";

    enum class Marker { Read, Write };

    // 64 zero bytes.
    static QByteArray emptyBlock();
    static QByteArray markerBytes(Marker marker);
    // Blocks of another size are resized to 64 bytes first (zero padded).
    static void layMarker(QByteArray& block, Marker marker);
    // A read of zone `index`: zero matrix and corners, the index byte.
    static void layRead(QByteArray& block, int index);
    // A write: the matrix narrowed to float, the 16-bit zero index, the
    // four corners. The zone must be storable.
    static void layZone(QByteArray& block, const CVNCalibrationZone& zone);

    // Whether a reply block starts with the marker of the command sent.
    static bool hasMarker(const QByteArray& block, Marker marker);
    // The zone of a reply block. False when the block holds none: shorter
    // than 64 bytes, m33 truncated to an integer is 0 (the controller's mark
    // of an empty zone), or an entry that is not a finite number.
    [[nodiscard]] static bool readZone(const QByteArray& block, CVNCalibrationZone* zone);
    // The controller's words when a reply is an error text instead of a zone
    // block (no marker, and "error" in the text); empty otherwise.
    static QString errorText(const QByteArray& block);
};

#pragma once

#include <QByteArray>

// The picture of a frame: one grey byte per cell, row by row, drawn as a
// square of Scale x Scale pixels per cell and written as an 8-bit grey PNG.
// Written directly rather than through a scaled QImage and an image writer:
// the repeated pixels and rows make each image row cheap to filter and
// compress, which keeps the 60 ms live view light.
class CVNFramePng
{
public:
    static constexpr int Scale = 4;

    // Empty when the sizes are not positive, exceed the sensor limits, or
    // the bytes hold fewer than width x height cells.
    static QByteArray encode(const QByteArray& cells, int width, int height);
    // The same as Base64 text.
    static QByteArray encodeBase64(const QByteArray& cells, int width, int height);

    // CRC-32 of PNG chunks (ISO 3309), continued from crc.
    static quint32 crc32(const char* data, int length, quint32 crc = 0);
};

#include "properties/framepng.h"

#include "properties/sensorlimits.h"

#include <QtEndian>

#include <array>

namespace
{

// Deflate at its fastest: the filtered rows are mostly zero.
constexpr int CompressionLevel = 1;

enum Filter : char { FilterSub = 1, FilterUp = 2 };

const std::array<quint32, 256>& crcTable()
{
    static const std::array<quint32, 256> table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    return table;
}

void appendBigEndian(QByteArray& out, quint32 value)
{
    char bytes[4];
    qToBigEndian(value, bytes);
    out.append(bytes, 4);
}

void appendChunk(QByteArray& out, const char type[4], const char* data, int length)
{
    appendBigEndian(out, quint32(length));
    const int start = out.size();
    out.append(type, 4);
    out.append(data, length);
    appendBigEndian(out, CVNFramePng::crc32(out.constData() + start, length + 4));
}

// The filtered scanlines: the first image row of each cell row with the Sub
// filter (each cell's difference to the cell before it, then zeros), the
// three rows that repeat it with the Up filter (all zeros).
QByteArray scanlines(const uchar* cells, int width, int height)
{
    const int scale = CVNFramePng::Scale;
    const int line = 1 + width * scale;
    QByteArray raw(line * height * scale, '\0');
    char* out = raw.data();
    for (int y = 0; y < height; ++y) {
        const uchar* row = cells + y * width;
        char* first = out + y * scale * line;
        first[0] = FilterSub;
        uchar previous = 0;
        for (int x = 0; x < width; ++x) {
            first[1 + x * scale] = char(uchar(row[x] - previous));
            previous = row[x];
        }
        for (int repeat = 1; repeat < scale; ++repeat)
            first[repeat * line] = FilterUp;
    }
    return raw;
}

} // namespace

quint32 CVNFramePng::crc32(const char* data, int length, quint32 crc)
{
    const auto& table = crcTable();
    crc = ~crc;
    for (int i = 0; i < length; ++i)
        crc = table[(crc ^ uchar(data[i])) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

QByteArray CVNFramePng::encode(const QByteArray& cells, int width, int height)
{
    if (width <= 0 || height <= 0 || width > CVNSensorLimits::MaxGridSide || height > CVNSensorLimits::MaxGridSide
        || qint64(width) * height > CVNSensorLimits::MaxGridCells || cells.size() < width * height)
        return QByteArray();

    const QByteArray raw = scanlines(reinterpret_cast<const uchar*>(cells.constData()), width, height);
    // qCompress gives a zlib stream, as the image data chunk holds it,
    // behind a 4-byte length of its own.
    const QByteArray compressed = qCompress(raw, CompressionLevel);
    if (compressed.size() <= 4)
        return QByteArray();

    QByteArray png;
    png.reserve(compressed.size() + 64);
    png.append("\x89PNG\r\n\x1a\n", 8);
    char header[13];
    qToBigEndian(quint32(width * Scale), header);
    qToBigEndian(quint32(height * Scale), header + 4);
    header[8] = 8; // bits per sample
    header[9] = 0; // grey
    header[10] = 0; // deflate
    header[11] = 0; // adaptive filters
    header[12] = 0; // not interlaced
    appendChunk(png, "IHDR", header, sizeof(header));
    appendChunk(png, "IDAT", compressed.constData() + 4, compressed.size() - 4);
    appendChunk(png, "IEND", nullptr, 0);
    return png;
}

QByteArray CVNFramePng::encodeBase64(const QByteArray& cells, int width, int height)
{
    return encode(cells, width, height).toBase64();
}

#include "foilmodel.h"

#include <QtMath>

#include <algorithm>
#include <vector>

namespace corvanesim {

namespace {

constexpr int GainStep = 12;  // raw floor per gain step
constexpr int CapmodeStep = 10;  // raw floor per capture mode
constexpr int NormalNoiseSpan = 6;
constexpr int MaxCells = 65536;

quint32 mix(quint32 a)
{
    a ^= a >> 16;
    a *= 0x7feb352dU;
    a ^= a >> 15;
    a *= 0x846ca68bU;
    a ^= a >> 16;
    return a;
}

int noise(quint32 frameNumber, int cell, int span)
{
    return int(mix(frameNumber * 0x9E3779B1U ^ mix(quint32(cell) + 0x632BE5ABU)) % quint32(span));
}

// How strongly fingers cover each cell, 0..1.
std::vector<float> touchMap(const CVNFoilModel::Conditions& c)
{
    std::vector<float> map(size_t(c.width) * size_t(c.height), 0.0F);
    for (const Contact& contact : c.contacts) {
        const double cx = (contact.x + 0.5) * c.width / qMax(1, c.logicalWidth) - 0.5;
        const double cy = (contact.y + 0.5) * c.height / qMax(1, c.logicalHeight) - 0.5;
        const double sigma = qMax(0.8, contact.size / 40.0);
        const int reach = int(std::ceil(3 * sigma));
        for (int y = qMax(0, int(cy) - reach); y <= qMin(c.height - 1, int(cy) + reach); ++y) {
            for (int x = qMax(0, int(cx) - reach); x <= qMin(c.width - 1, int(cx) + reach); ++x) {
                const double d2 = (x - cx) * (x - cx) + (y - cy) * (y - cy);
                float& cell = map[size_t(y) * size_t(c.width) + size_t(x)];
                cell = float(qMin(1.0, cell + std::exp(-d2 / (2 * sigma * sigma))));
            }
        }
    }
    return map;
}

bool maskedOff(const QByteArray& mask, int cell)
{
    if (mask.isEmpty() || cell / 8 >= mask.size())
        return false;
    return ((quint8(mask.at(cell / 8)) >> (cell % 8)) & 1U) == 0;
}

std::vector<int> sorted(const QSet<int>& lines)
{
    std::vector<int> result(lines.begin(), lines.end());
    std::sort(result.begin(), result.end());
    return result;
}

}  // namespace

QByteArray CVNFoilModel::frame(const Conditions& c, quint32 frameNumber) const
{
    if (c.width <= 0 || c.height <= 0 || c.width * c.height > MaxCells)
        return QByteArray();
    const bool raw = c.mode == Mode::Raw;
    const int floor = raw ? RawFloor + c.gain * GainStep + c.capmode * CapmodeStep : 0;
    const int span = raw ? qMax(10, RawNoiseSpan - CapmodeStep * c.capmode) : NormalNoiseSpan;
    const int touchHeight = raw ? 30 + 10 * c.gain : 120 + 10 * c.gain;
    const std::vector<float> touch = touchMap(c);

    QByteArray out(c.width * c.height, '\0');
    for (int y = 0; y < c.height; ++y) {
        const bool broken = m_damage.brokenRows.contains(y);
        for (int x = 0; x < c.width; ++x) {
            const int cell = y * c.width + x;
            int v = 0;
            if (broken)
                v = raw ? floor + span / 2 : 0;  // the line carries no signal: flat
            else if (!raw && maskedOff(c.mask, cell))
                v = 0;
            else
                v = floor + noise(frameNumber, cell, span) + int(touch[size_t(cell)] * touchHeight);
            out[cell] = char(qBound(0, v, 255));
        }
    }
    // Shorted lines read alike.
    for (int n : sorted(m_damage.shortedRows)) {
        if (n + 1 < c.height)
            out.replace((n + 1) * c.width, c.width, out.mid(n * c.width, c.width));
    }
    for (int n : sorted(m_damage.shortedColumns)) {
        for (int y = 0; n + 1 < c.width && y < c.height; ++y)
            out[y * c.width + n + 1] = out.at(y * c.width + n);
    }
    for (int x : m_damage.deadColumns) {
        for (int y = 0; x < c.width && y < c.height; ++y)
            out[y * c.width + x] = '\0';
    }
    return out;
}

QByteArray CVNFoilModel::healthBitmap(int width, int height) const
{
    if (width <= 0 || height <= 0 || width * height > MaxCells)
        return QByteArray();
    QByteArray bits((width * height + 7) / 8, '\0');
    auto failed = [&](int x, int y) {
        return m_damage.deadColumns.contains(x) || m_damage.brokenRows.contains(y) || m_damage.shortedColumns.contains(x)
               || m_damage.shortedColumns.contains(x - 1) || m_damage.shortedRows.contains(y)
               || m_damage.shortedRows.contains(y - 1);
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int i = y * width + x;
            if (!failed(x, y))
                bits[i / 8] = char(quint8(bits.at(i / 8)) | quint8(1U << (i % 8)));
        }
    }
    return bits;
}

}  // namespace corvanesim

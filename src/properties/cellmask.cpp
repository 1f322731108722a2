#include "properties/cellmask.h"

#include "properties/sensorlimits.h"

namespace
{

bool sizeFits(int width, int height)
{
    return width > 0 && height > 0 && width <= CVNSensorLimits::MaxGridSide && height <= CVNSensorLimits::MaxGridSide
        && qint64(width) * height <= CVNSensorLimits::MaxGridCells;
}

int byteCount(int cells)
{
    return (cells + 7) / 8;
}

} // namespace

CVNCellMask::CVNCellMask(int width, int height)
{
    if (!sizeFits(width, height))
        return;
    m_width = width;
    m_height = height;
    m_bits = QByteArray(byteCount(cellCount()), '\0');
    setAll(true);
}

CVNCellMask CVNCellMask::fromBytes(int width, int height, const QByteArray& bytes)
{
    CVNCellMask mask(width, height);
    if (mask.isEmpty())
        return mask;
    const int copied = qMin(bytes.size(), mask.m_bits.size());
    mask.m_bits.fill('\0');
    mask.m_bits.replace(0, copied, bytes.left(copied));
    // Bits beyond the last cell carry nothing.
    const int tail = mask.cellCount() % 8;
    if (tail != 0)
        mask.m_bits[mask.m_bits.size() - 1] = char(uchar(mask.m_bits.at(mask.m_bits.size() - 1)) & ((1u << tail) - 1));
    return mask;
}

bool CVNCellMask::isEnabled(int x, int y) const
{
    if (!contains(x, y))
        return false;
    const int i = y * m_width + x;
    return (uchar(m_bits.at(i / 8)) >> (i % 8)) & 1u;
}

void CVNCellMask::setEnabled(int x, int y, bool enabled)
{
    if (!contains(x, y))
        return;
    const int i = y * m_width + x;
    const uchar bit = uchar(1u << (i % 8));
    uchar byte = uchar(m_bits.at(i / 8));
    byte = enabled ? (byte | bit) : (byte & ~bit);
    m_bits[i / 8] = char(byte);
}

void CVNCellMask::setRect(const QRect& rect, bool enabled)
{
    const QRect part = rect.intersected(QRect(0, 0, m_width, m_height));
    for (int y = part.top(); y <= part.bottom(); ++y) {
        for (int x = part.left(); x <= part.right(); ++x)
            setEnabled(x, y, enabled);
    }
}

void CVNCellMask::setRow(int y, bool enabled)
{
    setRect(QRect(0, y, m_width, 1), enabled);
}

void CVNCellMask::setColumn(int x, bool enabled)
{
    setRect(QRect(x, 0, 1, m_height), enabled);
}

void CVNCellMask::setAll(bool enabled)
{
    m_bits.fill(enabled ? char(0xFF) : '\0');
    const int tail = cellCount() % 8;
    if (enabled && tail != 0)
        m_bits[m_bits.size() - 1] = char((1u << tail) - 1);
}

CVNCellMask::RegionState CVNCellMask::state(const QRect& rect) const
{
    const QRect part = rect.intersected(QRect(0, 0, m_width, m_height));
    bool anyEnabled = false;
    bool anyDisabled = false;
    for (int y = part.top(); y <= part.bottom(); ++y) {
        for (int x = part.left(); x <= part.right(); ++x) {
            if (isEnabled(x, y))
                anyEnabled = true;
            else
                anyDisabled = true;
            if (anyEnabled && anyDisabled)
                return Mixed;
        }
    }
    return anyDisabled ? Disabled : Enabled;
}

QByteArray CVNCellMask::toBytes() const
{
    return m_bits;
}

const char* CVNCellMask::stateText(RegionState state)
{
    switch (state) {
    case Enabled:
        return "enabled";
    case Disabled:
        return "disabled";
    case Mixed:
        break;
    }
    return "mixed";
}

bool CVNCellMask::operator==(const CVNCellMask& other) const
{
    return m_width == other.m_width && m_height == other.m_height && m_bits == other.m_bits;
}

#pragma once

#include <QByteArray>
#include <QRect>
#include <QVector>

// One bit per sensor cell: cell (x, y) is bit y * width + x, set when the
// cell is enabled. On the wire the bits are packed least significant bit
// first: cell i is bit i % 8 of byte i / 8.
class CVNCellMask
{
public:
    // State of a group of cells.
    enum RegionState : int { Disabled = 0, Enabled = 1, Mixed = 2 };

    CVNCellMask() = default;
    // Every cell enabled; an empty mask for sizes outside the sensor limits.
    CVNCellMask(int width, int height);
    // The cells from packed bytes; cells beyond the bytes count as disabled.
    static CVNCellMask fromBytes(int width, int height, const QByteArray& bytes);

    int width() const { return m_width; }
    int height() const { return m_height; }
    int cellCount() const { return m_width * m_height; }
    bool isEmpty() const { return cellCount() == 0; }
    bool contains(int x, int y) const { return x >= 0 && y >= 0 && x < m_width && y < m_height; }

    // Cells outside the grid read as disabled and are never written.
    bool isEnabled(int x, int y) const;
    void setEnabled(int x, int y, bool enabled);
    // The part of the rectangle inside the grid.
    void setRect(const QRect& rect, bool enabled);
    void setRow(int y, bool enabled);
    void setColumn(int x, bool enabled);
    void setAll(bool enabled);

    // Enabled when every cell of the part inside the grid is enabled (so an
    // empty part counts as enabled), Disabled when none is, else Mixed.
    RegionState state(const QRect& rect) const;
    RegionState rowState(int y) const { return state(QRect(0, y, m_width, 1)); }
    RegionState columnState(int x) const { return state(QRect(x, 0, 1, m_height)); }

    // ceil(cells / 8) bytes, bits beyond the last cell zero.
    QByteArray toBytes() const;

    static const char* stateText(RegionState state);

    bool operator==(const CVNCellMask& other) const;

private:
    int m_width = 0;
    int m_height = 0;
    QByteArray m_bits; // packed, as on the wire
};

#include "calibrationzones.h"

#include "registertable.h"

#include <QtEndian>
#include <cmath>
#include <cstring>

namespace corvanesim {

namespace {

constexpr int MatrixOffset = 3;
constexpr int IndexOffset = 42;
constexpr int CornersOffset = 44;

float floatAt(const QByteArray& block, int offset)
{
    const quint32 bits = qFromLittleEndian<quint32>(block.constData() + offset);
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void putFloat(char* out, float value)
{
    quint32 bits;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian<quint32>(bits, out);
}

bool isHeld(const float (&matrix)[9])
{
    return std::fabs(matrix[8]) >= 1.0f;
}

}  // namespace

CVNCalibrationZones::CVNCalibrationZones(std::function<QSize()> logicalSize)
    : m_logicalSize(std::move(logicalSize))
{
}

void CVNCalibrationZones::ensureDefaults()
{
    // Laid on first use, so that a preset "flogs" shapes them.
    if (m_defaultsLaid)
        return;
    m_defaultsLaid = true;
    const QSize last = m_logicalSize();
    const int halfX = (last.width() + 1) / 2;
    const int halfY = (last.height() + 1) / 2;
    for (int i = 0; i < 4; ++i) {
        Zone& zone = m_zones[size_t(i)];
        zone = Zone();
        zone.matrix[0] = zone.matrix[4] = zone.matrix[8] = 1.0f;
        const quint16 x = quint16(i % 2 == 0 ? 0 : halfX);
        const quint16 y = quint16(i < 2 ? 0 : halfY);
        const quint16 right = quint16(i % 2 == 0 ? halfX - 1 : last.width());
        const quint16 bottom = quint16(i < 2 ? halfY - 1 : last.height());
        const quint16 corners[8] = {x, y, right, y, x, bottom, right, bottom};
        std::copy(corners, corners + 8, zone.corners);
        zone.held = true;
    }
    m_next = 4;
}

QByteArray CVNCalibrationZones::zoneBlock(const char* marker, const Zone& zone, int index)
{
    QByteArray block(BlockSize, '\0');
    std::memcpy(block.data(), marker, 3);
    const bool held = zone.held && isHeld(zone.matrix);
    for (int i = 0; i < 9; ++i)
        putFloat(block.data() + MatrixOffset + 4 * i, held ? zone.matrix[i] : 0.0f);
    block[IndexOffset] = char(index);
    for (int i = 0; i < 8; ++i)
        qToLittleEndian<quint16>(held ? zone.corners[i] : quint16(0), block.data() + CornersOffset + 2 * i);
    return block;
}

QByteArray CVNCalibrationZones::errorBlock(const char* text)
{
    QByteArray block(text);
    block.append(QByteArray(BlockSize - block.size(), '\0'));
    return block;
}

QByteArray CVNCalibrationZones::matrix(const QByteArray& value)
{
    ensureDefaults();
    QByteArray block = value.left(BlockSize);
    block.append(QByteArray(BlockSize - block.size(), '\0'));
    if (block.startsWith("bg "))
        return read(block);
    if (block.startsWith("bs "))
        return write(block);
    return errorBlock(answers::InvalidArgument);
}

QByteArray CVNCalibrationZones::read(const QByteArray& block)
{
    const int index = quint8(block[IndexOffset]);
    if (index >= MaxZones)
        return errorBlock(answers::OutOfRange);
    return zoneBlock("bg ", m_zones[size_t(index)], index);
}

QByteArray CVNCalibrationZones::write(const QByteArray& block)
{
    if (m_next >= MaxZones)
        return errorBlock("error: too many zones");
    Zone zone;
    for (int i = 0; i < 9; ++i) {
        zone.matrix[i] = floatAt(block, MatrixOffset + 4 * i);
        if (!std::isfinite(zone.matrix[i]))
            return errorBlock(answers::InvalidValue);
    }
    for (int i = 0; i < 8; ++i)
        zone.corners[i] = qFromLittleEndian<quint16>(block.constData() + CornersOffset + 2 * i);
    const quint16* c = zone.corners;
    // The corners must make a rectangle: top left, top right, bottom left, bottom right.
    if (c[3] != c[1] || c[4] != c[0] || c[6] != c[2] || c[7] != c[5] || c[2] < c[0] || c[5] < c[1])
        return errorBlock(answers::InvalidValue);
    const QSize last = m_logicalSize();
    if (c[2] > last.width() || c[5] > last.height())
        return errorBlock(answers::OutOfRange);
    zone.held = true;
    const int slot = m_next++;
    m_zones[size_t(slot)] = zone;
    return zoneBlock("bs ", zone, slot);
}

QString CVNCalibrationZones::clear(const QString& argument)
{
    if (!argument.isEmpty())
        return QLatin1String(answers::InvalidArgument);
    m_defaultsLaid = true;
    m_zones.fill(Zone());
    m_next = 0;
    return QStringLiteral("ok");
}

int CVNCalibrationZones::heldZones()
{
    ensureDefaults();
    int count = 0;
    for (const Zone& zone : m_zones)
        count += zone.held && isHeld(zone.matrix) ? 1 : 0;
    return count;
}

}  // namespace corvanesim

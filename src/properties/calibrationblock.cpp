#include "properties/calibrationblock.h"

#include <QtEndian>

#include <cmath>
#include <cstring>

namespace
{

constexpr int CornerCount = 8;

void resize(QByteArray& block)
{
    if (block.size() != CVNCalibrationBlock::Size)
        block = block.leftJustified(CVNCalibrationBlock::Size, '\0', true);
}

void putFloat(QByteArray& block, int offset, float value)
{
    quint32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    qToLittleEndian<quint32>(bits, block.data() + offset);
}

float takeFloat(const QByteArray& block, int offset)
{
    const quint32 bits = qFromLittleEndian<quint32>(block.constData() + offset);
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void putCorners(QByteArray& block, const quint16 (&corners)[CornerCount])
{
    for (int i = 0; i < CornerCount; ++i)
        qToLittleEndian<quint16>(corners[i], block.data() + CVNCalibrationBlock::CornersOffset + 2 * i);
}

quint16 takeCorner(const QByteArray& block, int i)
{
    return qFromLittleEndian<quint16>(block.constData() + CVNCalibrationBlock::CornersOffset + 2 * i);
}

} // namespace

QByteArray CVNCalibrationBlock::emptyBlock()
{
    return QByteArray(Size, '\0');
}

QByteArray CVNCalibrationBlock::markerBytes(Marker marker)
{
    return marker == Marker::Read ? QByteArrayLiteral("bg ") : QByteArrayLiteral("bs ");
}

void CVNCalibrationBlock::layMarker(QByteArray& block, Marker marker)
{
    resize(block);
    block.replace(MarkerOffset, MarkerSize, markerBytes(marker));
}

void CVNCalibrationBlock::layRead(QByteArray& block, int index)
{
    resize(block);
    for (int i = 0; i < 9; ++i)
        putFloat(block, MatrixOffset + 4 * i, 0.0f);
    block[IndexOffset] = char(quint8(index));
    const quint16 none[CornerCount] = {};
    putCorners(block, none);
}

void CVNCalibrationBlock::layZone(QByteArray& block, const CVNCalibrationZone& zone)
{
    resize(block);
    const QVector<double> entries = calibrationMatrixEntries(zone.transform);
    for (int i = 0; i < 9; ++i)
        putFloat(block, MatrixOffset + 4 * i, float(entries.at(i)));
    block[IndexOffset] = 0;
    block[IndexOffset + 1] = 0;
    const QRect& r = zone.rectangle;
    const auto x = quint16(r.left());
    const auto y = quint16(r.top());
    const auto right = quint16(r.right());
    const auto bottom = quint16(r.bottom());
    const quint16 corners[CornerCount] = {x, y, right, y, x, bottom, right, bottom};
    putCorners(block, corners);
}

bool CVNCalibrationBlock::hasMarker(const QByteArray& block, Marker marker)
{
    return block.startsWith(markerBytes(marker));
}

bool CVNCalibrationBlock::readZone(const QByteArray& block, CVNCalibrationZone* zone)
{
    if (block.size() < Size)
        return false;
    QVector<double> entries;
    for (int i = 0; i < 9; ++i) {
        const float entry = takeFloat(block, MatrixOffset + 4 * i);
        if (!std::isfinite(entry))
            return false;
        entries.append(double(entry));
    }
    // m33 between -1 and 1 (exclusive) marks a zone the controller does not hold.
    if (std::trunc(entries.at(8)) == 0.0)
        return false;
    zone->transform = calibrationMatrixFromEntries(entries);
    zone->rectangle = QRect(QPoint(takeCorner(block, 0), takeCorner(block, 1)),
                            QPoint(takeCorner(block, 6), takeCorner(block, 7)));
    return true;
}

QString CVNCalibrationBlock::errorText(const QByteArray& block)
{
    if (hasMarker(block, Marker::Read) || hasMarker(block, Marker::Write))
        return QString();
    const int end = block.indexOf('\0');
    const QString text = QString::fromLatin1(end < 0 ? block : block.left(end));
    return text.contains(QLatin1String("error"), Qt::CaseInsensitive) ? text : QString();
}

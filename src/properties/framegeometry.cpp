#include "properties/framegeometry.h"

#include "properties/sensorlimits.h"

#include <QStringList>

bool CVNFrameGeometry::isValid() const
{
    return width > 0 && height > 0 && width <= CVNSensorLimits::MaxGridSide
        && height <= CVNSensorLimits::MaxGridSide && qint64(width) * height <= CVNSensorLimits::MaxGridCells
        && bytesPerCell >= 1 && bytesPerCell <= CVNSensorLimits::MaxBytesPerCell;
}

int CVNFrameGeometry::transferLength() const
{
    if (!isValid())
        return 0;
    const int chunk = CVNSensorLimits::FrameChunkBytes;
    const int chunks = (cells() + chunk - 1) / chunk;
    return chunks * bytesPerCell * chunk + 1;
}

CVNFrameGeometry::InfoResult CVNFrameGeometry::parseInfo(
    const QString& text, int modeIndex, CVNFrameGeometry* geometry)
{
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() < 4)
        return InfoResult::Malformed;
    const int wordIndex = modeIndex < 0 ? 1 : modeIndex + 2;
    if (wordIndex >= words.size())
        return InfoResult::Malformed;
    bool widthOk = false;
    bool heightOk = false;
    bool bytesOk = false;
    CVNFrameGeometry parsed;
    parsed.width = int(qMin(words.at(0).toUInt(&widthOk), uint(CVNSensorLimits::MaxGridSide + 1)));
    parsed.height = int(qMin(words.at(1).toUInt(&heightOk), uint(CVNSensorLimits::MaxGridSide + 1)));
    parsed.bytesPerCell = int(qMin(words.at(wordIndex).toUInt(&bytesOk), uint(CVNSensorLimits::MaxBytesPerCell + 1)));
    if (!widthOk || !heightOk || !bytesOk)
        return InfoResult::Malformed;
    if (!parsed.isValid())
        return InfoResult::OutOfRange;
    *geometry = parsed;
    return InfoResult::Ok;
}

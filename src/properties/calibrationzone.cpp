#include "properties/calibrationzone.h"

#include <QVariantList>

#include <cmath>
#include <limits>

QVariant CVNCalibrationZone::toVariant() const
{
    return QVariantList{QVariant::fromValue(transform), QVariant(rectangle)};
}

CVNCalibrationZone CVNCalibrationZone::fromVariant(const QVariant& value)
{
    CVNCalibrationZone zone;
    const QVariantList parts = value.toList();
    const QVariant first = parts.value(0);
    const QVariant second = parts.value(1);
    zone.transform = first.canConvert<QTransform>() ? first.value<QTransform>() : QTransform();
    zone.rectangle = second.canConvert<QRect>() ? second.toRect() : QRect();
    return zone;
}

bool CVNCalibrationZone::isStorableMatrix(const QTransform& transform)
{
    for (double entry : calibrationMatrixEntries(transform)) {
        if (!std::isfinite(entry) || std::fabs(entry) > double(std::numeric_limits<float>::max()))
            return false;
    }
    return true;
}

bool CVNCalibrationZone::isStorableRectangle(const QRect& rectangle)
{
    // QRect's right and bottom are computed in int: check with 64-bit sums.
    const qint64 right = qint64(rectangle.x()) + rectangle.width() - 1;
    const qint64 bottom = qint64(rectangle.y()) + rectangle.height() - 1;
    return rectangle.width() >= 1 && rectangle.height() >= 1 && rectangle.x() >= 0 && rectangle.y() >= 0
        && right <= MaxCoordinate && bottom <= MaxCoordinate;
}

bool CVNCalibrationZone::storableRectangle(qint64 x, qint64 y, qint64 width, qint64 height, QRect* rectangle)
{
    if (width < 1 || height < 1 || x < 0 || y < 0 || x + width - 1 > MaxCoordinate || y + height - 1 > MaxCoordinate)
        return false;
    *rectangle = QRect(int(x), int(y), int(width), int(height));
    return true;
}

CVNCalibrationZone CVNCalibrationZone::narrowed() const
{
    QVector<double> entries = calibrationMatrixEntries(transform);
    for (double& entry : entries)
        entry = double(float(entry));
    return {calibrationMatrixFromEntries(entries), rectangle};
}

QVariant calibrationZonesToVariant(const CVNCalibrationZones& zones)
{
    QVariantList list;
    for (const CVNCalibrationZone& zone : zones)
        list.append(zone.toVariant());
    return list;
}

CVNCalibrationZones calibrationZonesFromVariant(const QVariant& value)
{
    CVNCalibrationZones zones;
    for (const QVariant& element : value.toList())
        zones.append(CVNCalibrationZone::fromVariant(element));
    return zones;
}

QVector<double> calibrationMatrixEntries(const QTransform& t)
{
    return {t.m11(), t.m12(), t.m13(), t.m21(), t.m22(), t.m23(), t.m31(), t.m32(), t.m33()};
}

QTransform calibrationMatrixFromEntries(const QVector<double>& e)
{
    if (e.size() != 9)
        return QTransform();
    return QTransform(e[0], e[1], e[2], e[3], e[4], e[5], e[6], e[7], e[8]);
}

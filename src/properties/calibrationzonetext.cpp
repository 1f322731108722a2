#include "properties/calibrationzonetext.h"

namespace
{

QString entry(double value, int width)
{
    return QStringLiteral("%1").arg(QString::number(value, 'g', 6), width);
}

QString matrixText(const QTransform& transform, const QString& prefix)
{
    const QString title = prefix + QStringLiteral("Matrix: ");
    const QVector<double> entries = calibrationMatrixEntries(transform);
    QString text = QLatin1Char('\n') + title;
    for (int row = 0; row < 3; ++row) {
        text += QLatin1Char('\n');
        text += entry(entries.at(3 * row), title.size());
        text += QLatin1Char(' ') + entry(entries.at(3 * row + 1), 6);
        text += QLatin1Char(' ') + entry(entries.at(3 * row + 2), 6);
    }
    return text + QLatin1Char('\n');
}

QString rectangleText(const QRect& r, const QString& prefix)
{
    return QStringLiteral("%1Rectangle: pt(%2, %3) size(%4, %5)\n")
        .arg(prefix)
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height());
}

} // namespace

QString CVNCalibrationZoneText::zone(const CVNCalibrationZones& zones, int index)
{
    if (index < 0 || index >= zones.size())
        return QStringLiteral("Invalid zone index %1").arg(index);
    const QString prefix = zones.size() > 1 ? QStringLiteral("Zone %1 ").arg(index) : QString();
    const CVNCalibrationZone& z = zones.at(index);
    return matrixText(z.transform, prefix) + rectangleText(z.rectangle, prefix);
}

QString CVNCalibrationZoneText::all(const CVNCalibrationZones& zones)
{
    if (zones.isEmpty())
        return noZones();
    QString text;
    for (int i = 0; i < zones.size(); ++i)
        text += zone(zones, i);
    return text;
}

#include "properties/calibrationmap.h"

#include <QRectF>

#include <cmath>
#include <limits>

namespace
{

// The zone's cells as a real rectangle: cell (right, bottom) is inside.
QRectF area(const QRect& rectangle)
{
    return QRectF(rectangle.x(), rectangle.y(), rectangle.width(), rectangle.height());
}

double distanceTo(const QRectF& r, const QPointF& p)
{
    const double dx = p.x() < r.left() ? r.left() - p.x() : (p.x() >= r.right() ? p.x() - r.right() : 0.0);
    const double dy = p.y() < r.top() ? r.top() - p.y() : (p.y() >= r.bottom() ? p.y() - r.bottom() : 0.0);
    return std::hypot(dx, dy);
}

} // namespace

CVNCalibrationMap::CVNCalibrationMap(const CVNCalibrationZones& zones)
    : m_zones(zones)
{
}

int CVNCalibrationMap::zoneFor(const QPointF& p) const
{
    if (!std::isfinite(p.x()) || !std::isfinite(p.y()))
        return -1;
    int nearest = -1;
    double best = std::numeric_limits<double>::infinity();
    for (int i = 0; i < m_zones.size(); ++i) {
        const QRectF r = area(m_zones.at(i).rectangle);
        if (r.isEmpty())
            continue;
        const double distance = distanceTo(r, p);
        if (distance == 0.0)
            return i;
        if (distance < best) {
            best = distance;
            nearest = i;
        }
    }
    return nearest;
}

QPointF CVNCalibrationMap::map(const QPointF& devicePoint) const
{
    const int zone = zoneFor(devicePoint);
    if (zone < 0)
        return devicePoint;
    return m_zones.at(zone).transform.map(devicePoint);
}

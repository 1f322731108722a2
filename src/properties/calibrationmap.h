#pragma once

#include "properties/calibrationzone.h"

#include <QPointF>

// A snapshot of the geometric calibration for mapping touch positions: a
// plain value that the touch stream can keep per touch and use without
// device traffic and without knowing how zones travel to the controller.
//
// map() takes a point in device units (the logical sensor grid, as the
// touch report gives it) and applies the transform of the zone whose
// rectangle holds the point; a point outside every rectangle uses the
// nearest zone, so that touches at the border do not jump. With no zones
// the point comes back unchanged.
class CVNCalibrationMap
{
public:
    CVNCalibrationMap() = default;
    explicit CVNCalibrationMap(const CVNCalibrationZones& zones);

    bool isEmpty() const { return m_zones.isEmpty(); }
    const CVNCalibrationZones& zones() const { return m_zones; }

    QPointF map(const QPointF& devicePoint) const;
    // The index of the zone that map() uses for the point; -1 when there is none.
    int zoneFor(const QPointF& devicePoint) const;

private:
    CVNCalibrationZones m_zones;
};

#pragma once

#include "properties/calibrationzone.h"

#include <QString>

// The text form of calibration zones that the text command answers with.
// For zone 1 of several:
//
//   \nZone 1 Matrix: \n              1      0      0\n ... \n
//   Zone 1 Rectangle: pt(x, y) size(w, h)\n
//
// With a single zone the "Zone N " prefix is left out.
class CVNCalibrationZoneText
{
public:
    // "Invalid zone index N" for an index outside the list.
    static QString zone(const CVNCalibrationZones& zones, int index);
    // Every zone in order; "No zones defined" for none.
    static QString all(const CVNCalibrationZones& zones);

    static QString noZones() { return QStringLiteral("No zones defined"); }
};

#pragma once

#include "properties/calibrationzone.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

// The structured (JSON) value of the geometric calibration:
//
//   {"flipX": int, "flipY": int, "orientation": int,
//    "zones_buffer": [{"transform": [m11 .. m33],
//                      "rectangle": {"origin": {"x", "y"}, "size": {"width", "height"}}}, ...]}
//
// Reading a client's value is strict about types and ranges so that nothing
// half-understood reaches the controller; missing numbers count as 0.
struct CVNCalibrationValue
{
    int flipX = 0;
    int flipY = 0;
    int orientation = 0;
    CVNCalibrationZones zones;

    QJsonObject toJson() const;
    static QJsonObject zoneToJson(const CVNCalibrationZone& zone);

    // False with a message naming the faulty part when the value has the
    // wrong shape, a number out of range, more than 25 zones, a rectangle
    // without cells or outside 0..65535, or a matrix that a float cannot hold.
    [[nodiscard]] static bool fromJson(const QJsonValue& value, CVNCalibrationValue* out, QString* error);
};

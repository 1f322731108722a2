// The feet of the tangible objects that the `object` verb puts on a sensor:
// three or four conductive feet whose layout gives the object its class.
#pragma once

#include <QPoint>
#include <QVector>

namespace corvanesim {

class CVNTangibleObject {
public:
    // Leg length of every triangle, device units.
    static constexpr double Leg = 500.0;

    // 201..204, 301, 302, 401..408, 509..516.
    static bool isClass(int classId);
    // The feet of an object of the class whose triangle has its centroid at
    // (x, y) and its apex in the direction `rotation` (degrees, clockwise on
    // the sensor from the +x axis, y growing downward): apex, the two base
    // feet, then the fourth foot of a quad. Rounded to device units.
    static QVector<QPoint> feet(int classId, double x, double y, double rotation);
};

}  // namespace corvanesim

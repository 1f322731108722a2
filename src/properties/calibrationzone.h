#pragma once

#include <QRect>
#include <QTransform>
#include <QVariant>
#include <QVector>

// One calibration zone: a rectangle on the sensor's logical grid and the
// projective 3x3 transform applied to touches inside it.
struct CVNCalibrationZone
{
    // The controller holds at most this many zones.
    static constexpr int MaxZones = 25;
    // Corners travel as unsigned 16-bit numbers.
    static constexpr int MaxCoordinate = 65535;

    QTransform transform;
    QRect rectangle;

    // The request form of a zone: a list of two values, the transform and
    // the rectangle.
    QVariant toVariant() const;
    // Element 0 that is no transform gives the identity, element 1 that is no
    // rectangle a null rectangle, as the controller exchange expects.
    static CVNCalibrationZone fromVariant(const QVariant& value);

    // Every matrix entry finite and within the range of a 32-bit float (the
    // controller stores floats).
    static bool isStorableMatrix(const QTransform& transform);
    // At least one cell, every corner within 0..MaxCoordinate.
    static bool isStorableRectangle(const QRect& rectangle);
    // The rectangle at (x, y) of that size when it is storable. Checked
    // before a QRect is made: QRect computes its far corner in int, which
    // overflows for untrusted numbers.
    [[nodiscard]] static bool storableRectangle(qint64 x, qint64 y, qint64 width, qint64 height, QRect* rectangle);
    bool isStorable() const { return isStorableMatrix(transform) && isStorableRectangle(rectangle); }

    // The zone as the controller keeps it: matrix entries narrowed to float.
    CVNCalibrationZone narrowed() const;

    bool operator==(const CVNCalibrationZone& other) const
    {
        return transform == other.transform && rectangle == other.rectangle;
    }
    bool operator!=(const CVNCalibrationZone& other) const { return !(*this == other); }
};

using CVNCalibrationZones = QVector<CVNCalibrationZone>;

// A zone list in the request form and back.
QVariant calibrationZonesToVariant(const CVNCalibrationZones& zones);
CVNCalibrationZones calibrationZonesFromVariant(const QVariant& value);

// The nine entries of a transform in row order (m11 .. m33) and back.
QVector<double> calibrationMatrixEntries(const QTransform& transform);
QTransform calibrationMatrixFromEntries(const QVector<double>& entries);

#pragma once

#include <QRect>
#include <QString>
#include <QStringList>
#include <QTransform>

// The words of a geometric calibration text command, checked and taken
// apart before anything is read or written:
//
//   (none)                   show every zone
//   reset                    one zone: identity over the logical size
//   x y w h                  zone 0's rectangle
//   x1 .. x9                 zone 0's matrix
//   zN                       show zone N
//   zN reset                 zone N's matrix becomes the identity
//   zN x y w h               zone N's rectangle
//   zN x1 .. x9              zone N's matrix
//   zN x1 .. x9 x y w h      both
class CVNCalibrationCommand
{
public:
    enum class Kind {
        Invalid, // `error` holds the message
        ShowAll,
        Reset,
        ShowZone,
        ResetZone,
        SetZone, // hasTransform / hasRectangle say which part changes
    };

    Kind kind = Kind::Invalid;
    int zone = 0; // SetZone, ShowZone, ResetZone
    bool zoneNamed = false; // a zN word chose the zone (else zone 0 of x y w h / x1 .. x9)
    bool hasTransform = false;
    bool hasRectangle = false;
    QTransform transform;
    QRect rectangle;
    QString error;

    bool changesZones() const { return kind == Kind::Reset || kind == Kind::ResetZone || kind == Kind::SetZone; }

    static CVNCalibrationCommand parse(const QStringList& words);

    // Four base-10 integers x y w h: a rectangle of at least one cell with
    // every corner in 0..65535.
    [[nodiscard]] static bool parseRectangle(const QStringList& words, QRect* rectangle);
    // Nine decimal numbers, each finite and storable as a float.
    [[nodiscard]] static bool parseMatrix(const QStringList& words, QTransform* transform);

    static QString invalidArguments() { return QStringLiteral("Invalid arguments"); }
    static QString invalidParameter() { return QStringLiteral("Invalid parameter"); }
};

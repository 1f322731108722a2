#pragma once

#include "device/devicerequest.h"

#include <QString>

class CVNDeviceHid;

// The HID exchanges of the two border properties. Both commands carry a
// text argument that starts with the side letter (l, t, r, b).
//
// Edge snapping, request names starting "tste":
//   "tste.all"    read: "l", "t", "r", "b"; value [top, right, bottom, left]
//                 write [top, right, bottom, left]: "l N", "t N", "r N", "b N"
//   "tste.<side>" write N: "<letter> N"; value the answer as an integer
//   "tste.reset"  write: "reset"
// Border adjustment, request names containing "cba.":
//   "cba.all"     read: "l", "t", "r", "b"; value the eight texts top X, top Y,
//                 right X, right Y, bottom X, bottom Y, left X, left Y
//   "cba.<side>"  read: "<letter>"; write [X, Y]: "<letter> X Y", any other
//                 value: "<letter> a" (automatic); value the first two words
//
// An answer that does not parse as an integer counts as 0. An answer with
// "error" in it, or none at all, ends the exchange with an error reply and
// sends nothing more; so does a request these exchanges do not know.
class CVNBorderExchanges
{
public:
    static CVNDeviceRequest edgeSnapping(CVNDeviceHid& device, const CVNDeviceRequest& request);
    static CVNDeviceRequest borderAdjust(CVNDeviceHid& device, const CVNDeviceRequest& request);

    // "t" for "top" and so on; empty for anything else.
    static QString sideLetter(const QString& side);
    static constexpr const char* SnapCommand = "tste";
    static constexpr const char* AdjustCommand = "cba";
};

#pragma once

#include "device/devicerequest.h"

class CVNDeviceHid;

// The HID exchange behind the request "geometric_calibration".
//
// Read (any type but set): the request's value is the zone count (from
// "csize"), limited to 1..25; zone i is asked for with "cmatrix" and the
// read marker; zones the controller marks empty are left out. The reply's
// value is the zone list (see CVNCalibrationZone::toVariant).
//
// Write (set): the request's value is the zone list. "cclear" goes first,
// then one "cmatrix" with the write marker per zone, in list order. The
// reply's value is the zone list as the controller now holds it (entries
// narrowed to float).
//
// Any failure ends the exchange at once with an error reply: no answer from
// the controller, an error text in its answer, or an answer that is no zone
// block. Zones that a controller could not store (matrix entries a float
// cannot hold, rectangles outside 0..65535, more than 25 zones) fail the
// write before anything is sent.
class CVNCalibrationExchange
{
public:
    static CVNDeviceRequest execute(CVNDeviceHid& device, const CVNDeviceRequest& request);

    static constexpr const char* ClearCommand = "cclear";
    // The prefix of every failure text.
    static QString errorPrefix() { return QStringLiteral("Calibration error: "); }

private:
    static CVNDeviceRequest read(CVNDeviceHid& device, const CVNDeviceRequest& request);
    static CVNDeviceRequest write(CVNDeviceHid& device, const CVNDeviceRequest& request);
};

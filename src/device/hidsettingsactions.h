#pragma once

#include "device/devicerequest.h"

class CVNDeviceHid;

// The settings actions of the HID interface (requests whose name contains
// "settings."): upload and download of the settings image by the Veil or
// Tarso procedure, chosen by the controller's product id, and the plain
// flash commands "sdefault", "serase", "ssave".
class CVNHidSettingsActions
{
public:
    static const QString ArgumentError; // "Argument error!"

    // One reply: the image bytes for a download, no value for the others,
    // an error reply naming the reason when the action failed.
    static CVNDeviceRequest execute(CVNDeviceHid& device, const CVNDeviceRequest& request);
};

#pragma once

#include "device/devicerequest.h"

class CVNDeviceHid;

// The exchange of the requests named "foilh.<action>": the controller's
// foil health test. "foilh.start", "foilh.stop" and "foilh.status" send
// "foilh" with the action word and answer the controller's text (an answer
// holding "error", or none at all, is an error reply); "foilh.result" reads
// the per-cell result bitmap in "bg" blocks, the grid size (width, height)
// being the request's arguments.
class CVNHidFoilHealthExchange
{
public:
    static constexpr const char* Command = "foilh";

    static CVNDeviceRequest makeRequest(const QString& name, int width, int height);
    // The action word of a request name ("foilh.status" -> "status").
    static QString actionOf(const QString& name);
    static CVNDeviceRequest execute(CVNDeviceHid& device, const CVNDeviceRequest& request);
};

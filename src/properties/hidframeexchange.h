#pragma once

#include "device/devicerequest.h"

class CVNDeviceHid;
struct CVNFrameGeometry;

// The exchange of the request "frame": the controller is told to send a
// frame ("frirf", no answer awaited), then the frame arrives in input
// reports of id 9, each carrying 4032 frame bytes behind the report id. The
// reply value is one byte per cell, row by row.
//
// The request carries the geometry as its arguments: width, height, bytes
// per cell.
class CVNHidFrameExchange
{
public:
    static CVNDeviceRequest makeRequest(const QString& name, const CVNFrameGeometry& geometry);
    static CVNDeviceRequest read(CVNDeviceHid& device, const CVNDeviceRequest& request);
};

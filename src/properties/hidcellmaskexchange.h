#pragma once

#include "device/devicerequest.h"

class CVNCellMask;
class CVNDeviceHid;

// The exchange of the request "enable_disable_cells": the cell mask in
// "fec" blocks. A get reads every block and answers the concatenated
// payloads; a set writes the mask bytes. The grid size travels as the
// request's arguments (width, height), the mask bytes of a set as its value.
class CVNHidCellMaskExchange
{
public:
    static constexpr const char* Command = "fec";

    static CVNDeviceRequest makeRead(const QString& name, int width, int height);
    static CVNDeviceRequest makeWrite(const QString& name, const CVNCellMask& mask);
    static CVNDeviceRequest execute(CVNDeviceHid& device, const CVNDeviceRequest& request);
};

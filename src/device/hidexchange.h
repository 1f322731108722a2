#pragma once

#include "device/devicerequest.h"
#include "device/hidroutetable.h"

class CVNDeviceHid;

// The entry point of the HID interface's execute: the request goes through
// the shared route table; one reply for a request with a type and a name,
// none otherwise.
CVNDeviceReplies executeHidRequest(CVNDeviceHid& device, const CVNDeviceRequest& request);

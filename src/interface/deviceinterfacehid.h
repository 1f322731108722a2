#pragma once

#include "interface/deviceinterface.h"

// The interface of a controller's HID command channel, named "root": its
// requests travel as command reports of the device's HID object.
class CVNDeviceInterfaceHid : public CVNDeviceInterface
{
    Q_OBJECT
public:
    explicit CVNDeviceInterfaceHid(CVNDevice* device);

    [[nodiscard]] CVNDeviceReplies execute(const CVNDeviceRequest& request) override;
};

#pragma once

#include "interface/devicefunction.h"

// Placeholder built for a function entry without a name: never called on
// the device.
class DeviceFunctionNull : public DeviceFunction
{
public:
    explicit DeviceFunctionNull(CVNDeviceInterface* interface);

    QString execute(CVNEntityContext& context) override;
    void call(const QJsonValue& arguments) override { (void)arguments; }
    QJsonValue result() const override;
    CVNDeviceRequest makeRequest() override { return CVNDeviceRequest(); }
    void handleReply(const CVNDeviceRequest& reply) override { (void)reply; }
};

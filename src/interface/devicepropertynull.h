#pragma once

#include "interface/deviceproperty.h"

// Placeholder built for a description entry without a name: it reads as
// nothing, takes no writes and never talks to the device.
class DevicePropertyNull : public DeviceProperty
{
public:
    explicit DevicePropertyNull(CVNDeviceInterface* interface);

    QString typeName() const override { return QStringLiteral("null_device"); }
    QString argumentHint() const override { return QString(); }
    QString execute(CVNEntityContext& context) override;
    void setValue(const QJsonValue& value) override { (void)value; }
    QJsonValue value() override { return QJsonValue(); }
    CVNDeviceRequest makeRequest() override { return CVNDeviceRequest(); }
    void handleReply(const CVNDeviceRequest& reply) override { (void)reply; }

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override { (void)value; }
    QString valueText() const override { return typeName(); }
    QJsonValue cachedJson() const override { return QJsonValue(); }
    QVariant requestValue() const override { return QVariant(); }
};

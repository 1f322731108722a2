#pragma once

#include "interface/deviceentitybuilder.h"
#include "interface/deviceproperty.h"

// A second name for another property: reads, writes and hints are the
// target's; refreshing the target tells the alias's own observers.
class DevicePropertyAlias : public DeviceProperty
{
public:
    // The alias takes the target's interface and access mode.
    DevicePropertyAlias(DeviceProperty* target, const QString& name, const QString& description,
                        const QString& command);

    DeviceProperty* target() const { return m_target; }

    QString typeName() const override { return m_target->typeName(); }
    QString argumentHint() const override { return m_target->argumentHint(); }
    QString execute(CVNEntityContext& context) override { return m_target->execute(context); }
    void setValue(const QJsonValue& value) override { refuseWrite(m_target->writeValue(value)); }
    QJsonValue value() override { return m_target->value(); }
    CVNDeviceRequest makeRequest() override;

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override { (void)value; }
    QString valueText() const override { return QString(); }
    QJsonValue cachedJson() const override { return QJsonValue(); }
    QVariant requestValue() const override { return QVariant(); }

private:
    DeviceProperty* m_target;
};

// "Alias": "name", "property", "command", "description". The target must
// have been built earlier in the same description; otherwise the entry
// becomes a placeholder.
class DevicePropertyBuilderAlias : public CVNDeviceEntityBuilder
{
public:
    QString typeName() const override { return QStringLiteral("Alias"); }
    Entity* build(CVNDeviceInterface* interface, const QJsonObject& entityJson) override;
};

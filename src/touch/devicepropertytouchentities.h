#pragma once

#include "touch/devicepropertytouches.h"

// The touch stream with object recognition: its or-spec "or-spec"
// (0 none, 1 and 2 the recognition variants) is set by the text command,
// by JSON and from the settings (key "spec").
class DevicePropertyTouchEntities : public DevicePropertyTouches
{
    Q_OBJECT
public:
    DevicePropertyTouchEntities(CVNDeviceInterface* interface, const QString& name, const QString& description,
                                const QString& command, int accessMode);

    static QString staticTypeName() { return QStringLiteral("TouchEntities"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override { return QStringLiteral("0 | 1 | 2"); }

    // none: the or-spec; N: sets it and answers the new one.
    QString execute(CVNEntityContext& context) override;
    // {"or-spec": N}
    void setValue(const QJsonValue& value) override;
    void saveSettings(QSettings& settings) override;
    void loadSettings(QSettings& settings) override;

    static QString invalidParametersText() { return QStringLiteral("Invalid parameters"); }

    // Sets, clamps and stores the or-spec.
    void setOrSpec(int orSpec);
};

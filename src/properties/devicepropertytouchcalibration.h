#pragma once

#include "interface/deviceproperty.h"

class DevicePropertyIntTriple;

// "tctlrc": whether the controller reports calibrated touch coordinates
// (0 off, 1 on), plus a local report flag by which a client asks the touch
// stream for calibrated coordinates whatever the controller does.
//
// For the touch stream: reportFlag() and isEnabled() answer from the cache
// and send nothing.
class DevicePropertyTouchCalibration : public DeviceProperty
{
public:
    DevicePropertyTouchCalibration(CVNDeviceInterface* interface, const QString& name, const QString& description,
                                   const QString& command, int accessMode);

    static QString staticTypeName() { return QStringLiteral("TouchCalibration"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override { return QStringLiteral("0 | 1"); }

    QString execute(CVNEntityContext& context) override;
    void setValue(const QJsonValue& value) override;
    void setSymbolExtra(const QString& role, const QString& value) override;

    // The controller's "tctlrc" as last read or written.
    int deviceValue() const { return m_value; }
    // Calibrated coordinates asked for by a client, whatever the controller does.
    bool reportFlag() const { return m_reportFlag; }
    // Calibrated coordinates wanted: the report flag is set or the
    // controller's value is on.
    bool isEnabled() const { return m_reportFlag || m_value != 0; }
    DevicePropertyIntTriple* flipOrientationLink() const { return m_flipOrientation; }

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override;
    QString valueText() const override;
    QJsonValue cachedJson() const override;
    QVariant requestValue() const override { return m_value; }

private:
    int m_value = 0;
    bool m_reportFlag = false;
    DevicePropertyIntTriple* m_flipOrientation = nullptr;
};

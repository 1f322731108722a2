#pragma once

#include "interface/deviceproperty.h"

#include <QHash>

// "cba": border adjustment, an X and a Y value per side of the sensor (100
// meaning 1.0), or automatic. Request names ("cba.all", "cba.top", ...) come
// from the description's "symbols_extra".
//
// Text: "side X Y" sets a side, "side a" makes it automatic, "side" shows
// it, no words shows "(tX,tY) (rX,rY) (bX,bY) (lX,lY)". JSON: {"top":
// {"x", "y"}, "right": ..., "bottom": ..., "left": ...}.
class DevicePropertyCba : public DeviceProperty
{
public:
    DevicePropertyCba(CVNDeviceInterface* interface, const QString& name, const QString& description,
                      const QString& command, int accessMode);

    static QString staticTypeName() { return QStringLiteral("Cba"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override
    {
        return QStringLiteral("top right bottom left | top [a | [X Y]] | right [a | [X Y]] | bottom [a | [X Y]] | "
                              "left [a | [X Y]]");
    }

    QString execute(CVNEntityContext& context) override;
    void setValue(const QJsonValue& value) override;
    void setSymbolExtra(const QString& role, const QString& value) override;
    CVNDeviceRequest makeRequest() override;

    // X (index 0) or Y (index 1) of a side as last reported.
    int sideValue(const QString& side, int index) const;
    QString actionName(const QString& action) const;

    static QString invalidArgumentsText() { return QStringLiteral("Invalid arguments"); }

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override;
    QString valueText() const override;
    QJsonValue cachedJson() const override;
    QVariant requestValue() const override;

private:
    void readAll();
    void writeSide(const QString& side);
    QString errorOr(const QString& text) const;
    QString sideText(const QString& side) const;

    // top X, top Y, right X, right Y, bottom X, bottom Y, left X, left Y
    int m_values[8] = {};
    int m_confirmed[8] = {}; // as the controller last reported them
    QHash<QString, QString> m_actions;
    QString m_action;
    bool m_auto = false;
};

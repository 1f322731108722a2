#pragma once

#include "interface/deviceproperty.h"

#include <QHash>

// "tste": per side of the sensor, the distance within which touches are
// moved onto the edge. The controller is asked side by side; the request
// names ("tste.all", "tste.top", ..., "tste.reset") come from the
// description's "symbols_extra".
//
// Text: "top right bottom left" sets all four, "top [X]" (and the other
// sides) shows or sets one, "reset" restores the controller's defaults, no
// words shows all four. JSON: {"left", "top", "right", "bottom"}.
class DevicePropertyTouchSnapToEdge : public DeviceProperty
{
public:
    DevicePropertyTouchSnapToEdge(CVNDeviceInterface* interface, const QString& name, const QString& description,
                                  const QString& command, int accessMode);

    static QString staticTypeName() { return QStringLiteral("Tste"); }
    QString typeName() const override { return staticTypeName(); }
    QString argumentHint() const override
    {
        return QStringLiteral("top right bottom left | top [X] | right [X] | bottom [X] | left [X] | reset");
    }

    QString execute(CVNEntityContext& context) override;
    void setValue(const QJsonValue& value) override;
    void setSymbolExtra(const QString& role, const QString& value) override;
    CVNDeviceRequest makeRequest() override;

    // -1 until the controller reported the side.
    int side(const QString& side) const;
    // The request name of an action ("all", a side, "reset").
    QString actionName(const QString& action) const;

    static QString invalidArgumentsText() { return QStringLiteral("invalid arguments"); }
    static QString defaultValuesText() { return QStringLiteral("Default values"); }

protected:
    QString writeWords(const QStringList& words) override;
    bool assignJson(const QJsonValue& value) override;
    void assignReply(const QVariant& value) override;
    QString valueText() const override;
    QJsonValue cachedJson() const override;
    QVariant requestValue() const override;

private:
    // The words of a text command, checked before anything is sent.
    struct Words {
        enum Form { Invalid, ShowAll, ShowSide, SetSide, SetAll, Reset } form = Invalid;
        QString side;
        int numbers[4] = {};
        bool isWrite() const { return form == SetSide || form == SetAll || form == Reset; }
    };
    static Words parseWords(const QStringList& words);

    void readAll();
    // Sends the write of an action, re-reads after a reset, refreshes the
    // dependants.
    void writeAction(const QString& action);
    QString errorOr(const QString& text) const;

    // Sides in the order top, right, bottom, left.
    int m_values[4] = {-1, -1, -1, -1};
    int m_confirmed[4] = {-1, -1, -1, -1}; // as the controller last reported them
    QHash<QString, QString> m_actions;
    QString m_action;
};

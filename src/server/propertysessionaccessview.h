#pragma once

#include "interface/entity.h"

class CVNServerSession;

// `sessiondeviceview`: which view of each device the session uses.
class PropertySessionAccessView : public CVNProperty
{
public:
    explicit PropertySessionAccessView(CVNServerSession* session);

    QString typeName() const override { return QStringLiteral("SetDeviceView"); }
    QString execute(CVNEntityContext& context) override;
    QString argumentHint() const override { return QStringLiteral("view"); }
    // [{"device": serial, "view": name}]: switches each where allowed.
    void setValue(const QJsonValue& value) override;
    QJsonValue value() override;

private:
    CVNServerSession* m_session;
};

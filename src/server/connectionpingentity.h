#pragma once

#include "interface/entity.h"

// `ping`: answers "alive", so that clients can test that a service answers.
class ConnectionPingEntity : public CVNProperty
{
public:
    ConnectionPingEntity();

    QString typeName() const override { return QStringLiteral("Ping"); }
    QString execute(CVNEntityContext& context) override;
    QString argumentHint() const override { return QString(); }
    void setValue(const QJsonValue& value) override;
    QJsonValue value() override;

    static QString aliveText() { return QStringLiteral("alive"); }
};

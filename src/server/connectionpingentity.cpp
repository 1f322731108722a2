#include "server/connectionpingentity.h"

#include "interface/accessmode.h"

ConnectionPingEntity::ConnectionPingEntity()
    : CVNProperty(QStringLiteral("ping"), QStringLiteral("test the reachability of a service"),
                  QStringLiteral("ping"), AccessMode::ReadWrite)
{
}

QString ConnectionPingEntity::execute(CVNEntityContext& context)
{
    (void)context;
    return aliveText();
}

void ConnectionPingEntity::setValue(const QJsonValue& value)
{
    // Nothing to write: a write is answered like a read.
    (void)value;
}

QJsonValue ConnectionPingEntity::value()
{
    return aliveText();
}

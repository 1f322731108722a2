#pragma once

#include "interface/entity.h"

#include <QObject>

class CVNApplicationServer;
class CVNDeviceParent;

// `devices_list`: every controller of the device manager with its lock state.
class CVNDeviceListProperty : public QObject, public CVNProperty
{
    Q_OBJECT
public:
    explicit CVNDeviceListProperty(CVNApplicationServer* server);

    QString typeName() const override { return QStringLiteral("DevicesList"); }
    QString execute(CVNEntityContext& context) override;
    QString argumentHint() const override { return QString(); }
    // The list is not writable through its value; a write reads.
    void setValue(const QJsonValue& value) override;
    QJsonValue value() override;

public slots:
    void deviceInserted(CVNDeviceParent* device);
    void deviceRemoved(CVNDeviceParent* device);

private:
    CVNApplicationServer* m_server;
};

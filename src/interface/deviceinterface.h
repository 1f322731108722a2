#pragma once

#include "device/devicerequest.h"
#include "interface/entitycontext.h"
#include "interface/settingscontext.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class CVNDevice;
class DeviceFunction;
class DeviceInterfaceView;
class DeviceProperty;
class Entity;

// Base of the device interfaces and of their views: entities by name and by
// command word, the views, the exchange of entity requests with the device,
// and the persistence of entity values.
class CVNDeviceInterface : public QObject, public SettingsContext
{
    Q_OBJECT
public:
    // parentInterface: for a view, the interface it selects from.
    CVNDeviceInterface(const QString& name, CVNDevice* device, CVNDeviceInterface* parentInterface = nullptr);
    ~CVNDeviceInterface() override;

    using SettingsContext::store;
    // Asks the settings host to save this one entity (see setSettingsHost).
    virtual void store(Entity* entity);
    void saveSettings(QSettings& settings) override;
    void loadSettings(QSettings& settings) override;
    virtual CVNDevice* device() const;
    virtual bool hasEntity(const QString& name) const;
    virtual Entity* entity(const QString& name) const;
    virtual Entity* entityByCommand(const QString& command) const;
    virtual QList<Entity*> entities() const;
    virtual void addEntities(const QStringList& names);
    [[nodiscard]] virtual CVNDeviceReplies executeRequest(const CVNDeviceRequest& request);
    // The channel's exchange; the base has no channel and answers nothing.
    [[nodiscard]] virtual CVNDeviceReplies execute(const CVNDeviceRequest& request);

    QString name() const { return m_name; }
    CVNDeviceInterface* parentInterface() const { return m_parentInterface; }
    bool isView() const { return m_parentInterface != nullptr; }

    // Entity names in the order they were added.
    QStringList entityNames() const { return m_order; }

    // A device interface takes ownership of the entity; a later entity with
    // the same name or command replaces the earlier one in the lookups.
    void addEntity(const QString& name, Entity* entity);

    // Views (owned); a second view with the same name replaces the first.
    void addView(DeviceInterfaceView* view);
    DeviceInterfaceView* view(const QString& name) const { return m_views.value(name); }
    QList<DeviceInterfaceView*> views() const { return m_views.values(); }
    QStringList viewNames() const { return m_views.keys(); }

    // Text command: "unknow command" when no entity carries the word.
    QString executeCommand(const QString& command, CVNEntityContext& context);
    QString executeCommand(const QString& command, const QStringList& arguments);

    // Re-reads every property, the composites that follow others last.
    virtual void refreshAll();

    // The sending algorithm for one entity's request.
    void sendProperty(DeviceProperty* property);
    void sendFunction(DeviceFunction* function);

    // The context that persists device interface values (the application
    // server); without one, store() saves into the application's settings
    // group "ApplicationServer" itself.
    static void setSettingsHost(SettingsContext* host);
    static SettingsContext* settingsHost();

signals:
    // The device was found no longer open after an exchange: whoever owns the
    // device should drop it.
    void deviceInvalidated(CVNDevice* device);

private:
    void send(Entity* entity);
    void storeWithoutHost();

    QString m_name;
    CVNDevice* m_device;
    CVNDeviceInterface* m_parentInterface;
    QHash<QString, Entity*> m_entities;
    QHash<QString, Entity*> m_commands;
    QStringList m_order;
    QList<Entity*> m_owned;  // every entity added to a device interface
    QHash<QString, DeviceInterfaceView*> m_views;
    Entity* m_settingsEntity = nullptr;
    quint32 m_requestCounter = 0;
    QHash<quint32, Entity*> m_pending;
};

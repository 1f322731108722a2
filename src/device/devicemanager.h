#pragma once

#include "device/device.h"

#include <QMap>
#include <QObject>
#include <QReadWriteLock>

#include <memory>

class CVNDeviceManagerHandler;
class CVNServiceOSObserver;
class CVNUsbPlatform;

// The controllers present, by serial number. The map changes only on the
// manager's thread (device events of type 1001 posted by the platform
// watcher); lookups from any thread take the read lock.
class CVNDeviceManager : public QObject
{
    Q_OBJECT
public:
    explicit CVNDeviceManager(QObject* parent = nullptr);
    ~CVNDeviceManager() override;

    QList<CVNDeviceParent*> devices() const;
    CVNDeviceParent* device(const QString& serialNumber) const;

    // A channel failed: the device leaves the map, deviceRemoved is emitted
    // and the device is deleted later. Nothing happens for a device that is
    // no longer in the map.
    void invalidateDevice(CVNDeviceParent* parent);

    // The platform the watcher will use; without one, createUsbPlatform()
    // decides when the watcher is first needed.
    void setPlatform(std::unique_ptr<CVNUsbPlatform> platform);
    // The watcher, as the service host sees it.
    CVNServiceOSObserver* osObserver();
    CVNDeviceManagerHandler* handler();

    // Enumerate and watch (the same as the service host's start); stop.
    void start();
    void stop();

signals:
    void deviceInserted(CVNDeviceParent* device);
    void deviceRemoved(CVNDeviceParent* device);
    void started();

protected:
    void customEvent(QEvent* event) override;

private:
    void insert(CVNDeviceParent* parent);
    void remove(CVNDeviceParent* parent);
    // The watcher lets go of the device, which is then deleted.
    void dispose(CVNDeviceParent* parent);

    QMap<QString, CVNDeviceParent*> m_devices;
    mutable QReadWriteLock m_lock;
    std::unique_ptr<CVNUsbPlatform> m_platform;
    std::unique_ptr<CVNDeviceManagerHandler> m_handler;
    bool m_destroying = false;
};

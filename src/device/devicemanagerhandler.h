#pragma once

#include "device/platform/usbplatform.h"
#include "device/serviceosobserver.h"

#include <QList>

#include <mutex>

class CVNDeviceManager;
class CVNDeviceParent;

// The platform watcher: offers every controller interface to the
// recognitions, once at start and on every arrival, groups what it
// recognises under a parent device per serial number and posts the parents
// to the manager's thread. Arrivals and removals run where the platform
// delivers them, one at a time.
class CVNDeviceManagerHandler : public CVNServiceOSObserver
{
public:
    // The platform must outlive the watcher.
    CVNDeviceManagerHandler(CVNDeviceManager* manager, CVNUsbPlatform* platform);
    ~CVNDeviceManagerHandler() override;

    void serviceStarted() override { start(); }
    void serviceStopped() override { stop(); }

    // Enumerate (each present interface handled as an arrival), then watch.
    void start();
    // Every parent closed and posted for removal; watching ends.
    void stop();
    bool isRunning() const;

    void deviceArrived(const CVNUsbInterfaceInfo& info);
    void deviceRemoved(const QString& path);

    // The manager is about to delete the parent.
    void forget(CVNDeviceParent* parent);

private:
    using Handle = std::unique_ptr<CVNUsbHandle>;

    CVNDeviceParent* recognizeHid(const CVNUsbInterfaceInfo& info, Handle& handle);
    CVNDeviceParent* recognizeBulk(const CVNUsbInterfaceInfo& info, Handle& handle);
    CVNDeviceParent* recognizeDfu(const CVNUsbInterfaceInfo& info, Handle& handle);
    CVNDeviceParent* makeParent(const CVNUsbInterfaceInfo& info) const;
    // Under m_mutex.
    CVNDeviceParent* findBySerial(const QString& serial) const;
    CVNDeviceParent* findByPath(const QString& lowerCasePath) const;
    void removeParent(CVNDeviceParent* parent);
    void post(CVNDeviceParent* parent, int action);

    CVNDeviceManager* m_manager;
    CVNUsbPlatform* m_platform;
    mutable std::mutex m_mutex; // the parents below; one arrival or removal at a time
    QList<CVNDeviceParent*> m_parents;
    bool m_running = false;
};

#pragma once

#include "device/platform/usbplatform.h"
#include "device/serviceosobserver.h"

#include <QList>
#include <QSet>

#include <condition_variable>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <thread>

class CVNDeviceManager;
class CVNDeviceParent;
class CVNDeviceHid;

// The platform watcher: offers every controller interface to the
// recognitions, once at start and on every arrival, groups what it
// recognises under a parent device per serial number and posts the parents
// to the manager's thread.
//
// Nothing here blocks the caller of start(), stop() or forget(): the
// enumeration runs on a thread of its own, and each HID interface is probed
// on a thread of its own, without holding the lock that those calls take. A
// removal or a stop closes an interface in the middle of its probe, so a
// controller that stops answering holds up only itself.
class CVNDeviceManagerHandler : public CVNServiceOSObserver
{
public:
    // Probes running at once; an arrival beyond them is probed on the
    // thread that reported it. More than a bus holds controllers.
    static constexpr int MaxProbeThreads = 128;

    // The platform must outlive the watcher.
    CVNDeviceManagerHandler(CVNDeviceManager* manager, CVNUsbPlatform* platform);
    ~CVNDeviceManagerHandler() override;

    void serviceStarted() override { start(); }
    void serviceStopped() override { stop(); }

    // Watches, then enumerates (each present interface handled as an
    // arrival) and posts Started once every enumerated interface was
    // handled. Returns at once.
    void start();
    // Every probe interrupted, every parent closed and posted for removal;
    // watching ends. Returns once no thread of the watcher runs.
    void stop();
    bool isRunning() const;

    // One arrival, handled in the calling thread, its probe included.
    void deviceArrived(const CVNUsbInterfaceInfo& info);
    // Closes what came through the path, a probe in progress included.
    void deviceRemoved(const QString& path);

    // The manager is about to delete the parent.
    void forget(CVNDeviceParent* parent);

private:
    using Handle = std::unique_ptr<CVNUsbHandle>;

    // A HID interface whose probe runs; closed to interrupt it.
    struct Probe {
        QString path;
        QString serial;
        CVNDeviceParent* parent = nullptr;
        CVNDeviceHid* hid = nullptr;
        bool aborted = false;
    };
    // A thread of the watcher (enumeration or probe) and whether it ended.
    struct Worker {
        std::thread thread;
        std::shared_ptr<bool> done; // under m_mutex
    };

    // An arrival reported by the platform or the enumeration: vendor
    // interfaces at once (they need no probe, and must be known before the
    // HID interface of the same controller), HID on a probe thread.
    void offer(const CVNUsbInterfaceInfo& info, QList<std::shared_ptr<bool>>* started);
    void enumerate();
    // Under m_mutex: a worker that runs `work`, or false when there are too many.
    bool spawnLocked(std::function<void()> work, std::shared_ptr<bool>* done);
    void joinFinishedLocked();

    // Each true when the interface became (part of) a device posted for insertion.
    bool recognizeHid(const CVNUsbInterfaceInfo& info, const QString& path, Handle& handle);
    bool recognizeBulk(const CVNUsbInterfaceInfo& info, const QString& path, Handle& handle);
    bool recognizeDfu(const CVNUsbInterfaceInfo& info, const QString& path, Handle& handle);
    CVNDeviceParent* makeParent(const CVNUsbInterfaceInfo& info) const;
    // The rest under m_mutex.
    // A HID interface of this serial adds nothing: the controller is known
    // through its bulk interface, or through another path that works.
    bool hidIsRedundant(const QString& serial) const;
    bool probing(const QString& serial) const;
    CVNDeviceParent* findBySerial(const QString& serial) const;
    CVNDeviceParent* findByPath(const QString& lowerCasePath) const;
    void adopt(CVNDeviceParent* parent, const QString& lowerCasePath);
    void abort(Probe& probe);
    void removeParent(CVNDeviceParent* parent);
    void post(CVNDeviceParent* parent, int action);

    CVNDeviceManager* m_manager;
    CVNUsbPlatform* m_platform;
    mutable std::mutex m_mutex; // everything below; never held across a transfer
    std::condition_variable m_changed; // a probe or a worker ended, or the watcher stopped
    QList<CVNDeviceParent*> m_parents;
    QSet<QString> m_claimedPaths; // arrivals being handled, lower case
    std::list<Probe> m_probes;
    std::list<Worker> m_workers;
    std::thread m_enumeration;
    bool m_running = false;
};

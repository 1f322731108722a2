#include "device/devicemanagerhandler.h"

#include "device/devicebulk.h"
#include "device/devicedfu.h"
#include "device/deviceevent.h"
#include "device/devicehid.h"
#include "device/devicelog.h"
#include "device/devicemanager.h"
#include "device/devicerecognition.h"
#include "device/hidprobe.h"
#include "device/threadhandoff.h"

#include <QCoreApplication>

#include <algorithm>

CVNDeviceManagerHandler::CVNDeviceManagerHandler(CVNDeviceManager* manager, CVNUsbPlatform* platform)
    : m_manager(manager)
    , m_platform(platform)
{
}

CVNDeviceManagerHandler::~CVNDeviceManagerHandler()
{
    stop();
    if (m_enumeration.joinable())
        m_enumeration.join();
}

bool CVNDeviceManagerHandler::isRunning() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_running;
}

void CVNDeviceManagerHandler::start()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_running)
            return;
        m_running = true;
    }
    if (m_enumeration.joinable())
        m_enumeration.join();
    // Watching comes first: a controller plugged while the present ones are
    // listed is then announced even when the list missed it (and passed
    // over when it was in the list as well).
    const bool watching = m_platform->startMonitoring(
        [this](const CVNUsbInterfaceInfo& info) { offer(info, nullptr); },
        [this](const QString& path) { deviceRemoved(path); });
    if (!watching)
        qWarning() << "Fail to create Windows Notification";
    m_enumeration = std::thread(&CVNDeviceManagerHandler::enumerate, this);
}

void CVNDeviceManagerHandler::enumerate()
{
    QList<std::shared_ptr<bool>> started;
    const QVector<CVNUsbInterfaceInfo> present
        = CVNDeviceRecognition::enumerationOrder(m_platform->enumerate());
    for (const CVNUsbInterfaceInfo& info : present) {
        if (!isRunning())
            return;
        offer(info, &started);
    }
    {
        // The controllers present at start are announced before Started.
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] {
            return !m_running || std::all_of(started.cbegin(), started.cend(), [](const auto& done) { return *done; });
        });
        if (!m_running)
            return;
    }
    post(nullptr, CVNDeviceEvent::Started);
}

void CVNDeviceManagerHandler::offer(const CVNUsbInterfaceInfo& info, QList<std::shared_ptr<bool>>* started)
{
    if (info.isHid()) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_running)
            return;
        std::shared_ptr<bool> done;
        if (spawnLocked([this, info] { deviceArrived(info); }, &done)) {
            if (started)
                started->append(done);
            return;
        }
        qCWarning(lcDevice) << "too many probes at once; probing in line" << info.path;
    }
    deviceArrived(info);
}

bool CVNDeviceManagerHandler::spawnLocked(std::function<void()> work, std::shared_ptr<bool>* done)
{
    joinFinishedLocked();
    if (int(m_workers.size()) >= MaxProbeThreads)
        return false;
    auto finished = std::make_shared<bool>(false);
    std::thread thread([this, work = std::move(work), finished] {
        work();
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            *finished = true;
        }
        m_changed.notify_all();
    });
    m_workers.push_back(Worker { std::move(thread), finished });
    *done = finished;
    return true;
}

void CVNDeviceManagerHandler::joinFinishedLocked()
{
    // A finished worker has nothing left to do but return: joining it here
    // never waits on this lock.
    for (auto it = m_workers.begin(); it != m_workers.end();) {
        if (*it->done) {
            it->thread.join();
            it = m_workers.erase(it);
        } else {
            ++it;
        }
    }
}

void CVNDeviceManagerHandler::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_running)
            return;
        m_running = false;
        for (Probe& probe : m_probes)
            abort(probe);
    }
    m_changed.notify_all();
    // No callback runs once this returns; it must not be called under m_mutex.
    m_platform->stopMonitoring();
    if (m_enumeration.joinable())
        m_enumeration.join();
    std::list<Worker> workers;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        workers.swap(m_workers);
    }
    // Their probes are interrupted: they end without talking to a controller.
    for (Worker& worker : workers)
        worker.thread.join();
    std::lock_guard<std::mutex> lock(m_mutex);
    const QList<CVNDeviceParent*> parents = m_parents;
    for (CVNDeviceParent* parent : parents)
        removeParent(parent);
}

void CVNDeviceManagerHandler::deviceArrived(const CVNUsbInterfaceInfo& info)
{
    const QString path = info.path.toLower();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // The same interface announced twice (enumeration racing a notice) is
        // in use or on its way: probing it again would replace a working device.
        if (!m_running || m_claimedPaths.contains(path) || findByPath(path))
            return;
        m_claimedPaths.insert(path);
    }
    qDebug() << "register device Path" << info.path;
    if (CVNDeviceRecognition::isControllerPath(path)) {
        Handle handle = m_platform->open(info.path);
        if (handle) {
            const bool recognized = info.isHid() ? recognizeHid(info, path, handle)
                                                 : recognizeBulk(info, path, handle) || recognizeDfu(info, path, handle);
            (void)recognized; // an unused handle closes as it goes
        }
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    m_claimedPaths.remove(path);
}

void CVNDeviceManagerHandler::deviceRemoved(const QString& path)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const QString lower = path.toLower();
        const QList<CVNDeviceParent*> parents = m_parents;
        for (CVNDeviceParent* parent : parents) {
            if (parent->path() == lower)
                removeParent(parent);
        }
        for (Probe& probe : m_probes) {
            if (probe.path == lower)
                abort(probe);
        }
    }
    m_changed.notify_all();
}

void CVNDeviceManagerHandler::forget(CVNDeviceParent* parent)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_parents.removeAll(parent);
}

CVNDeviceParent* CVNDeviceManagerHandler::findByPath(const QString& lowerCasePath) const
{
    for (CVNDeviceParent* parent : m_parents) {
        if (parent->path() == lowerCasePath)
            return parent;
    }
    return nullptr;
}

CVNDeviceParent* CVNDeviceManagerHandler::findBySerial(const QString& serial) const
{
    for (CVNDeviceParent* parent : m_parents) {
        if (parent->serialNumber() == serial)
            return parent;
    }
    return nullptr;
}

bool CVNDeviceManagerHandler::probing(const QString& serial) const
{
    return std::any_of(m_probes.cbegin(), m_probes.cend(), [&](const Probe& p) { return p.serial == serial; });
}

bool CVNDeviceManagerHandler::hidIsRedundant(const QString& serial) const
{
    const CVNDeviceParent* existing = findBySerial(serial);
    return existing
        && (existing->child(CVNDeviceKind::Bulk) || (existing->child(CVNDeviceKind::Hid) && existing->isOpen()));
}

void CVNDeviceManagerHandler::abort(Probe& probe)
{
    probe.aborted = true;
    probe.parent->close();
    probe.hid->close();
}

void CVNDeviceManagerHandler::adopt(CVNDeviceParent* parent, const QString& lowerCasePath)
{
    parent->setPath(lowerCasePath);
    // Made (and probed) here, used on the manager's thread.
    parent->moveToThread(m_manager->thread());
    m_parents.append(parent);
    post(parent, CVNDeviceEvent::Insert);
}

void CVNDeviceManagerHandler::removeParent(CVNDeviceParent* parent)
{
    parent->close();
    m_parents.removeAll(parent);
    post(parent, CVNDeviceEvent::Remove);
}

void CVNDeviceManagerHandler::post(CVNDeviceParent* parent, int action)
{
    auto* event = new CVNDeviceEvent(parent, static_cast<CVNDeviceEvent::Action>(action));
    // The device, made and probed on this thread, travels with the event.
    CVNThreadHandoff::publish(event);
    QCoreApplication::postEvent(m_manager, event);
}

CVNDeviceParent* CVNDeviceManagerHandler::makeParent(const CVNUsbInterfaceInfo& info) const
{
    return new CVNDeviceParent(info.serial, firmwareVersionText(info.releaseNumber), info.productId);
}

bool CVNDeviceManagerHandler::recognizeHid(const CVNUsbInterfaceInfo& info, const QString& path, Handle& handle)
{
    if (!CVNDeviceRecognition::isHidCandidate(info))
        return false;
    CVNDeviceParent* parent = nullptr;
    CVNDeviceHid* hid = nullptr;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        // One probe per controller at a time: the commands of two paths to
        // the same controller must not interleave.
        m_changed.wait(lock, [&] { return !m_running || !probing(info.serial); });
        // A second path to a controller in use adds nothing; replacing the
        // device would make clients see it leave and come back.
        if (!m_running || hidIsRedundant(info.serial))
            return false;
        parent = makeParent(info);
        hid = new CVNDeviceHid(parent, std::move(handle));
        m_probes.push_back(Probe { path, info.serial, parent, hid });
    }
    // Without the lock: a removal or a stop may close the interface meanwhile.
    const bool accepted = CVNHidProbe::run(*hid);
    bool adopted = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const auto probe = std::find_if(m_probes.begin(), m_probes.end(), [&](const Probe& p) { return p.hid == hid; });
        const bool aborted = probe->aborted;
        m_probes.erase(probe);
        if (!accepted) {
            qCDebug(lcDevice) << "rejected HID interface" << info.path;
        } else if (!aborted && m_running && !hidIsRedundant(info.serial)) {
            // A parent left over in another form (DFU, a failed channel) gives way.
            if (CVNDeviceParent* existing = findBySerial(info.serial))
                removeParent(existing);
            parent->addChild(hid);
            adopt(parent, path);
            adopted = true;
        }
    }
    m_changed.notify_all();
    if (!adopted)
        delete parent; // the child goes with it
    return adopted;
}

bool CVNDeviceManagerHandler::recognizeBulk(const CVNUsbInterfaceInfo& info, const QString& path, Handle& handle)
{
    if (!CVNDeviceRecognition::hasControllerIdentity(info))
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_running)
        return false;
    if (CVNDeviceParent* existing = findBySerial(info.serial))
        removeParent(existing);
    quint8 in = 0;
    quint8 out = 0;
    if (!CVNDeviceRecognition::isBulkInterface(info, &in, &out))
        return false;
    CVNDeviceParent* parent = makeParent(info);
    parent->addChild(new CVNDeviceBulk(parent, std::move(handle), in, out));
    adopt(parent, path);
    return true;
}

bool CVNDeviceManagerHandler::recognizeDfu(const CVNUsbInterfaceInfo& info, const QString& path, Handle& handle)
{
    if (!CVNDeviceRecognition::hasControllerIdentity(info) || !CVNDeviceRecognition::isDfuInterface(info))
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_running || findBySerial(info.serial))
        return false;
    CVNDeviceParent* parent = makeParent(info);
    parent->addChild(new CVNDeviceDfu(parent, std::move(handle)));
    adopt(parent, path);
    return true;
}

#include "device/devicemanagerhandler.h"

#include "device/devicebulk.h"
#include "device/devicedfu.h"
#include "device/deviceevent.h"
#include "device/devicehid.h"
#include "device/devicelog.h"
#include "device/devicemanager.h"
#include "device/devicerecognition.h"
#include "device/hidprobe.h"

#include <QCoreApplication>

CVNDeviceManagerHandler::CVNDeviceManagerHandler(CVNDeviceManager* manager, CVNUsbPlatform* platform)
    : m_manager(manager)
    , m_platform(platform)
{
}

CVNDeviceManagerHandler::~CVNDeviceManagerHandler()
{
    stop();
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
    const QVector<CVNUsbInterfaceInfo> present
        = CVNDeviceRecognition::enumerationOrder(m_platform->enumerate());
    for (const CVNUsbInterfaceInfo& info : present)
        deviceArrived(info);
    const bool watching
        = m_platform->startMonitoring([this](const CVNUsbInterfaceInfo& info) { deviceArrived(info); },
            [this](const QString& path) { deviceRemoved(path); });
    if (!watching)
        qWarning() << "Fail to create Windows Notification";
    post(nullptr, CVNDeviceEvent::Started);
}

void CVNDeviceManagerHandler::stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_running)
            return;
        m_running = false;
    }
    // No callback runs once this returns; it must not be called under m_mutex.
    m_platform->stopMonitoring();
    std::lock_guard<std::mutex> lock(m_mutex);
    const QList<CVNDeviceParent*> parents = m_parents;
    for (CVNDeviceParent* parent : parents)
        removeParent(parent);
}

void CVNDeviceManagerHandler::deviceArrived(const CVNUsbInterfaceInfo& info)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_running)
        return;
    // The same interface announced twice (enumeration racing a notice) is
    // already in use: probing it again would replace a working device.
    if (findByPath(info.path.toLower()))
        return;
    Handle handle = m_platform->open(info.path);
    qDebug() << "register device Path" << info.path;
    if (!handle)
        return;
    const QString path = info.path.toLower();
    if (!CVNDeviceRecognition::isControllerPath(path))
        return;
    CVNDeviceParent* parent = nullptr;
    if (info.isHid())
        parent = recognizeHid(info, handle);
    else
        parent = recognizeBulk(info, handle);
    if (!parent && !info.isHid())
        parent = recognizeDfu(info, handle);
    if (!parent)
        return; // the handle closes as it goes
    parent->setPath(path);
    // Made and probed here, used on the manager's thread.
    parent->moveToThread(m_manager->thread());
    m_parents.append(parent);
    post(parent, CVNDeviceEvent::Insert);
}

void CVNDeviceManagerHandler::deviceRemoved(const QString& path)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const QString lower = path.toLower();
    const QList<CVNDeviceParent*> parents = m_parents;
    for (CVNDeviceParent* parent : parents) {
        if (parent->path() == lower)
            removeParent(parent);
    }
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

void CVNDeviceManagerHandler::removeParent(CVNDeviceParent* parent)
{
    parent->close();
    m_parents.removeAll(parent);
    post(parent, CVNDeviceEvent::Remove);
}

void CVNDeviceManagerHandler::post(CVNDeviceParent* parent, int action)
{
    QCoreApplication::postEvent(
        m_manager, new CVNDeviceEvent(parent, static_cast<CVNDeviceEvent::Action>(action)));
}

CVNDeviceParent* CVNDeviceManagerHandler::makeParent(const CVNUsbInterfaceInfo& info) const
{
    return new CVNDeviceParent(info.serial, firmwareVersionText(info.releaseNumber), info.productId);
}

CVNDeviceParent* CVNDeviceManagerHandler::recognizeHid(const CVNUsbInterfaceInfo& info, Handle& handle)
{
    if (!CVNDeviceRecognition::isHidCandidate(info))
        return nullptr;
    if (CVNDeviceParent* existing = findBySerial(info.serial)) {
        if (existing->child(CVNDeviceKind::Bulk))
            return nullptr;
        removeParent(existing);
    }
    CVNDeviceParent* parent = makeParent(info);
    auto* hid = new CVNDeviceHid(parent, std::move(handle));
    if (!CVNHidProbe::run(*hid)) {
        qCDebug(lcDevice) << "rejected HID interface" << info.path;
        delete parent; // the child goes with it
        return nullptr;
    }
    parent->addChild(hid);
    return parent;
}

CVNDeviceParent* CVNDeviceManagerHandler::recognizeBulk(const CVNUsbInterfaceInfo& info, Handle& handle)
{
    if (!CVNDeviceRecognition::hasControllerIdentity(info))
        return nullptr;
    if (CVNDeviceParent* existing = findBySerial(info.serial))
        removeParent(existing);
    quint8 in = 0;
    quint8 out = 0;
    if (!CVNDeviceRecognition::isBulkInterface(info, &in, &out))
        return nullptr;
    CVNDeviceParent* parent = makeParent(info);
    parent->addChild(new CVNDeviceBulk(parent, std::move(handle), in, out));
    return parent;
}

CVNDeviceParent* CVNDeviceManagerHandler::recognizeDfu(const CVNUsbInterfaceInfo& info, Handle& handle)
{
    if (!CVNDeviceRecognition::hasControllerIdentity(info) || findBySerial(info.serial)
        || !CVNDeviceRecognition::isDfuInterface(info))
        return nullptr;
    CVNDeviceParent* parent = makeParent(info);
    parent->addChild(new CVNDeviceDfu(parent, std::move(handle)));
    return parent;
}

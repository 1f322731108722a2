#include "device/devicemanager.h"

#include "device/deviceevent.h"
#include "device/devicelog.h"
#include "device/devicemanagerhandler.h"
#include "device/platform/usbplatform.h"
#include "device/threadhandoff.h"

#include <QCoreApplication>

CVNDeviceManager::CVNDeviceManager(QObject* parent)
    : QObject(parent)
{
}

CVNDeviceManager::~CVNDeviceManager()
{
    m_destroying = true;
    if (m_handler)
        m_handler->stop();
    // Deliver what the watcher posted so that no device is lost, quietly:
    // nobody listens any more.
    blockSignals(true);
    QCoreApplication::sendPostedEvents(this, CVNDeviceEvent::EventType);
    const QList<CVNDeviceParent*> remaining = m_devices.values();
    m_devices.clear();
    for (CVNDeviceParent* parent : remaining)
        dispose(parent);
    m_handler.reset();
}

QList<CVNDeviceParent*> CVNDeviceManager::devices() const
{
    QReadLocker locker(&m_lock);
    return m_devices.values();
}

CVNDeviceParent* CVNDeviceManager::device(const QString& serialNumber) const
{
    QReadLocker locker(&m_lock);
    return m_devices.value(serialNumber, nullptr);
}

void CVNDeviceManager::setPlatform(std::unique_ptr<CVNUsbPlatform> platform)
{
    if (!m_handler)
        m_platform = std::move(platform);
    else
        qCWarning(lcDevice) << "the device watcher already has its platform";
}

CVNDeviceManagerHandler* CVNDeviceManager::handler()
{
    if (!m_handler) {
        if (!m_platform)
            m_platform = createUsbPlatform();
        m_handler = std::make_unique<CVNDeviceManagerHandler>(this, m_platform.get());
    }
    return m_handler.get();
}

CVNServiceOSObserver* CVNDeviceManager::osObserver()
{
    return handler();
}

void CVNDeviceManager::start()
{
    handler()->start();
}

void CVNDeviceManager::stop()
{
    if (m_handler)
        m_handler->stop();
}

void CVNDeviceManager::invalidateDevice(CVNDeviceParent* parent)
{
    qDebug() << "CVNDeviceManager::invalidateDevice";
    bool removed = false;
    {
        QWriteLocker locker(&m_lock);
        // Found by pointer: the device may already have left and be gone.
        for (auto it = m_devices.begin(); it != m_devices.end(); ++it) {
            if (it.value() == parent) {
                qDebug() << "device invalidated. remove device" << it.key();
                m_devices.erase(it);
                removed = true;
                break;
            }
        }
    }
    if (!removed)
        return;
    parent->close();
    emit deviceRemoved(parent);
    parent->announceRemoved();
    dispose(parent);
}

void CVNDeviceManager::customEvent(QEvent* event)
{
    CVNThreadHandoff::receive(event);
    if (event->type() != CVNDeviceEvent::EventType)
        return;
    auto* deviceEvent = static_cast<CVNDeviceEvent*>(event);
    qDebug() << "CVNDeviceManager::customEvent"
             << "event" << deviceEvent->action();
    CVNDeviceParent* parent = deviceEvent->device();
    switch (deviceEvent->action()) {
    case CVNDeviceEvent::Started:
        emit started();
        break;
    case CVNDeviceEvent::Insert:
        if (parent)
            insert(parent);
        break;
    case CVNDeviceEvent::Remove:
        if (parent)
            remove(parent);
        break;
    }
}

void CVNDeviceManager::insert(CVNDeviceParent* parent)
{
    bool stored = false;
    {
        QWriteLocker locker(&m_lock);
        if (!m_devices.contains(parent->serialNumber())) {
            qDebug() << "insert device" << parent->serialNumber();
            m_devices.insert(parent->serialNumber(), parent);
            stored = true;
        }
    }
    if (!stored) {
        // A second object for a controller already present would never be
        // reachable: let it go rather than leak it.
        if (device(parent->serialNumber()) != parent)
            dispose(parent);
        return;
    }
    connect(
        parent, &CVNDeviceParent::channelFailed, this,
        [this, guarded = QPointer<CVNDeviceParent>(parent)] {
            if (guarded)
                invalidateDevice(guarded);
        },
        Qt::QueuedConnection);
    emit deviceInserted(parent);
}

void CVNDeviceManager::remove(CVNDeviceParent* parent)
{
    bool removed = false;
    {
        QWriteLocker locker(&m_lock);
        const auto it = m_devices.find(parent->serialNumber());
        // Only this object: a newer one may already stand under the serial.
        if (it != m_devices.end() && it.value() == parent) {
            qDebug() << "remove device" << parent->serialNumber();
            m_devices.erase(it);
            removed = true;
        }
    }
    if (removed) {
        emit deviceRemoved(parent);
        parent->announceRemoved();
    }
    dispose(parent);
}

void CVNDeviceManager::dispose(CVNDeviceParent* parent)
{
    if (m_handler)
        m_handler->forget(parent);
    // Handles are released now, while the platform that made them still exists.
    parent->close();
    if (m_destroying)
        delete parent;
    else
        parent->deleteLater();
}

#pragma once

#include "device/device.h"

#include <QEvent>
#include <QPointer>

// Posted to the device manager's thread by the platform watcher.
class CVNDeviceEvent : public QEvent
{
public:
    static constexpr QEvent::Type EventType = static_cast<QEvent::Type>(1001);

    enum Action { Started = 0, Insert = 1, Remove = 2 };

    CVNDeviceEvent(CVNDeviceParent* device, Action action)
        : QEvent(EventType)
        , m_device(device)
        , m_action(action)
    {
    }

    // Null when the device is already gone.
    CVNDeviceParent* device() const { return m_device.data(); }
    Action action() const { return m_action; }

private:
    QPointer<CVNDeviceParent> m_device;
    Action m_action;
};

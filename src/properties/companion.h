#pragma once

#include "interface/deviceinterface.h"
#include "interface/deviceproperty.h"
#include "interface/devicepropertynumber.h"

#include <QJsonValue>

// How the composite properties reach the plain properties they are built
// on (their companions, named by "symbols_extra").
namespace CVNCompanion
{

// The interface's property of that name as T; nullptr when there is none
// or it is of another class.
template <typename T> T* find(CVNDeviceInterface* interface, const QString& name)
{
    if (!interface || name.isEmpty())
        return nullptr;
    return dynamic_cast<T*>(interface->entity(name));
}

// Whether the interface has an entity of that name at all.
inline bool exists(CVNDeviceInterface* interface, const QString& name)
{
    return interface && !name.isEmpty() && interface->entity(name);
}

// The companion's current value: read from the device unless its cache
// holds the device's last answer and it is not mutable.
inline int intValue(DevicePropertyInt* property, int fallback = 0)
{
    return property ? property->value().toInt(fallback) : fallback;
}

// Writes through the companion (clamped to its domain, sent, dependants
// re-read); true when the device took it.
inline bool write(DeviceProperty* property, const QJsonValue& value)
{
    if (!property)
        return false;
    // A refused or unsent write puts the last reported value back, reply
    // state included: only the write's own outcome tells.
    return property->writeValue(value).isEmpty() && property->requestState() == DeviceProperty::ReplyReceived;
}

} // namespace CVNCompanion

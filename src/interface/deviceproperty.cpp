#include "interface/deviceproperty.h"

#include "device/device.h"
#include "interface/deviceinterface.h"

#include <QSet>

DeviceProperty::DeviceProperty(CVNDeviceInterface* interface, const QString& name,
                               const QString& description, const QString& command, int accessMode)
    : CVNProperty(name, description, command, accessMode)
    , m_interface(interface)
{
}

void DeviceProperty::store()
{
    if (m_interface)
        m_interface->store(this);
}

QString DeviceProperty::execute(CVNEntityContext& context)
{
    if (!context.arguments.isEmpty()) {
        const CacheSnapshot before = snapshot();
        QString failure = writeWords(context.arguments);
        if (failure.isEmpty())
            failure = finishWrite(before);
        if (!failure.isEmpty()) {
            // The read that follows a write would otherwise report the old
            // value as if the write had succeeded.
            context.failed = true;
            return failure;
        }
    }
    bool failed = false;
    const QString text = read(&failed);
    context.failed = context.failed || failed;
    return text;
}

QString DeviceProperty::readText()
{
    bool failed = false;
    return read(&failed);
}

QString DeviceProperty::read(bool* failed)
{
    const int before = m_requestState;
    if (m_requestState != ReplyReceived || isMutable()) {
        m_requestState = DownloadRequested;
        send();
    }
    if (m_requestState == Idle && !m_lastError.isEmpty()) {
        *failed = true;
        return m_lastError;
    }
    if (m_requestState == DownloadRequested && !deviceOpen()) {
        // Nothing was asked: what is cached stands only if the device said it.
        m_requestState = before;
        if (before != ReplyReceived) {
            *failed = true;
            return deviceNotOpenText();
        }
    }
    return valueText();
}

void DeviceProperty::setValue(const QJsonValue& value)
{
    // A read-only property keeps its cache: the device would not take the
    // value, so it must not appear as if it had.
    if (!isWritable()) {
        refuseWrite(notWritableText());
        return;
    }
    const CacheSnapshot before = snapshot();
    if (!assignJson(value)) {
        refuseWrite(invalidArgumentText());
        return;
    }
    const QString failure = finishWrite(before);
    if (!failure.isEmpty())
        refuseWrite(failure);
}

QString DeviceProperty::finishWrite(const CacheSnapshot& before)
{
    commitWrite();
    if (m_requestState == ReplyReceived)
        return QString();
    if (m_requestState == Idle && !m_lastError.isEmpty()) {
        // Refused or lost on the way: the cache keeps what the device last
        // reported, and the next read asks the device again.
        restoreValue(before.value);
        return m_lastError;
    }
    if (!deviceOpen()) {
        restoreValue(before.value);
        m_requestState = before.state;
        m_lastError = before.error;
        return deviceNotOpenText();
    }
    return QString();
}

bool DeviceProperty::deviceOpen() const
{
    const CVNDevice* device = m_interface ? m_interface->device() : nullptr;
    return device && device->isOpen();
}

QJsonValue DeviceProperty::value()
{
    if (m_requestState != ReplyReceived || isMutable()) {
        m_requestState = DownloadRequested;
        send();
    }
    return cachedJson();
}

CVNDeviceRequest DeviceProperty::makeRequest()
{
    if (m_requestState == ReplyReceived && !isMutable())
        return CVNDeviceRequest();
    if (m_requestState == ActionRequested && isWritable()) {
        CVNDeviceRequest request(CVNDeviceRequest::Set, name(), 0);
        request.value = requestValue();
        return request;
    }
    CVNDeviceRequest request(CVNDeviceRequest::Get, name(), 0);
    request.value = requestValue();
    return request;
}

void DeviceProperty::handleReply(const CVNDeviceRequest& reply)
{
    m_lastError.clear();
    switch (reply.type) {
    case CVNDeviceRequest::Get:
    case CVNDeviceRequest::Set:
        if (!acceptsReply(reply.value)) {
            m_requestState = Idle;
            m_lastError = unknownResultText();
            break;
        }
        assignReply(reply.value);
        m_requestState = ReplyReceived;
        notifyChanged();
        replyTaken(reply);
        break;
    case CVNDeviceRequest::Error:
        m_requestState = Idle;
        m_lastError = reply.text;
        break;
    default:
        break;
    }
}

void DeviceProperty::addDependency(DeviceProperty* property)
{
    if (property)
        m_dependencies.insert(property->name(), property);
}

void DeviceProperty::addDependent(DeviceProperty* property)
{
    if (property)
        m_dependents.insert(property->name(), property);
}

QList<DeviceProperty*> DeviceProperty::collectDependents() const
{
    QList<DeviceProperty*> result;
    QSet<const DeviceProperty*> seen{this};
    QList<const DeviceProperty*> pending{this};
    while (!pending.isEmpty()) {
        const DeviceProperty* current = pending.takeFirst();
        for (DeviceProperty* dependent : current->m_dependents) {
            if (seen.contains(dependent))
                continue;
            seen.insert(dependent);
            result.append(dependent);
            pending.append(dependent);
        }
    }
    return result;
}

void DeviceProperty::refreshDependents()
{
    for (DeviceProperty* dependent : collectDependents()) {
        dependent->setRequestState(Idle);
        dependent->send();
    }
}

void DeviceProperty::commitWrite()
{
    m_requestState = ActionRequested;
    send();
    refreshDependents();
}

void DeviceProperty::send()
{
    if (m_interface)
        m_interface->sendProperty(this);
}

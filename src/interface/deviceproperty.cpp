#include "interface/deviceproperty.h"

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
        const QString error = writeWords(context.arguments);
        if (!error.isEmpty())
            return error;
        commitWrite();
        // A write the device refused answers with the device's words; the
        // read that follows would otherwise report the old value as if the
        // write had succeeded.
        if (m_requestState == Idle && !m_lastError.isEmpty())
            return m_lastError;
    }
    return readText();
}

QString DeviceProperty::readText()
{
    if (m_requestState != ReplyReceived || isMutable()) {
        m_requestState = DownloadRequested;
        send();
    }
    if (m_requestState == Idle && !m_lastError.isEmpty())
        return m_lastError;
    return valueText();
}

void DeviceProperty::setValue(const QJsonValue& value)
{
    // A read-only property keeps its cache: the device would not take the
    // value, so it must not appear as if it had.
    if (!isWritable())
        return;
    if (!assignJson(value))
        return;
    commitWrite();
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

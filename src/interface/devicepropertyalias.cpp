#include "interface/devicepropertyalias.h"

#include "interface/deviceinterface.h"

DevicePropertyAlias::DevicePropertyAlias(DeviceProperty* target, const QString& name, const QString& description,
                                         const QString& command)
    : DeviceProperty(target->deviceInterface(), name, description, command, target->accessMode())
    , m_target(target)
{
}

CVNDeviceRequest DevicePropertyAlias::makeRequest()
{
    // Asked when the target was refreshed: the alias has nothing of its own
    // to fetch, but its observers should hear of the change.
    notifyChanged();
    return CVNDeviceRequest();
}

QString DevicePropertyAlias::writeWords(const QStringList& words)
{
    (void)words;
    return notWritableText();
}

bool DevicePropertyAlias::assignJson(const QJsonValue& value)
{
    (void)value;
    return false;
}

Entity* DevicePropertyBuilderAlias::build(CVNDeviceInterface* interface, const QJsonObject& entityJson)
{
    const QString name = entityJson.value(QStringLiteral("name")).toString();
    Entity* found = interface ? interface->entity(entityJson.value(QStringLiteral("property")).toString()) : nullptr;
    auto* target = dynamic_cast<DeviceProperty*>(found);
    if (name.isEmpty() || !target)
        return new DevicePropertyNull(interface);
    auto* alias = new DevicePropertyAlias(target, name, entityJson.value(QStringLiteral("description")).toString(),
                                          entityJson.value(QStringLiteral("command")).toString());
    alias->addDependency(target);
    target->addDependent(alias);
    return alias;
}

#include "interface/deviceinterface.h"

#include "device/device.h"
#include "interface/devicefunction.h"
#include "interface/deviceinterfaceview.h"
#include "interface/deviceproperty.h"

#include <QSettings>

namespace {
SettingsContext* g_settingsHost = nullptr;

// Composites whose value follows from the others; refreshed last.
const char* const lateRefreshNames[] = {"blob_rejection", "shield_vasta", "shield_lyn", "shield_twin_point"};

const QString unknownCommandText = QStringLiteral("unknow command");
}  // namespace

CVNDeviceInterface::CVNDeviceInterface(const QString& name, CVNDevice* device, CVNDeviceInterface* parentInterface)
    : m_name(name)
    , m_device(device)
    , m_parentInterface(parentInterface)
{
    // deviceInvalidated may cross threads or queued connections.
    static const int deviceType = qRegisterMetaType<CVNDevice*>("CVNDevice*");
    (void)deviceType;
}

CVNDeviceInterface::~CVNDeviceInterface()
{
    qDeleteAll(m_views);
    m_views.clear();
    m_entities.clear();
    m_commands.clear();
    m_pending.clear();
    // Replaced entities stay owned: they may still be reachable by command.
    qDeleteAll(m_owned);
    m_owned.clear();
}

void CVNDeviceInterface::setSettingsHost(SettingsContext* host) { g_settingsHost = host; }

SettingsContext* CVNDeviceInterface::settingsHost() { return g_settingsHost; }

void CVNDeviceInterface::store(Entity* entity)
{
    if (m_parentInterface) {
        m_parentInterface->store(entity);
        return;
    }
    m_settingsEntity = entity;
    if (g_settingsHost)
        g_settingsHost->store();
    else
        storeWithoutHost();
    m_settingsEntity = nullptr;
}

void CVNDeviceInterface::storeWithoutHost()
{
    QSettings settings(QStringLiteral("Corvane"), QStringLiteral("CorvaneService"));
    settings.beginGroup(QStringLiteral("ApplicationServer"));
    saveSettings(settings);
    settings.endGroup();
}

void CVNDeviceInterface::saveSettings(QSettings& settings)
{
    if (m_parentInterface) {
        m_parentInterface->saveSettings(settings);
        return;
    }
    if (!m_device) {
        m_settingsEntity = nullptr;
        return;
    }
    settings.beginGroup(QStringLiteral("devices"));
    settings.beginGroup(m_device->serialNumber());
    if (m_settingsEntity) {
        m_settingsEntity->saveSettings(settings);
    } else {
        for (const QString& name : qAsConst(m_order))
            m_entities.value(name)->saveSettings(settings);
    }
    settings.endGroup();
    settings.endGroup();
    m_settingsEntity = nullptr;
}

void CVNDeviceInterface::loadSettings(QSettings& settings)
{
    if (m_parentInterface) {
        m_parentInterface->loadSettings(settings);
        return;
    }
    if (!m_device)
        return;
    settings.beginGroup(QStringLiteral("devices"));
    settings.beginGroup(m_device->serialNumber());
    for (const QString& name : qAsConst(m_order))
        m_entities.value(name)->loadSettings(settings);
    settings.endGroup();
    settings.endGroup();
    m_settingsEntity = nullptr;
}

CVNDevice* CVNDeviceInterface::device() const
{
    return m_parentInterface ? m_parentInterface->device() : m_device;
}

bool CVNDeviceInterface::hasEntity(const QString& name) const { return m_entities.contains(name); }

Entity* CVNDeviceInterface::entity(const QString& name) const { return m_entities.value(name); }

Entity* CVNDeviceInterface::entityByCommand(const QString& command) const
{
    if (!m_parentInterface)
        return m_commands.value(command);
    Entity* found = m_parentInterface->entityByCommand(command);
    return found && m_entities.contains(found->name()) ? found : nullptr;
}

QList<Entity*> CVNDeviceInterface::entities() const
{
    QList<Entity*> list;
    for (const QString& name : m_order)
        list.append(m_entities.value(name));
    return list;
}

void CVNDeviceInterface::addEntities(const QStringList& names)
{
    if (!m_parentInterface)
        return;
    for (const QString& name : names) {
        Entity* found = m_parentInterface->entity(name);
        if (!found || m_entities.contains(name))
            continue;
        m_entities.insert(name, found);
        m_order.append(name);
    }
}

void CVNDeviceInterface::addEntity(const QString& name, Entity* entity)
{
    if (!entity || m_parentInterface)
        return;
    if (!m_owned.contains(entity))
        m_owned.append(entity);
    if (!m_entities.contains(name))
        m_order.append(name);
    m_entities.insert(name, entity);
    if (!entity->command().isEmpty())
        m_commands.insert(entity->command(), entity);
}

void CVNDeviceInterface::addView(DeviceInterfaceView* view)
{
    if (!view)
        return;
    DeviceInterfaceView* previous = m_views.value(view->name());
    if (previous == view)
        return;
    m_views.insert(view->name(), view);
    delete previous;
}

CVNDeviceReplies CVNDeviceInterface::executeRequest(const CVNDeviceRequest& request)
{
    return execute(request);
}

CVNDeviceReplies CVNDeviceInterface::execute(const CVNDeviceRequest& request)
{
    (void)request;
    return CVNDeviceReplies();
}

QString CVNDeviceInterface::executeCommand(const QString& command, CVNEntityContext& context)
{
    Entity* target = entityByCommand(command);
    if (!target)
        return unknownCommandText;
    return target->execute(context);
}

QString CVNDeviceInterface::executeCommand(const QString& command, const QStringList& arguments)
{
    CVNEntityContext context;
    context.arguments = arguments;
    return executeCommand(command, context);
}

void CVNDeviceInterface::refreshAll()
{
    if (m_parentInterface) {
        m_parentInterface->refreshAll();
        return;
    }
    auto refresh = [this](Entity* entity) {
        if (entity && entity->kind() == Entity::PropertyKind) {
            auto* property = static_cast<CVNProperty*>(entity);
            if (auto* deviceProperty = dynamic_cast<DeviceProperty*>(property)) {
                deviceProperty->setRequestState(DeviceProperty::Idle);
                sendProperty(deviceProperty);
            }
        }
    };
    for (const QString& name : QStringList(m_order))
        refresh(m_entities.value(name));
    for (const char* name : lateRefreshNames)
        refresh(m_entities.value(QString::fromLatin1(name)));
}

void CVNDeviceInterface::sendProperty(DeviceProperty* property) { send(property); }

void CVNDeviceInterface::sendFunction(DeviceFunction* function) { send(function); }

void CVNDeviceInterface::send(Entity* entity)
{
    if (m_parentInterface) {
        m_parentInterface->send(entity);
        return;
    }
    if (!entity || !m_device || !m_device->isOpen())
        return;
    CVNDeviceRequest request = entity->kind() == Entity::PropertyKind
        ? static_cast<CVNProperty*>(entity)->makeRequest()
        : static_cast<CVNFunction*>(entity)->makeRequest();
    if (request.isEmpty())
        return;
    request.id = ++m_requestCounter;
    m_pending.insert(request.id, entity);

    const CVNDeviceReplies replies = executeRequest(request);
    for (auto it = replies.constBegin(); it != replies.constEnd(); ++it) {
        Entity* receiver = m_pending.take(it.key());
        if (!receiver)
            continue;
        if (receiver->kind() == Entity::PropertyKind)
            static_cast<CVNProperty*>(receiver)->handleReply(it.value());
        else
            static_cast<CVNFunction*>(receiver)->handleReply(it.value());
    }
    // An unanswered request will never be answered: the channels reply synchronously.
    m_pending.remove(request.id);

    if (!m_device->isOpen())
        emit deviceInvalidated(m_device);
}

#include "server/applicationserver.h"

#include "cli/commandlineexecuter.h"
#include "cli/commandlineoptionentity.h"
#include "com/commanager.h"
#include "device/device.h"
#include "device/devicemanager.h"
#include "interface/deviceinterface.h"
#include "interface/deviceinterfacebuilder.h"
#include "interface/entity.h"
#include "server/commandlinedeviceexecuter.h"
#include "server/connectionpingentity.h"
#include "server/devicelistproperty.h"
#include "server/entitybuilders.h"
#include "server/optioncachedevice.h"
#include "server/optionhelpdevice.h"
#include "server/optionlistconnections.h"
#include "server/optionlistenclients.h"
#include "server/optionselectdevice.h"
#include "server/propertyurl.h"
#include "server/serverlogging.h"
#include "server/serversession.h"
#include "webconsole/optionwebconsole.h"
#include "webconsole/webconsole.h"

#include <QMetaObject>
#include <QNetworkAccessManager>
#include <QSettings>

#include <algorithm>

namespace {
CVNApplicationServer* g_instance = nullptr;

const QString kGroup = QStringLiteral("ApplicationServer");
const QString kCommunication = QStringLiteral("communication");
const QString kListenType = QStringLiteral("listen-type");

QSettings appSettings()
{
    return QSettings(QStringLiteral("Corvane"), QStringLiteral("CorvaneService"));
}

// Hid first, then Dfu, then the others, each group in stored order.
int insertionRank(CVNDevice* descriptor)
{
    switch (descriptor->kind()) {
    case CVNDeviceKind::Hid: return 0;
    case CVNDeviceKind::Dfu: return 1;
    default: return 2;
    }
}

QHostAddress::SpecialAddress toSpecialAddress(int type)
{
    return type == QHostAddress::Any ? QHostAddress::Any : QHostAddress::LocalHost;
}

std::unique_ptr<DeviceInterfaceBuilder> makeInterfaceBuilder()
{
    registerEntityBuilders();
    return std::make_unique<DeviceInterfaceBuilder>();
}
} // namespace

CVNApplicationServer::CVNApplicationServer(CVNDeviceManager* deviceManager, QObject* parent)
    : QObject(parent)
    , m_comManager(new CVNComManager(Service, this))
    , m_webConsole(new CVNWebConsole(m_comManager, this))
    , m_deviceManager(deviceManager)
    , m_builder(makeInterfaceBuilder())
    , m_network(new QNetworkAccessManager(this))
{
    if (!g_instance)
        g_instance = this;
    createExecuters();

    connect(deviceManager, &CVNDeviceManager::deviceInserted, this, &CVNApplicationServer::deviceInserted);
    connect(deviceManager, &CVNDeviceManager::deviceRemoved, this, &CVNApplicationServer::deviceRemoved);
    connect(m_comManager, &CVNComManager::addedConnection, this, &CVNApplicationServer::newConnection);
    connect(m_comManager, &CVNComManager::removedConnection, this, &CVNApplicationServer::closedConnection);

    createEntities();
}

CVNApplicationServer::~CVNApplicationServer()
{
    // Sessions first (also those already waiting for deletion): their end
    // releases locks and resets those devices.
    m_sessions.clear();
    qDeleteAll(findChildren<CVNServerSession*>(QString(), Qt::FindDirectChildrenOnly));
    m_locks.clear();
    m_deviceExecuter.reset();
    m_deviceOptionsExecuter.reset();
    m_connectionExecuter.reset();
    qDeleteAll(m_entities);
    m_entities.clear();
    delete m_comManager;
    m_comManager = nullptr;
    qDeleteAll(m_interfaces);
    m_interfaces.clear();
    deleteInvalidInterfaces();
    if (g_instance == this)
        g_instance = nullptr;
}

CVNApplicationServer* CVNApplicationServer::instance()
{
    return g_instance;
}

void CVNApplicationServer::createExecuters()
{
    m_connectionExecuter = std::make_unique<CVNCommandLineExecuter>(QStringLiteral("Connection"));
    m_deviceOptionsExecuter = std::make_unique<CVNCommandLineExecuter>(QStringLiteral("Device"));
    m_deviceExecuter = std::make_unique<CVNCommandLineDeviceExecuter>();
    m_connectionExecuter->addOption(new CVNOptionListConnections(this));
    m_connectionExecuter->addOption(new CVNOptionListenClients(this));
    m_connectionExecuter->addOption(new CVNOptionWebConsole(m_webConsole));
    m_deviceOptionsExecuter->addOption(new CVNOptionSelectDevice(this));
    m_deviceOptionsExecuter->addOption(new CVNOptionHelpDevice());
    m_deviceOptionsExecuter->addOption(new CVNOptionCacheDevice());
}

void CVNApplicationServer::createEntities()
{
    m_devicesList = new CVNDeviceListProperty(this);
    connect(m_deviceManager, &CVNDeviceManager::deviceInserted, m_devicesList,
            &CVNDeviceListProperty::deviceInserted);
    connect(m_deviceManager, &CVNDeviceManager::deviceRemoved, m_devicesList,
            &CVNDeviceListProperty::deviceRemoved);
    m_entities.insert(m_devicesList->name(), m_devicesList);
    m_deviceOptionsExecuter->addOption(
        new CVNCommandLineOptionEntity(m_devicesList, QStringList{QStringLiteral("l")}));

    auto* ping = new ConnectionPingEntity();
    m_entities.insert(ping->name(), ping);

    m_portalUrl = new PropertyUrl(QStringLiteral("portal_url"), QStringLiteral("Portal url"),
                                  QStringLiteral("portal-url"), QUrl(defaultPortalUrl()));
    m_entities.insert(m_portalUrl->name(), m_portalUrl);
}

QList<CVNCommandLineExecuter*> CVNApplicationServer::executers() const
{
    return {m_connectionExecuter.get(), m_deviceOptionsExecuter.get(), m_deviceExecuter.get()};
}

void CVNApplicationServer::start()
{
    listen(storedListenType());
}

int CVNApplicationServer::storedListenType() const
{
    QSettings settings = appSettings();
    settings.beginGroup(kGroup);
    settings.beginGroup(kCommunication);
    const int type = settings.value(kListenType, kDefaultListenType).toInt();
    settings.endGroup();
    settings.endGroup();
    settings.sync();
    return type;
}

void CVNApplicationServer::listen(int type)
{
    m_comManager->start(toSpecialAddress(type));
    (void)m_webConsole->start();
}

void CVNApplicationServer::stop()
{
    m_comManager->stop();
    m_webConsole->stop();
}

void CVNApplicationServer::pause()
{
    m_comManager->stop();
    m_webConsole->stop();
}

// Listening again as stored: a pause and a continue (Ctrl+Z and fg) must not
// open a service that accepts local clients only to the network.
void CVNApplicationServer::resume()
{
    listen(storedListenType());
}

void CVNApplicationServer::processCommand(int command)
{
    (void)command;
}

void CVNApplicationServer::setListenType(int type)
{
    const QHostAddress::SpecialAddress address = toSpecialAddress(type);
    m_comManager->stop();
    m_comManager->start(address);
    (void)m_webConsole->start();
    QSettings settings = appSettings();
    settings.beginGroup(kGroup);
    settings.beginGroup(kCommunication);
    settings.setValue(kListenType, int(address));
    settings.endGroup();
    settings.endGroup();
    settings.sync();
}

int CVNApplicationServer::listenType() const
{
    return m_comManager->listenAddress();
}

bool CVNApplicationServer::hasEntity(const QString& key)
{
    return m_entities.contains(key);
}

Entity* CVNApplicationServer::entity(const QString& key)
{
    return m_entities.value(key, nullptr);
}

void CVNApplicationServer::saveSettings(QSettings& settings)
{
    for (CVNDeviceInterface* interface : qAsConst(m_interfaces))
        interface->saveSettings(settings);
}

void CVNApplicationServer::loadSettings(QSettings& settings)
{
    for (CVNDeviceInterface* interface : qAsConst(m_interfaces))
        interface->loadSettings(settings);
}

QList<CVNDevice*> CVNApplicationServer::availableInterfaces(const CVNServerSession* session) const
{
    QList<CVNDevice*> list;
    for (auto it = m_interfaces.constBegin(); it != m_interfaces.constEnd(); ++it) {
        if (it.key()->kind() == CVNDeviceKind::Parent || isLockedByOther(it.key(), session))
            continue;
        list.append(it.key());
    }
    return list;
}

CVNDeviceInterface* CVNApplicationServer::interfaceForSerial(const QString& serialNumber) const
{
    CVNDeviceInterface* found = nullptr;
    for (auto it = m_interfaces.constBegin(); it != m_interfaces.constEnd(); ++it) {
        if (it.key()->serialNumber() != serialNumber)
            continue;
        if (it.key()->kind() == CVNDeviceKind::Hid)
            return it.value();
        found = it.value();
    }
    return found;
}

bool CVNApplicationServer::isLockedByOther(CVNDevice* descriptor, const CVNServerSession* session) const
{
    CVNServerSession* owner = m_locks.value(descriptor, nullptr);
    return owner && owner != session;
}

void CVNApplicationServer::lockDevice(CVNDevice* descriptor, CVNServerSession* session)
{
    if (descriptor && session)
        m_locks.insert(descriptor, session);
}

void CVNApplicationServer::unlockDevice(CVNDevice* descriptor)
{
    m_locks.remove(descriptor);
}

void CVNApplicationServer::releaseLocks(CVNServerSession* session)
{
    bool released = false;
    const QList<CVNDevice*> locked = m_locks.keys(session);
    for (CVNDevice* descriptor : locked) {
        m_locks.remove(descriptor);
        released = true;
        CVNDeviceInterface* interface = m_interfaces.value(descriptor);
        Entity* reset = interface ? interface->entity(QStringLiteral("dreset")) : nullptr;
        if (reset && reset->kind() == Entity::FunctionKind)
            static_cast<CVNFunction*>(reset)->call(QJsonValue());
        else if (interface)
            (void)interface->executeCommand(QStringLiteral("dreset"), QStringList());
    }
    if (released && m_devicesList)
        m_devicesList->notifyChanged();
}

void CVNApplicationServer::deviceInserted(CVNDeviceParent* device)
{
    QList<CVNDeviceDesc*> descriptors = device->descriptors();
    std::stable_sort(descriptors.begin(), descriptors.end(),
                     [](CVNDevice* a, CVNDevice* b) { return insertionRank(a) < insertionRank(b); });
    for (CVNDeviceDesc* descriptor : descriptors) {
        if (!m_interfaces.contains(descriptor))
            addInterface(descriptor);
        if (!m_interfaces.contains(descriptor))
            continue;
        for (CVNServerSession* session : qAsConst(m_sessions))
            session->addDevice(descriptor);
    }
}

void CVNApplicationServer::addInterface(CVNDevice* descriptor)
{
    CVNDeviceInterface* interface = m_builder->build(descriptor);
    if (!interface) {
        qCDebug(lcServer) << "no interface for device" << descriptor->serialNumber() << int(descriptor->kind());
        return;
    }
    connect(interface, &CVNDeviceInterface::deviceInvalidated, this,
            &CVNApplicationServer::interfaceDeviceInvalidated);
    QSettings settings = appSettings();
    settings.beginGroup(kGroup);
    interface->loadSettings(settings);
    settings.endGroup();
    settings.sync();
    m_interfaces.insert(descriptor, interface);
    m_serials.insert(descriptor, descriptor->serialNumber());
    // A descriptor can also go without a removal of its controller (a child
    // replaced by a new one of the same kind): its interface goes with it.
    connect(descriptor, &QObject::destroyed, this, [this, descriptor] {
        if (m_interfaces.contains(descriptor))
            retireInterface(descriptor, m_serials.value(descriptor));
    });
}

void CVNApplicationServer::deviceRemoved(CVNDeviceParent* device)
{
    for (CVNDeviceDesc* descriptor : device->descriptors())
        retireInterface(descriptor, descriptor->serialNumber());
}

void CVNApplicationServer::retireInterface(CVNDevice* descriptor, const QString& serialNumber)
{
    CVNDeviceInterface* interface = m_interfaces.take(descriptor);
    m_serials.remove(descriptor);
    if (!interface)
        return;
    const bool wasLocked = m_locks.remove(descriptor) > 0;
    for (CVNServerSession* session : qAsConst(m_sessions))
        session->removeDevice(descriptor, serialNumber);
    if (wasLocked && m_devicesList)
        m_devicesList->notifyChanged();
    // Deleted only after the current event: the removal may be reported
    // from inside one of this interface's own exchanges.
    m_invalidInterfaces.append(interface);
    if (!m_deleteScheduled) {
        m_deleteScheduled = true;
        QMetaObject::invokeMethod(this, &CVNApplicationServer::deleteInvalidInterfaces, Qt::QueuedConnection);
    }
}

void CVNApplicationServer::deleteInvalidInterfaces()
{
    m_deleteScheduled = false;
    const QList<CVNDeviceInterface*> invalid = m_invalidInterfaces;
    m_invalidInterfaces.clear();
    qDeleteAll(invalid);
}

void CVNApplicationServer::interfaceDeviceInvalidated(CVNDevice* device)
{
    auto* descriptor = qobject_cast<CVNDeviceDesc*>(device);
    CVNDeviceParent* parent = descriptor ? descriptor->parentDevice() : qobject_cast<CVNDeviceParent*>(device);
    if (parent && m_deviceManager)
        m_deviceManager->invalidateDevice(parent);
}

void CVNApplicationServer::newConnection(CVNComConnection* connection)
{
    if (!connection || m_sessions.contains(connection))
        return;
    auto* session = new CVNServerSession(connection, this);
    m_sessions.insert(connection, session);
    emit insertedSession(session);
}

void CVNApplicationServer::closedConnection(CVNComConnection* connection)
{
    CVNServerSession* session = m_sessions.take(connection);
    if (!session)
        return;
    emit removedSession(session);
    connection->disconnectFromHost();
    session->deleteLater();
}

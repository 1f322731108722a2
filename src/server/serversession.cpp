#include "server/serversession.h"

#include "cli/commandlineexecuter.h"
#include "cli/commandlineoptionentity.h"
#include "cli/optionresult.h"
#include "cli/pendingoption.h"
#include "com/comconnection.h"
#include "com/connectionguard.h"
#include "device/device.h"
#include "interface/deferredresult.h"
#include "interface/deviceinterface.h"
#include "interface/deviceinterfaceview.h"
#include "interface/entity.h"
#include "interface/requestorigin.h"
#include "server/applicationserver.h"
#include "server/commandlinedeviceexecuter.h"
#include "server/propertyportaltoken.h"
#include "server/propertysessionaccessview.h"
#include "server/serverlimits.h"
#include "server/serverlogging.h"
#include "server/sessionslistproperty.h"
#include "server/ssnotifications.h"
#include "server/ssparsecli.h"

#include <algorithm>

CVNServerSession::CVNServerSession(CVNComConnection* connection, CVNApplicationServer* server)
    : QObject(server)
    , m_connection(connection)
    , m_server(server)
    , m_connectionTime(QDateTime::currentDateTimeUtc())
    , m_executer(std::make_unique<CVNCommandLineExecuter>(QStringLiteral("Session")))
    , m_notifications(std::make_unique<CVNSSNotifications>(this))
    , m_guard(new CVNConnectionGuard(connection, this))
{
    m_outputStream.setString(&m_outputBuffer, QIODevice::ReadWrite);
    createEntities();
    // Requests left waiting while the client did not read are taken up on
    // the next turn of the event loop, not inside the socket's signal.
    connect(m_guard, &CVNConnectionGuard::resumed, this, &CVNServerSession::readyRead, Qt::QueuedConnection);
    // A client given up on does not read: what is queued for it goes too.
    connect(m_guard, &CVNConnectionGuard::gaveUp, this, [this] {
        if (m_connection)
            m_connection->abort();
    });

    connect(connection, &CVNComConnection::aboutToClose, this, &CVNServerSession::aboutToClose);
    connect(connection, &CVNComConnection::disconnected, this, &CVNServerSession::disconnected);
    connect(connection, &CVNComConnection::stateChanged, this, &CVNServerSession::stateChanged);
    connect(connection, &CVNComConnection::error, this, &CVNServerSession::error);
    connect(connection, &CVNComConnection::readyRead, this, &CVNServerSession::readyRead);
    connect(connection, &CVNComConnection::connectionTypeChanged, this, &CVNServerSession::connectionTypeChanged);

    for (CVNDevice* descriptor : server->availableInterfaces(this))
        addDevice(descriptor);
    selectDefaultDevice();
}

CVNServerSession::~CVNServerSession()
{
    m_server->releaseLocks(this);
    m_notifications.reset();
    m_executer.reset();
    qDeleteAll(m_entities);
}

void CVNServerSession::createEntities()
{
    auto* sessions = new CVNSessionsListProperty(m_server);
    m_tokenEntity = new PropertyPortalToken(this);
    auto* view = new PropertySessionAccessView(this);
    m_entities.insert(sessions->name(), sessions);
    m_entities.insert(m_tokenEntity->name(), m_tokenEntity);
    m_entities.insert(view->name(), view);
    m_executer->addOption(new CVNCommandLineOptionEntity(sessions));
    m_executer->addOption(new CVNCommandLineOptionEntity(view));
}

QString CVNServerSession::clientTypeName(int type)
{
    switch (type) {
    case 1: return QStringLiteral("Service");
    case 2: return QStringLiteral("VeilCLI");
    case 3: return QStringLiteral("DesktopLink");
    case 4: return QStringLiteral("CloudLink");
    default: return QStringLiteral("Unknown");
    }
}

QString CVNServerSession::clientTypeName() const
{
    return clientTypeName(m_connection ? int(m_connection->peerType()) : 0);
}

QString CVNServerSession::peerText() const
{
    if (!m_connection)
        return QString();
    return QStringLiteral("%1:%2").arg(m_connection->endpoint().host()).arg(m_connection->endpointPort());
}

CVNDeviceInterface* CVNServerSession::findDevice(const QString& serialNumber) const
{
    if (serialNumber.size() > CVNServerLimits::kMaxKeyLength)
        return nullptr;
    CVNDeviceInterface* view = serialNumber.isEmpty() ? m_selected.data() : m_devices.value(serialNumber);
    if (!view || m_server->isLockedByOther(view->device(), this))
        return nullptr;
    return view;
}

CVNDeviceInterface* CVNServerSession::selectedDevice() const
{
    return m_selected.data();
}

void CVNServerSession::selectDevice(CVNDeviceInterface* view)
{
    if (m_selected && m_selected->device())
        disconnect(m_selected->device(), &CVNDevice::removed, this, &CVNServerSession::deviceRemoved);
    m_selected = view;
    if (view && view->device())
        connect(view->device(), &CVNDevice::removed, this, &CVNServerSession::deviceRemoved, Qt::UniqueConnection);
}

void CVNServerSession::selectDefaultDevice()
{
    QList<CVNDevice*> available = m_server->availableInterfaces(this);
    std::stable_sort(available.begin(), available.end(), [](CVNDevice* a, CVNDevice* b) {
        return a->serialNumber() < b->serialNumber();
    });
    for (CVNDevice* descriptor : available) {
        if (CVNDeviceInterface* view = m_devices.value(descriptor->serialNumber())) {
            selectDevice(view);
            return;
        }
    }
    selectDevice(nullptr);
}

void CVNServerSession::addDevice(CVNDevice* descriptor)
{
    CVNDeviceInterface* root = m_server->deviceInterface(descriptor);
    if (!root)
        return;
    const bool desktopLink = m_connection && m_connection->peerType() == DesktopLink;
    CVNDeviceInterface* view = root->view(desktopLink ? openViewCorvaneLink() : openViewAdvanced());
    if (!view)
        return;  // the device offers no view for this client type
    const QString serial = descriptor->serialNumber();
    m_devices.insert(serial, view);
    m_grants.insert(serial, false);
    // A session that started before any device was present would otherwise
    // have to select one by hand before it could use it.
    if (!m_selected)
        selectDefaultDevice();
    if (!m_portalToken.isEmpty() && m_tokenEntity)
        m_tokenEntity->checkToken(serial, m_portalToken);
}

void CVNServerSession::removeDevice(CVNDevice* descriptor)
{
    removeDevice(descriptor, descriptor->serialNumber());
}

void CVNServerSession::removeDevice(CVNDevice* descriptor, const QString& serial)
{
    const bool wasSelected = m_selected && m_selected->device() == descriptor;
    CVNDeviceInterface* view = m_devices.value(serial);
    if (view && view->device() == descriptor) {
        m_devices.remove(serial);
        m_grants.remove(serial);
    }
    if (wasSelected || (m_selected && !m_devices.values().contains(m_selected.data())))
        selectDefaultDevice();
}

bool CVNServerSession::isOpenView(const QString& viewName)
{
    return viewName == openViewBasic() || viewName == openViewAdvanced() || viewName == openViewCorvaneLink();
}

bool CVNServerSession::canAccessView(const QString& serialNumber, const QString& viewName) const
{
    CVNDeviceInterface* view = m_devices.value(serialNumber);
    if (!view || m_server->isLockedByOther(view->device(), this))
        return false;
    return isOpenView(viewName) || m_grants.value(serialNumber, false);
}

bool CVNServerSession::setDeviceView(const QString& serialNumber, const QString& viewName)
{
    if (!canAccessView(serialNumber, viewName))
        return false;
    CVNDeviceInterface* current = m_devices.value(serialNumber);
    CVNDeviceInterface* root = current->parentInterface() ? current->parentInterface() : current;
    CVNDeviceInterface* next = root->view(viewName);
    if (!next)
        return false;
    m_devices.insert(serialNumber, next);
    if (m_selected == current)
        selectDevice(next);
    return true;
}

void CVNServerSession::setGrant(const QString& serialNumber, bool granted)
{
    if (m_devices.contains(serialNumber))
        m_grants.insert(serialNumber, granted);
}

Entity* CVNServerSession::lookupProperty(const QString& key, QString* serial)
{
    if (key.isEmpty() || key.size() > CVNServerLimits::kMaxKeyLength)
        return nullptr;
    Entity* found = m_server->entity(key);
    if (!found)
        found = m_entities.value(key);
    if (!found) {
        CVNDeviceInterface* device = findDevice(QString());
        found = device ? device->entity(key) : nullptr;
        if (found && serial && device->device())
            *serial = device->device()->serialNumber();
    }
    if (!found || found->kind() != Entity::PropertyKind)
        return nullptr;
    return found;
}

QString CVNServerSession::versionText() const
{
    QString text = QStringLiteral("Session Manager 1.0.0\n");
    CVNDeviceInterface* selected = findDevice(QString());
    CVNDevice* device = selected ? selected->device() : nullptr;
    if (!device)
        return text + QStringLiteral("No Device found");
    return text + QStringLiteral("Current device: %1 %2 %3")
                      .arg(device->productName(), device->serialNumber(), deviceKindText(device->kind()));
}

CVNHelpTable CVNServerSession::helpTable() const
{
    CVNHelpTable table = m_executer->help();
    for (CVNCommandLineExecuter* executer : m_server->executers())
        CVNHelp::merge(table, executer->help());
    return table;
}

void CVNServerSession::consumeOptions(int& result, CVNPendingOptionList& options)
{
    do {
        result = consumeOne(options);
        // The printed text is the answer: past the bound the remaining
        // options are not run, and go back to the client unconsumed.
        if (result == CVNOptionResult::Processed && !options.isEmpty()) {
            m_outputStream.flush();
            if (qint64(m_outputBuffer.size()) > CVNServerLimits::kMaxAnswerBytes) {
                qCWarning(lcServer) << "output of a cli request exceeds" << CVNServerLimits::kMaxAnswerBytes
                                    << "bytes, not running its remaining" << options.size() << "options";
                m_outputStream << "Output of the request too large, remaining options not executed\n";
                result = CVNOptionResult::Error;
            }
        }
    } while (result == CVNOptionResult::Processed);
}

int CVNServerSession::consumeOne(CVNPendingOptionList& options)
{
    int result = CVNOptionResult::NotFound;
    m_executer->executeOne(result, options, *this);
    if (result != CVNOptionResult::NotFound)
        return result;
    for (CVNCommandLineExecuter* executer : m_server->executers()) {
        result = CVNOptionResult::NotFound;
        executer->executeOne(result, options, *this);
        if (result != CVNOptionResult::NotFound)
            return result;
    }
    return CVNOptionResult::NotFound;
}

void CVNServerSession::helpTable(int& result, CVNHelpTable& table)
{
    table = helpTable();
    result = CVNOptionResult::Processed;
}

void CVNServerSession::version(int& result, QString& text)
{
    text = versionText();
    result = CVNOptionResult::Processed;
}

QString CVNServerSession::takeOutput()
{
    m_outputStream.flush();
    const QString text = m_outputBuffer;
    resetOutput();
    return text;
}

void CVNServerSession::resetOutput()
{
    m_outputStream.flush();
    m_outputBuffer.clear();
    m_outputStream.setString(&m_outputBuffer, QIODevice::ReadWrite);
}

QJsonObject CVNServerSession::handleDocument(const QJsonDocument& document)
{
    resetOutput();
    // What the request starts may outlive it; it knows whom it works for.
    const CVNRequestOrigin::Scope origin(this);
    return m_server->documentParser().parse(document, this);
}

void CVNServerSession::sendDocument(const QJsonObject& object)
{
    if (!m_connection || m_connection->state() != QAbstractSocket::ConnectedState)
        return;
    // Answers are always written; a notification only while the client
    // takes what it is sent.
    if (!m_handling && !m_guard->mayWrite())
        return;
    m_connection->writeDocument(object);
    // Answers are flushed together after the read; anything else at once.
    if (!m_handling)
        m_connection->flush();
}

void CVNServerSession::readyRead()
{
    if (!m_connection || m_closing)
        return;
    // While the client leaves its answers unsent its requests stay in the
    // socket, so that it cannot make the service hold more of either.
    if (m_guard->readsPaused() || m_guard->hasGivenUp())
        return;
    if (!m_receiveBuffer.append(m_connection->readAll())) {
        qCWarning(lcServer) << "closing connection with a broken stream:" << m_receiveBuffer.errorText();
        close();
        return;
    }
    // A device exchange inside a request may run the event loop; bytes that
    // arrive meanwhile are taken by the loop below, in order.
    if (m_handling)
        return;
    handleReceived();
}

void CVNServerSession::handleReceived()
{
    m_handling = true;
    while (m_connection && !m_closing && !isWaiting() && !m_guard->readsPaused()) {
        std::optional<QJsonDocument> document = m_receiveBuffer.takeNext();
        if (!document)
            break;
        const QJsonObject response = handleDocument(*document);
        if (isWaiting()) {
            m_heldResponse = response;
            break;
        }
        sendDocument(response);
        m_guard->answerWritten();
    }
    m_handling = false;
    // Out now rather than on the next event-loop turn: the client waits.
    if (m_connection && m_connection->state() == QAbstractSocket::ConnectedState)
        m_connection->flush();
    m_guard->received(m_receiveBuffer.pendingSize());
    if (m_receiveBuffer.isBroken() && !m_closing) {
        qCWarning(lcServer) << "closing connection with a broken stream:" << m_receiveBuffer.errorText();
        close();
    }
}

void CVNServerSession::waitFor(std::shared_ptr<CVNDeferredResult> result)
{
    if (!result)
        return;
    m_waitingFor = std::move(result);
    connect(m_waitingFor.get(), &CVNDeferredResult::finished, this, &CVNServerSession::resumeWaiting,
            Qt::UniqueConnection);
    // Finished before anyone listened: its signal is still on its way.
}

void CVNServerSession::holdOptions(const CVNPendingOptionList& options)
{
    m_heldOptions = std::make_unique<CVNPendingOptionList>(options);
}

void CVNServerSession::resumeWaiting()
{
    if (!m_waitingFor || !m_waitingFor->isFinished())
        return;
    const std::shared_ptr<CVNDeferredResult> result = std::move(m_waitingFor);
    m_waitingFor.reset();
    disconnect(result.get(), nullptr, this, nullptr);
    CVNPendingOptionList options = m_heldOptions ? *m_heldOptions : CVNPendingOptionList();
    m_heldOptions.reset();
    int code = CVNCommandLineDeviceExecuter::finishDeferred(options, *result, m_outputStream);
    if (code == CVNOptionResult::Processed)
        consumeOptions(code, options);
    if (isWaiting()) {
        holdOptions(options);
        return;
    }
    QJsonObject response = m_heldResponse;
    m_heldResponse = QJsonObject();
    response.insert(QStringLiteral("cli"), CVNSSParseCLI::answer(takeOutput(), options, code));
    sendDocument(response);
    m_guard->answerWritten();
    if (m_connection && m_connection->state() == QAbstractSocket::ConnectedState)
        m_connection->flush();
    // Requests that came in meanwhile.
    handleReceived();
}

void CVNServerSession::close()
{
    if (m_connection)
        m_connection->disconnectFromHost();
}

void CVNServerSession::closeAndDelete()
{
    if (m_closing)
        return;
    m_closing = true;
    // The server forgets the session first, so that it never holds a
    // session that is already deleted.
    if (m_connection && m_server->sessions().value(m_connection) == this) {
        m_server->closedConnection(m_connection);
        return;
    }
    close();
    deleteLater();
}

void CVNServerSession::disconnected() {}
void CVNServerSession::stateChanged(QAbstractSocket::SocketState) {}
void CVNServerSession::aboutToClose() {}

void CVNServerSession::error(QAbstractSocket::SocketError socketError)
{
    qCDebug(lcServer) << "session socket error" << socketError;
    closeAndDelete();
}

void CVNServerSession::deviceRemoved()
{
    selectDefaultDevice();
}

void CVNServerSession::connectionTypeChanged()
{
    if (!m_connection || m_connection->peerType() != DesktopLink)
        return;
    const QStringList serials = m_devices.keys();
    for (const QString& serial : serials) {
        CVNDeviceInterface* view = m_devices.value(serial);
        if (view && view->name() == openViewAdvanced())
            (void)setDeviceView(serial, openViewCorvaneLink());
    }
}

#include "simserver.h"

#include "controlhandler.h"
#include "simconnection.h"
#include "trafficlog.h"
#include "virtualcontroller.h"

#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace corvanesim {

namespace {

constexpr int ProbeConnectMs = 300;

bool socketInUse(const QString& path)
{
    QLocalSocket probe;
    probe.connectToServer(path);
    const bool inUse = probe.waitForConnected(ProbeConnectMs);
    probe.abort();
    return inUse;
}

}  // namespace

CVNSimServer::CVNSimServer(QObject* parent) : QObject(parent) {}

CVNSimServer::~CVNSimServer()
{
    close();
}

bool CVNSimServer::listen(const QString& path, QString* error)
{
    if (QFile::exists(path)) {
        if (socketInUse(path)) {
            *error = QStringLiteral("socket %1 is in use by a running simulator").arg(path);
            return false;
        }
        QLocalServer::removeServer(path);
    }
    // The socket file appears only once it accepts connections: bound and
    // listening under a name of its own first, then renamed into place.
    // Whoever waits for the file (tests, scripts, the service) never meets
    // a socket that is bound but refuses.
    const QString pending = path + QStringLiteral(".new");
    QLocalServer::removeServer(pending);
    m_server = new QLocalServer(this);
    bool listening = m_server->listen(pending);
    QString reason = m_server->errorString();
    if (listening && std::rename(QFile::encodeName(pending).constData(), QFile::encodeName(path).constData()) != 0) {
        listening = false;
        reason = QString::fromLocal8Bit(std::strerror(errno));
    }
    if (!listening) {
        *error = QStringLiteral("cannot listen on %1: %2").arg(path, reason);
        delete m_server;
        m_server = nullptr;
        QFile::remove(pending);
        return false;
    }
    m_path = path;
    connect(m_server, &QLocalServer::newConnection, this, &CVNSimServer::acceptConnections);
    return true;
}

void CVNSimServer::close()
{
    const QList<CVNSimConnection*> connections = m_connections;
    m_connections.clear();
    for (CVNSimConnection* c : connections) {
        c->disconnect(this);
        c->close();
        c->deleteLater();
    }
    if (m_server) {
        m_server->close();
        delete m_server;
        m_server = nullptr;
        QFile::remove(m_path);
    }
}

void CVNSimServer::acceptConnections()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        auto* connection = new CVNSimConnection(socket, this);
        connect(connection, &CVNSimConnection::closed, this, &CVNSimServer::forget);
        m_connections.append(connection);
    }
}

void CVNSimServer::forget(CVNSimConnection* connection)
{
    m_connections.removeAll(connection);
    connection->deleteLater();
}

void CVNSimServer::notifyWatchers(const QString& line)
{
    const QList<CVNSimConnection*> connections = m_connections;
    for (CVNSimConnection* c : connections) {
        if (c->role() == CVNSimConnection::Role::Watch)
            c->sendLine(line);
    }
}

bool CVNSimServer::plug(const ControllerSetup& setup, QString* error)
{
    const QString key = setup.serial.toLower();
    if (m_controllers.contains(key)) {
        *error = QStringLiteral("a controller with serial %1 is already plugged").arg(setup.serial);
        return false;
    }
    std::shared_ptr<CVNVirtualController> controller = CVNVirtualController::create(setup, error);
    if (!controller)
        return false;
    controller->setTrafficSink([this](const QString& line) {
        if (m_traffic)
            m_traffic->append(line);
    });
    // Never from inside the transfer that caused it: its answer goes out first.
    controller->setBusHook([this, key](int delayMs) {
        QTimer::singleShot(delayMs, this, [this, key] { reenumerate(key); });
    });
    m_controllers.insert(key, controller);
    for (const UsbInterface& i : controller->interfaces())
        notifyWatchers(QStringLiteral("arrived ") + i.fields());
    emit plugged(setup.serial);
    return true;
}

bool CVNSimServer::unplug(const QString& serial, QString* error)
{
    const std::shared_ptr<CVNVirtualController> controller = m_controllers.take(serial.toLower());
    if (!controller) {
        *error = QStringLiteral("no controller with serial %1").arg(serial);
        return false;
    }
    const QList<CVNSimConnection*> connections = m_connections;  // closing changes the list
    for (CVNSimConnection* c : connections) {
        if (c->role() == CVNSimConnection::Role::Handle && controller->hasInterface(c->handlePath()))
            c->close();
    }
    for (const UsbInterface& i : controller->interfaces())
        notifyWatchers(QStringLiteral("removed path=") + i.path);
    emit unplugged(controller->serial());
    return true;
}

void CVNSimServer::reenumerate(const QString& key)
{
    const std::shared_ptr<CVNVirtualController> controller = m_controllers.value(key);
    if (!controller)
        return;  // unplugged meanwhile
    const QList<UsbInterface> before = controller->interfaces();
    if (!controller->applyBusChange())
        return;
    const QList<CVNSimConnection*> connections = m_connections;
    for (CVNSimConnection* c : connections) {
        if (c->role() != CVNSimConnection::Role::Handle)
            continue;
        for (const UsbInterface& i : before) {
            if (i.path.compare(c->handlePath(), Qt::CaseInsensitive) == 0)
                c->close();
        }
    }
    for (const UsbInterface& i : before)
        notifyWatchers(QStringLiteral("removed path=") + i.path);
    for (const UsbInterface& i : controller->interfaces())
        notifyWatchers(QStringLiteral("arrived ") + i.fields());
}

CVNVirtualController* CVNSimServer::controller(const QString& serial) const
{
    return m_controllers.value(serial.toLower()).get();
}

CVNVirtualController* CVNSimServer::controllerForPath(const QString& path) const
{
    for (const auto& c : m_controllers) {
        if (c->hasInterface(path))
            return c.get();
    }
    return nullptr;
}

QList<UsbInterface> CVNSimServer::interfaces() const
{
    QList<UsbInterface> result;
    for (const auto& c : m_controllers)
        result += c->interfaces();
    return result;
}

QStringList CVNSimServer::control(const QString& line)
{
    CVNControlHandler handler(this);
    return handler.handle(line);
}

}  // namespace corvanesim

#include "webconsole/webconsole.h"

#include "com/comlimits.h"
#include "com/commanager.h"
#include "webconsole/comconnectionwebsocket.h"
#include "webconsole/consolelimits.h"
#include "webconsole/consolelogging.h"
#include "webconsole/httprequest.h"

#include <QSettings>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

namespace {

const QString kGroup = QStringLiteral("ApplicationServer");
const QString kCommunication = QStringLiteral("communication");
const QString kEnabledKey = QStringLiteral("web-console");

QSettings appSettings()
{
    return QSettings(QStringLiteral("Corvane"), QStringLiteral("CorvaneService"));
}

QString peerOf(const QTcpSocket* socket)
{
    return QStringLiteral("%1:%2").arg(socket->peerAddress().toString()).arg(socket->peerPort());
}

} // namespace

CVNWebConsole::CVNWebConsole(CVNComManager* manager, QObject* parent)
    : QObject(parent)
    , m_manager(manager)
    , m_server(this)
    , m_webSockets(new QWebSocketServer(QStringLiteral("CorvaneService"), QWebSocketServer::NonSecureMode, this))
{
    connect(&m_server, &QTcpServer::newConnection, this, &CVNWebConsole::onNewConnection);
    connect(m_webSockets, &QWebSocketServer::newConnection, this, &CVNWebConsole::onWebSocket);
}

CVNWebConsole::~CVNWebConsole()
{
    // Sockets still in their request die with the console.
    for (const QPointer<QTcpSocket>& socket : qAsConst(m_pending)) {
        if (socket)
            disconnect(socket, nullptr, this, nullptr);
    }
}

bool CVNWebConsole::storedEnabled()
{
    QSettings settings = appSettings();
    settings.beginGroup(kGroup);
    settings.beginGroup(kCommunication);
    const bool enabled = settings.value(kEnabledKey, false).toBool();
    settings.endGroup();
    settings.endGroup();
    return enabled;
}

bool CVNWebConsole::setEnabled(bool enabled)
{
    QSettings settings = appSettings();
    settings.beginGroup(kGroup);
    settings.beginGroup(kCommunication);
    settings.setValue(kEnabledKey, enabled);
    settings.endGroup();
    settings.endGroup();
    settings.sync();
    return start();
}

bool CVNWebConsole::start()
{
    m_error.clear();
    if (!storedEnabled()) {
        stop();
        return true;
    }
    const bool network = m_manager->listenAddress() == QHostAddress::Any;
    if (m_server.isListening() && network == m_networkAllowed)
        return true;
    // Another address, or a resume after a pause, keeps the port where it
    // can: an open page reconnects.
    m_server.close();
    const QHostAddress address(network ? QHostAddress::Any : QHostAddress::LocalHost);
    if (!(m_lastPort && m_server.listen(address, m_lastPort)) && !m_server.listen(address, 0)) {
        m_error = m_server.errorString();
        qCWarning(lcWebConsole) << "web console cannot listen:" << m_error;
        return false;
    }
    m_networkAllowed = network;
    m_lastPort = m_server.serverPort();
    m_access.setAddress(m_lastPort, network);
    qCDebug(lcWebConsole) << "web console listening on port" << m_server.serverPort();
    return true;
}

void CVNWebConsole::stop()
{
    m_server.close();
}

QString CVNWebConsole::url() const
{
    if (!m_server.isListening())
        return QString();
    return QStringLiteral("http://127.0.0.1:%1/%2/").arg(port()).arg(QString::fromLatin1(m_access.token()));
}

void CVNWebConsole::onNewConnection()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        if (m_pending.size() >= CVNConsoleLimits::kMaxPendingRequests) {
            qCWarning(lcWebConsole).noquote() << "refusing console connection" << peerOf(socket) << "with"
                                              << m_pending.size() << "requests open";
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // A head larger than this is refused anyway.
        socket->setReadBufferSize(CVNConsoleLimits::kMaxRequestHeadBytes);
        m_pending.insert(socket, socket);
        connect(socket, &QObject::destroyed, this, [this, socket] { m_pending.remove(socket); });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        // Bound to the console: a socket handed on to the WebSocket server
        // may outlive it.
        QTimer::singleShot(CVNConsoleLimits::kRequestHeadTimeoutMs, this, [this, guarded = QPointer<QTcpSocket>(socket)] {
            if (guarded && m_pending.contains(guarded) && guarded->property("answered").isNull())
                answer(guarded, CVNConsolePages::refusal(408, "no whole request in time"));
        });
    }
}

void CVNWebConsole::onReadyRead(QTcpSocket* socket)
{
    if (!socket->property("answered").isNull())
        return;
    // Peeked, not read: a WebSocket handshake is handed on with its bytes.
    const CVNHttpRequest request = CVNHttpRequest::parse(socket->peek(CVNConsoleLimits::kMaxRequestHeadBytes));
    if (request.status == CVNHttpRequest::Status::Incomplete)
        return;
    if (request.status == CVNHttpRequest::Status::Broken) {
        qCDebug(lcWebConsole).noquote() << "console request from" << peerOf(socket) << "refused:" << request.refusalStatus;
        answer(socket, CVNConsolePages::refusal(request.refusalStatus, "malformed request"));
        return;
    }
    const CVNConsoleAccess::Decision decision = m_access.decide(request);
    switch (decision.kind) {
    case CVNConsoleAccess::Kind::Refused:
        qCWarning(lcWebConsole).noquote() << "console request from" << peerOf(socket) << "refused:" << decision.reason;
        answer(socket, CVNConsolePages::refusal(decision.status, decision.reason));
        return;
    case CVNConsoleAccess::Kind::Page: {
        const QByteArray body = m_pages.file(decision.path);
        if (body.isNull()) {
            answer(socket, CVNConsolePages::refusal(404, "no such page"));
            return;
        }
        answer(socket, CVNConsolePages::response(200, CVNConsolePages::contentType(decision.path), body,
                                                 request.method == "HEAD"));
        return;
    }
    case CVNConsoleAccess::Kind::WebSocket:
        if (m_clients >= CVNConsoleLimits::kMaxConsoleClients
            || m_manager->connections().size() >= CVNComLimits::kMaxClientConnections) {
            qCWarning(lcWebConsole).noquote() << "refusing console client" << peerOf(socket) << "with" << m_clients
                                              << "console clients connected";
            answer(socket, CVNConsolePages::refusal(503, "too many clients"));
            return;
        }
        upgrade(socket);
        return;
    }
}

void CVNWebConsole::answer(QTcpSocket* socket, const QByteArray& response)
{
    socket->setProperty("answered", true);
    socket->write(response);
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        socket->deleteLater();
        return;
    }
    // A browser that takes nothing is cut off; until then it counts as open.
    QTimer::singleShot(CVNComLimits::kCloseLingerMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
}

void CVNWebConsole::upgrade(QTcpSocket* socket)
{
    m_pending.remove(socket);
    disconnect(socket, nullptr, this, nullptr);
    disconnect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    m_webSockets->handleConnection(socket);
}

void CVNWebConsole::onWebSocket()
{
    while (QWebSocket* webSocket = m_webSockets->nextPendingConnection()) {
        auto* connection = new CVNComConnectionWebSocket(webSocket, m_manager);
        connection->setTypes(m_manager->type(), Unknown);
        ++m_clients;
        connect(connection, &QObject::destroyed, this, [this] { --m_clients; });
        qCDebug(lcWebConsole) << "console client" << connection->endpoint().host() << connection->endpointPort();
        m_manager->addConnection(connection);
    }
}

#include "webconsole/comconnectionwebsocket.h"

#include "com/binaryjson.h"
#include "com/comlimits.h"
#include "com/jsontextcheck.h"
#include "com/receivebudget.h"
#include "webconsole/consolelimits.h"
#include "webconsole/consolelogging.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QTimer>

CVNComConnectionWebSocket::CVNComConnectionWebSocket(QWebSocket* socket, QObject* parent)
    : CVNComConnection(HostEndpoint(socket->peerAddress(), socket->peerPort()), parent)
    , m_socket(socket)
{
    m_socket->setParent(this);
    m_socket->setMaxAllowedIncomingMessageSize(CVNConsoleLimits::kMaxMessageBytes);
    m_socket->setMaxAllowedIncomingFrameSize(CVNConsoleLimits::kMaxMessageBytes);
    m_socket->setReadBufferSize(CVNConsoleLimits::kSocketReadChunk);
    connect(m_socket, &QWebSocket::textMessageReceived, this, &CVNComConnectionWebSocket::onTextMessage);
    connect(m_socket, &QWebSocket::binaryMessageReceived, this, &CVNComConnectionWebSocket::onBinaryMessage);
    connect(m_socket, &QWebSocket::disconnected, this, &CVNComConnection::disconnected);
    connect(m_socket, &QWebSocket::stateChanged, this, &CVNComConnection::stateChanged);
    connect(m_socket, QOverload<QAbstractSocket::SocketError>::of(&QWebSocket::error), this,
            &CVNComConnection::error);
    connect(m_socket, &QWebSocket::aboutToClose, this, &CVNComConnection::aboutToClose);
    connect(m_socket, &QWebSocket::bytesWritten, this, &CVNComConnection::bytesWritten);
}

CVNComConnectionWebSocket::~CVNComConnectionWebSocket()
{
    releaseQueue();
}

QHostAddress CVNComConnectionWebSocket::localAddress() const { return m_socket->localAddress(); }
quint16 CVNComConnectionWebSocket::localPort() const { return m_socket->localPort(); }
QString CVNComConnectionWebSocket::peerName() const { return m_socket->peerName(); }
QAbstractSocket::SocketState CVNComConnectionWebSocket::state() const { return m_socket->state(); }
bool CVNComConnectionWebSocket::flush() { return m_socket->flush(); }
qint64 CVNComConnectionWebSocket::bytesToWrite() const { return m_socket->bytesToWrite(); }

// The peer's address only: the request's own address holds the token.
QUrl CVNComConnectionWebSocket::url() const
{
    QUrl url;
    url.setScheme(QStringLiteral("ws"));
    url.setHost(endpoint().host());
    url.setPort(endpointPort());
    return url;
}

QByteArray CVNComConnectionWebSocket::readAll()
{
    QByteArray bytes;
    bytes.swap(m_incoming);
    releaseQueue();
    return bytes;
}

qint64 CVNComConnectionWebSocket::write(const QString& text)
{
    return m_socket->sendTextMessage(text);
}

qint64 CVNComConnectionWebSocket::write(const QByteArray& bytes, int /*flag*/)
{
    QJsonObject object;
    if (!CVNBinaryJson::decodeObject(bytes, CVNComLimits::kStreamDocumentLimits, &object))
        return -1;
    return writeDocument(object);
}

qint64 CVNComConnectionWebSocket::writeDocument(const QJsonObject& object)
{
    return m_socket->sendTextMessage(QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact)));
}

QByteArray CVNComConnectionWebSocket::documentOfText(const QByteArray& text, QString* error)
{
    const CVNBinaryJson::CheckResult check = CVNJsonText::checkLimits(text, CVNComLimits::kStreamDocumentLimits);
    if (!check.ok) {
        *error = QStringLiteral("a message over the document limits: ") + check.reason;
        return QByteArray();
    }
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(text, &parseError);
    if (parseError.error != QJsonParseError::NoError || document.isNull()) {
        *error = QStringLiteral("a message that is no JSON document: ") + parseError.errorString();
        return QByteArray();
    }
    return CVNBinaryJson::encodeDocument(document);
}

void CVNComConnectionWebSocket::onTextMessage(const QString& message)
{
    if (m_refused)
        return;
    QString error;
    const QByteArray document = documentOfText(message.toUtf8(), &error);
    if (document.isEmpty()) {
        refuse(error);
        return;
    }
    if (!queue(document))
        return;
    emit readyRead();
}

void CVNComConnectionWebSocket::onBinaryMessage(const QByteArray& message)
{
    (void)message;
    refuse(QStringLiteral("a binary message (documents go as JSON text)"));
}

bool CVNComConnectionWebSocket::queue(const QByteArray& document)
{
    if (m_incoming.size() + document.size() > CVNConsoleLimits::kMaxQueuedRequestBytes) {
        refuse(QStringLiteral("requests piled up unread beyond %1 bytes").arg(CVNConsoleLimits::kMaxQueuedRequestBytes));
        return false;
    }
    // What waits here counts against the receive budget of all clients.
    if (!CVNReceiveBudget::shared().reserve(document.size())) {
        refuse(QStringLiteral("the receive budget of all clients is spent"));
        return false;
    }
    m_reserved += document.size();
    m_incoming += document;
    return true;
}

void CVNComConnectionWebSocket::releaseQueue()
{
    CVNReceiveBudget::shared().release(m_reserved);
    m_reserved = 0;
}

void CVNComConnectionWebSocket::refuse(const QString& reason)
{
    if (m_refused)
        return;
    m_refused = true;
    m_incoming.clear();
    releaseQueue();
    qCWarning(lcWebConsole).noquote() << "closing console client" << endpoint().host() << endpointPort() << "that sent"
                                      << reason;
    m_socket->close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("refused"));
    QTimer::singleShot(CVNComLimits::kCloseLingerMs, m_socket, [socket = m_socket] {
        if (socket->state() != QAbstractSocket::UnconnectedState)
            socket->abort();
    });
}

void CVNComConnectionWebSocket::connectToHost(const QHostAddress&, quint16) {}
void CVNComConnectionWebSocket::connectToHost(const QUrl&) {}

void CVNComConnectionWebSocket::disconnectFromHost()
{
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        return;
    m_socket->close();
    // A peer that takes nothing must not keep the connection open.
    QTimer::singleShot(CVNComLimits::kCloseLingerMs, m_socket, [socket = m_socket] {
        if (socket->state() != QAbstractSocket::UnconnectedState)
            socket->abort();
    });
}

void CVNComConnectionWebSocket::abort()
{
    m_socket->abort();
}

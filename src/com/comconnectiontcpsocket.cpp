#include "com/comconnectiontcpsocket.h"

#include "com/comlimits.h"

#include <QTimer>

CVNComConnectionTcpSocket::CVNComConnectionTcpSocket(const QHostAddress& address, quint16 port, QObject* parent)
    : CVNComConnection(HostEndpoint(address, port), parent)
    , m_socket(new QTcpSocket(this))
{
    adoptSocket();
}

CVNComConnectionTcpSocket::CVNComConnectionTcpSocket(const QHostAddress& address, quint16 port,
                                                     QTcpSocket* socket, QObject* parent)
    : CVNComConnection(HostEndpoint(address, port), parent)
    , m_socket(socket ? socket : new QTcpSocket(this))
{
    m_socket->setParent(this);
    adoptSocket();
}

void CVNComConnectionTcpSocket::adoptSocket()
{
    // Bounds what a single readAll() returns; the rest waits in the kernel.
    m_socket->setReadBufferSize(CVNComLimits::kSocketReadChunk);
    // Request and answer turns: neither end may hold a document back until
    // the other acknowledges the previous one (Nagle against delayed ACK).
    setLowDelay();
    connect(m_socket, &QTcpSocket::connected, this, &CVNComConnectionTcpSocket::setLowDelay);
    connect(m_socket, &QTcpSocket::connected, this, &CVNComConnection::connected);
    connect(m_socket, &QTcpSocket::disconnected, this, &CVNComConnection::disconnected);
    connect(m_socket, &QTcpSocket::stateChanged, this, &CVNComConnection::stateChanged);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &CVNComConnection::error);
    connect(m_socket, &QTcpSocket::readyRead, this, &CVNComConnection::readyRead);
    connect(m_socket, &QTcpSocket::aboutToClose, this, &CVNComConnection::aboutToClose);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &CVNComConnection::bytesWritten);
}

void CVNComConnectionTcpSocket::setLowDelay()
{
    if (m_socket->state() == QAbstractSocket::ConnectedState)
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
}

QHostAddress CVNComConnectionTcpSocket::localAddress() const
{
    return m_socket->localAddress();
}

quint16 CVNComConnectionTcpSocket::localPort() const
{
    return m_socket->localPort();
}

QString CVNComConnectionTcpSocket::peerName() const
{
    return m_socket->peerName();
}

QUrl CVNComConnectionTcpSocket::url() const
{
    const QHostAddress address = endpointAddress();
    QString host = endpoint().host();
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        host = QLatin1Char('[') + host + QLatin1Char(']');
    return QUrl::fromUserInput(host + QLatin1Char(':') + QString::number(endpointPort()));
}

QAbstractSocket::SocketState CVNComConnectionTcpSocket::state() const
{
    return m_socket->state();
}

QByteArray CVNComConnectionTcpSocket::readAll()
{
    return m_socket->readAll();
}

qint64 CVNComConnectionTcpSocket::write(const QString& text)
{
    return m_socket->write(text.toUtf8());
}

qint64 CVNComConnectionTcpSocket::write(const QByteArray& bytes, int /*flag*/)
{
    return m_socket->write(bytes);
}

bool CVNComConnectionTcpSocket::flush()
{
    return m_socket->flush();
}

qint64 CVNComConnectionTcpSocket::bytesToWrite() const
{
    return m_socket->bytesToWrite();
}

void CVNComConnectionTcpSocket::connectToHost(const QHostAddress& address, quint16 port)
{
    m_socket->connectToHost(address, port, QIODevice::ReadWrite);
}

void CVNComConnectionTcpSocket::connectToHost(const QUrl& url)
{
    m_socket->connectToHost(url.host(QUrl::FullyDecoded), quint16(url.port(80)), QIODevice::ReadWrite,
                            QAbstractSocket::AnyIPProtocol);
}

void CVNComConnectionTcpSocket::disconnectFromHost()
{
    m_socket->disconnectFromHost();
    // The socket waits for its last bytes to be taken before it closes; a
    // peer that never takes them must not keep it (and its place) forever.
    if (m_socket->state() == QAbstractSocket::ClosingState) {
        QTimer::singleShot(CVNComLimits::kCloseLingerMs, m_socket, [socket = m_socket] {
            if (socket->state() == QAbstractSocket::ClosingState)
                socket->abort();
        });
    }
}

void CVNComConnectionTcpSocket::abort()
{
    m_socket->abort();
}

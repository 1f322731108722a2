#pragma once

#include "com/connectiontype.h"
#include "com/hostendpoint.h"

#include <QAbstractSocket>
#include <QHostAddress>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QPair>
#include <QUrl>

// One conversation between a client and the service over a transport
// stream: the identity of both ends (connection types and node ids) and the
// transport's signals, forwarded so that users connect only here.
class CVNComConnection : public QObject
{
    Q_OBJECT
public:
    // (service node id, client node id)
    using IdPair = QPair<QString, QString>;

    CVNComConnection(const HostEndpoint& endpoint, QObject* parent = nullptr);
    ~CVNComConnection() override;

    virtual QHostAddress localAddress() const = 0;
    virtual quint16 localPort() const = 0;
    virtual QString peerName() const = 0;
    virtual QUrl url() const = 0;
    virtual QAbstractSocket::SocketState state() const = 0;
    [[nodiscard]] virtual QByteArray readAll() = 0;
    virtual qint64 write(const QString& text) = 0;
    // The flag is accepted for transports that need one; callers pass 0.
    virtual qint64 write(const QByteArray& bytes, int flag) = 0;
    virtual bool flush() = 0;
    // Bytes written but not yet handed to the transport (0 when unbuffered).
    virtual qint64 bytesToWrite() const { return 0; }

    // Encodes the document as binary JSON (see binaryjson.h) and writes it;
    // a transport with its own document form overrides it.
    virtual qint64 writeDocument(const QJsonObject& object);
    qint64 writeDocument(const QJsonDocument& document);

    HostEndpoint endpoint() const { return m_endpoint; }
    QHostAddress endpointAddress() const { return m_endpoint.address(); }
    int endpointPort() const { return m_endpoint.port(); }
    ConnectionType localType() const { return m_localType; }
    ConnectionType peerType() const { return m_peerType; }
    IdPair idPair() const { return m_idPair; }

    // Stores both types and emits connectionTypeChanged().
    void setTypes(ConnectionType localType, ConnectionType peerType);
    // Stores both ids; emits nothing.
    void setIdPair(const QString& serviceId, const QString& clientId);

public slots:
    virtual void connectToHost(const QHostAddress& address, quint16 port) = 0;
    virtual void connectToHost(const QUrl& url) = 0;
    virtual void disconnectFromHost() = 0;
    // Ends the connection at once, dropping what is not yet sent.
    virtual void abort() { disconnectFromHost(); }

signals:
    void connected();
    void disconnected();
    void stateChanged(QAbstractSocket::SocketState state);
    void error(QAbstractSocket::SocketError socketError);
    void readyRead();
    void aboutToClose();
    void connectionTypeChanged();
    // The transport took `bytes` of what was written.
    void bytesWritten(qint64 bytes);

private:
    ConnectionType m_localType = Unknown;
    ConnectionType m_peerType = Unknown;
    HostEndpoint m_endpoint;
    IdPair m_idPair;
};

#pragma once

#include "com/comconnection.h"
#include "com/compeermanager.h"
#include "com/comserver.h"
#include "com/connectiontype.h"
#include "com/hostendpoint.h"

#include <QAbstractSocket>
#include <QHostAddress>
#include <QList>
#include <QObject>

// Owns every live connection of this process and brings new ones into
// being: a service listens on TCP and answers discovery, a client discovers
// services and connects to them. Users learn of connections only through
// addedConnection and removedConnection.
class CVNComManager : public QObject
{
    Q_OBJECT
public:
    explicit CVNComManager(ConnectionType type, QObject* parent = nullptr);
    ~CVNComManager() override;

    QString nodeId() const { return m_nodeId; }
    ConnectionType type() const { return m_type; }
    QHostAddress::SpecialAddress listenAddress() const { return m_listenAddress; }
    QList<CVNComConnection*> connections() const { return m_connections; }

    // The connection whose endpoint equals the given one, or null.
    CVNComConnection* connection(const HostEndpoint& endpoint) const;
    // The first connection whose endpoint address matches, or null.
    CVNComConnection* connection(const QHostAddress& address) const;
    bool hasConnection(const HostEndpoint& endpoint) const { return connection(endpoint) != nullptr; }
    bool hasConnection(const QHostAddress& address) const { return connection(address) != nullptr; }
    // Whether a connection carries this id pair, in either order.
    bool hasConnectionWithIdPair(const QString& first, const QString& second) const;

    // Takes a connection into the list (once) and watches it for its end.
    void addConnection(CVNComConnection* connection);

    CVNComServer& server() { return m_server; }
    CVNComPeerManager& peerManager() { return m_peerManager; }

    // Discovery port for this instance (tests; see CVNComPeerManager).
    void setDiscoveryPort(quint16 port) { m_peerManager.setDiscoveryPort(port); }

public slots:
    void start(QHostAddress::SpecialAddress address);
    void start() { start(QHostAddress::Any); }
    void stop();
    void connectionClosed();

signals:
    void addedConnection(CVNComConnection* connection);
    void removedConnection(CVNComConnection* connection);

private slots:
    void onConnectionStateChanged(QAbstractSocket::SocketState state);

private:
    void removeConnection(CVNComConnection* connection);
    QString buildNodeId() const;

    ConnectionType m_type;
    QList<CVNComConnection*> m_connections;
    CVNComPeerManager m_peerManager;
    CVNComServer m_server;
    QHostAddress::SpecialAddress m_listenAddress = QHostAddress::Null;
    QString m_nodeId;
    int m_instanceNumber;
};

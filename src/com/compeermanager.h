#pragma once

#include "com/connectiontype.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTimer>
#include <QUdpSocket>

class CVNComConnection;
class CVNComManager;

// UDP discovery. A service answers discovery datagrams on the discovery
// port and learns the identity of clients from their connection-info
// datagrams; a client broadcasts discovery datagrams and opens a TCP
// connection to every service that answers.
class CVNComPeerManager : public QObject
{
    Q_OBJECT
public:
    CVNComPeerManager(ConnectionType type, CVNComManager* manager);

    void start(QHostAddress::SpecialAddress address);
    void stop();
    void setServerPort(quint16 port) { m_serverPort = port; }
    quint16 serverPort() const { return m_serverPort; }

    // The port services bind and clients send to. Tests that must not use
    // the fixed port set another one (0 lets a service's system choose).
    void setDiscoveryPort(quint16 port) { m_discoveryPort = port; }
    quint16 discoveryPort() const { return m_discoveryPort; }
    // Local port of the UDP socket; 0 when stopped.
    quint16 boundPort() const { return m_socket.localPort(); }

    QByteArray discoveryDatagram() const { return m_discoveryDatagram; }
    QList<QHostAddress> broadcastTargets() const { return m_broadcastTargets; }
    QList<QHostAddress> ownAddresses() const { return m_ownAddresses; }

    // The per-datagram steps of the two readers.
    void handleServiceDatagram(const QByteArray& data, const QHostAddress& sender, quint16 senderPort);
    void handleClientDatagram(const QByteArray& data, const QHostAddress& sender, quint16 senderPort);

public slots:
    void sendBroadcastDatagramClient();
    void readBroadcastDatagramClient();
    void establishConnection();
    void readBroadcastDatagramService();

signals:
    void newConnection(CVNComConnection* connection);

private:
    using DatagramHandler = void (CVNComPeerManager::*)(const QByteArray&, const QHostAddress&, quint16);
    void readPendingDatagrams(DatagramHandler handler);
    void refreshAddressLists();
    bool bindSocket(QHostAddress::SpecialAddress address, quint16 port);

    ConnectionType m_type;
    CVNComManager* m_manager;
    QList<QHostAddress> m_broadcastTargets;
    QList<QHostAddress> m_ownAddresses;
    QUdpSocket m_socket;
    QTimer m_sendTimer;
    QByteArray m_discoveryDatagram;
    quint16 m_serverPort = 0;
    quint16 m_discoveryPort;
    QHostAddress::SpecialAddress m_listenAddress = QHostAddress::LocalHost;
};

#pragma once

#include "com/comlimits.h"

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

class CVNComManager;
class QTcpSocket;

// The service's TCP listener. Accepted sockets become connections of the
// manager, unless the manager already has one to the same peer endpoint.
class CVNComServer : public QObject
{
    Q_OBJECT
public:
    explicit CVNComServer(CVNComManager* manager);

    // Listens on the address with a port chosen by the system; does nothing
    // when already listening. False when listening failed.
    [[nodiscard]] bool listen(const QHostAddress& address);
    // 0 when not listening.
    quint16 serverPort() const;
    QHostAddress serverAddress() const { return m_server.serverAddress(); }
    bool isListening() const { return m_server.isListening(); }
    void close();

    // Client connections accepted at once; the next one is refused with a
    // document {"error": refusalText()} and closed.
    int maxConnections() const { return m_maxConnections; }
    void setMaxConnections(int count) { m_maxConnections = count; }
    static QString refusalText();

public slots:
    void onNewConnection();

private:
    void refuse(QTcpSocket* socket);

    QTcpServer m_server;
    CVNComManager* m_manager;
    int m_maxConnections = CVNComLimits::kMaxClientConnections;
};

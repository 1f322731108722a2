#pragma once

#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

class CVNComManager;

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

public slots:
    void onNewConnection();

private:
    QTcpServer m_server;
    CVNComManager* m_manager;
};

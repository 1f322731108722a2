#pragma once

#include "webconsole/consoleaccess.h"
#include "webconsole/consolepages.h"

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QTcpServer>

class CVNComManager;
class QTcpSocket;
class QWebSocketServer;

// The web console: the service serves its own pages to a browser and
// carries the browser's requests over a WebSocket into an ordinary session
// (the connection is handed to the communication manager like a TCP client,
// so the application server makes a session for it). Off unless enabled;
// the setting is stored beside the listen type. It listens on 127.0.0.1,
// or on every address while clients from the network are allowed.
class CVNWebConsole : public QObject
{
    Q_OBJECT
public:
    explicit CVNWebConsole(CVNComManager* manager, QObject* parent = nullptr);
    ~CVNWebConsole() override;

    // The stored switch ("web-console" in the communication settings).
    static bool storedEnabled();
    // Stores the switch and opens or closes the console. False with
    // errorText() when it should open and cannot listen.
    [[nodiscard]] bool setEnabled(bool enabled);

    // Opens the console when the stored switch says so, on the listen
    // address of the communication manager; closes it otherwise.
    [[nodiscard]] bool start();
    // Closes the listener; connected browsers stay (like TCP clients).
    void stop();

    bool isListening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.isListening() ? m_server.serverPort() : 0; }
    bool networkAllowed() const { return m_networkAllowed; }
    // The address to open, with its token; empty while closed.
    QString url() const;
    QString errorText() const { return m_error; }
    const CVNConsoleAccess& access() const { return m_access; }
    CVNConsoleAccess& access() { return m_access; }
    int pendingRequests() const { return m_pending.size(); }
    int clients() const { return m_clients; }

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket* socket);
    void answer(QTcpSocket* socket, const QByteArray& response);
    void upgrade(QTcpSocket* socket);
    void onWebSocket();

    CVNComManager* m_manager;
    QTcpServer m_server;
    QWebSocketServer* m_webSockets;
    CVNConsoleAccess m_access;
    CVNConsolePages m_pages;
    QHash<QTcpSocket*, QPointer<QTcpSocket>> m_pending;
    int m_clients = 0;
    quint16 m_lastPort = 0;
    bool m_networkAllowed = false;
    QString m_error;
};

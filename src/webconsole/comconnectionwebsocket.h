#pragma once

#include "com/comconnection.h"

#include <QByteArray>
#include <QWebSocket>

// A client connection over a WebSocket, carrying the service's documents as
// JSON text: a text message holds one request document and every answer
// and notification goes out as one. Towards the session it behaves like a
// TCP connection: requests arrive as binary JSON bytes through readAll(),
// so the session's own framing, limits and guard apply unchanged.
class CVNComConnectionWebSocket : public CVNComConnection
{
    Q_OBJECT
public:
    // Takes the socket over (it becomes a child).
    explicit CVNComConnectionWebSocket(QWebSocket* socket, QObject* parent = nullptr);
    ~CVNComConnectionWebSocket() override;

    QHostAddress localAddress() const override;
    quint16 localPort() const override;
    QString peerName() const override;
    QUrl url() const override;
    QAbstractSocket::SocketState state() const override;
    [[nodiscard]] QByteArray readAll() override;
    qint64 write(const QString& text) override;
    // Binary JSON documents are sent as their JSON text; other bytes are not sent.
    qint64 write(const QByteArray& bytes, int flag) override;
    using CVNComConnection::writeDocument;
    qint64 writeDocument(const QJsonObject& object) override;
    bool flush() override;
    qint64 bytesToWrite() const override;

    // The binary JSON document of a message's JSON text, checked against
    // the document limits before it is parsed; empty with `error` set when
    // the text is no document within them.
    [[nodiscard]] static QByteArray documentOfText(const QByteArray& text, QString* error);

    // Requests converted and waiting to be read.
    qint64 queuedBytes() const { return m_incoming.size(); }

public slots:
    void connectToHost(const QHostAddress& address, quint16 port) override;
    void connectToHost(const QUrl& url) override;
    void disconnectFromHost() override;
    void abort() override;

private:
    void onTextMessage(const QString& message);
    void onBinaryMessage(const QByteArray& message);
    // Closes with a policy violation and logs why.
    void refuse(const QString& reason);
    [[nodiscard]] bool queue(const QByteArray& document);
    void releaseQueue();

    QWebSocket* m_socket;
    QByteArray m_incoming;
    qint64 m_reserved = 0;
    bool m_refused = false;
};

#pragma once

#include "com/comconnection.h"

#include <QTcpSocket>

// A connection over TCP; the only transport the system creates.
class CVNComConnectionTcpSocket : public CVNComConnection
{
    Q_OBJECT
public:
    // Outgoing connection: a new socket, unconnected until connectToHost.
    CVNComConnectionTcpSocket(const QHostAddress& address, quint16 port, QObject* parent = nullptr);
    // Accepted connection: adopts the listener's socket.
    CVNComConnectionTcpSocket(const QHostAddress& address, quint16 port, QTcpSocket* socket,
                              QObject* parent = nullptr);

    QHostAddress localAddress() const override;
    quint16 localPort() const override;
    QString peerName() const override;
    QUrl url() const override;
    QAbstractSocket::SocketState state() const override;
    [[nodiscard]] QByteArray readAll() override;
    qint64 write(const QString& text) override;
    qint64 write(const QByteArray& bytes, int flag) override;
    bool flush() override;
    qint64 bytesToWrite() const override;

    QTcpSocket* socket() const { return m_socket; }

public slots:
    void connectToHost(const QHostAddress& address, quint16 port) override;
    void connectToHost(const QUrl& url) override;
    void disconnectFromHost() override;
    void abort() override;

private:
    void adoptSocket();
    void setLowDelay();

    QTcpSocket* m_socket;
};

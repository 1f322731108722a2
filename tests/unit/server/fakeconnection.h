#pragma once

#include "com/binaryjson.h"
#include "com/comconnection.h"

#include <QJsonObject>
#include <QList>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

// A connection without a socket: bytes are fed in by the test, everything
// the service writes is kept and can be read back as documents.
class FakeConnection : public CVNComConnection
{
    Q_OBJECT
public:
    explicit FakeConnection(quint16 port = 40000)
        : CVNComConnection(HostEndpoint(QHostAddress(QHostAddress::LocalHost), port))
    {
    }

    QHostAddress localAddress() const override { return QHostAddress(QHostAddress::LocalHost); }
    quint16 localPort() const override { return 1; }
    QString peerName() const override { return QString(); }
    QUrl url() const override { return QUrl(); }
    QAbstractSocket::SocketState state() const override { return m_state; }
    QByteArray readAll() override
    {
        const QByteArray bytes = incoming;
        incoming.clear();
        return bytes;
    }
    qint64 write(const QString& text) override { return write(text.toUtf8(), 0); }
    qint64 write(const QByteArray& bytes, int) override
    {
        written += bytes;
        return bytes.size();
    }
    bool flush() override { return true; }
    void connectToHost(const QHostAddress&, quint16) override {}
    void connectToHost(const QUrl&) override {}
    void disconnectFromHost() override
    {
        ++disconnects;
        m_state = QAbstractSocket::UnconnectedState;
    }

    void feed(const QByteArray& bytes)
    {
        incoming += bytes;
        emit readyRead();
    }
    void send(const QJsonObject& document) { feed(CVNBinaryJson::encodeDocument(document)); }

    // Every complete document written so far, taken off the written bytes.
    QList<QJsonObject> takeDocuments()
    {
        QList<QJsonObject> documents;
        qint64 offset = 0;
        while (offset < written.size()) {
            const CVNBinaryJson::FrontResult front =
                CVNBinaryJson::decodeFront(written.constData() + offset, written.size() - offset, 1 << 24);
            if (front.status != CVNBinaryJson::FrontStatus::Complete)
                break;
            documents.append(front.document.object());
            offset += front.size;
        }
        written.remove(0, int(offset));
        return documents;
    }

    QByteArray incoming;
    QByteArray written;
    int disconnects = 0;

private:
    QAbstractSocket::SocketState m_state = QAbstractSocket::ConnectedState;
};

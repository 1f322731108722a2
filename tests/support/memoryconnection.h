#pragma once

#include "com/binaryjson.h"
#include "com/comconnection.h"

#include <QJsonObject>
#include <QList>

// A connection without a socket, for tests and fuzz targets: bytes are fed
// in by the caller, everything written is kept and can be read back as
// documents. Header-only so that the fuzz targets can use it without the
// test framework.
class MemoryConnection : public CVNComConnection
{
public:
    explicit MemoryConnection(quint16 port = 40000)
        : CVNComConnection(HostEndpoint(QHostAddress(QHostAddress::LocalHost), port))
    {
    }

    QHostAddress localAddress() const override { return QHostAddress(QHostAddress::LocalHost); }
    quint16 localPort() const override { return 1; }
    QString peerName() const override { return QString(); }
    QUrl url() const override { return QUrl(); }
    QAbstractSocket::SocketState state() const override
    {
        return closed() ? QAbstractSocket::UnconnectedState : QAbstractSocket::ConnectedState;
    }
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
    // What a client that does not read leaves queued; set by the test.
    qint64 bytesToWrite() const override { return unsent; }
    // The client takes part of the queue.
    void drain(qint64 bytes)
    {
        unsent -= bytes;
        emit bytesWritten(bytes);
    }
    void connectToHost(const QHostAddress&, quint16) override {}
    void connectToHost(const QUrl&) override {}
    void disconnectFromHost() override { ++disconnects; }

    bool closed() const { return disconnects > 0; }

    void feed(const QByteArray& bytes)
    {
        incoming += bytes;
        emit readyRead();
    }
    void send(const QJsonObject& document) { feed(CVNBinaryJson::encodeDocument(document)); }

    // Complete documents written so far, left in place.
    QList<QJsonObject> documents() const { return decode(nullptr); }
    // The same, taken off the written bytes.
    QList<QJsonObject> takeDocuments()
    {
        qint64 used = 0;
        const QList<QJsonObject> result = decode(&used);
        written.remove(0, int(used));
        return result;
    }

    QByteArray incoming;
    QByteArray written;
    int disconnects = 0;
    qint64 unsent = 0;

private:
    QList<QJsonObject> decode(qint64* used) const
    {
        QList<QJsonObject> result;
        qint64 offset = 0;
        while (offset < written.size()) {
            const CVNBinaryJson::FrontResult front =
                CVNBinaryJson::decodeFront(written.constData() + offset, written.size() - offset, 1 << 26);
            if (front.status != CVNBinaryJson::FrontStatus::Complete)
                break;
            result.append(front.document.object());
            offset += front.size;
        }
        if (used)
            *used = offset;
        return result;
    }
};

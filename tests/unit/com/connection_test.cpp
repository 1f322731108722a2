#include "comtesthelpers.h"

#include "com/comconnectiontcpsocket.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

#include <gtest/gtest.h>

using comtest::waitUntil;

TEST(ComConnectionTcpSocket, ForwardsTheSocketSignals)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress(QHostAddress::LocalHost), 0));
    CVNComConnectionTcpSocket connection(QHostAddress(QHostAddress::LocalHost), server.serverPort());
    QSignalSpy connected(&connection, &CVNComConnection::connected);
    QSignalSpy states(&connection, &CVNComConnection::stateChanged);
    QSignalSpy readyRead(&connection, &CVNComConnection::readyRead);
    QSignalSpy disconnected(&connection, &CVNComConnection::disconnected);

    EXPECT_EQ(connection.state(), QAbstractSocket::UnconnectedState);
    EXPECT_EQ(connection.url(), QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server.serverPort())));
    QMetaObject::invokeMethod(&connection, "connectToHost", Q_ARG(QHostAddress, QHostAddress(QHostAddress::LocalHost)),
                              Q_ARG(quint16, server.serverPort()));
    ASSERT_TRUE(connected.wait(5000));
    EXPECT_FALSE(states.isEmpty());
    EXPECT_EQ(connection.state(), QAbstractSocket::ConnectedState);
    EXPECT_EQ(connection.localAddress(), QHostAddress(QHostAddress::LocalHost));
    EXPECT_NE(connection.localPort(), 0);

    ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections(); }));
    QTcpSocket* peer = server.nextPendingConnection();
    EXPECT_EQ(peer->peerPort(), connection.localPort());
    peer->write("hello");
    ASSERT_TRUE(readyRead.wait(5000));
    EXPECT_EQ(connection.readAll(), QByteArray("hello"));

    EXPECT_EQ(connection.write(QStringLiteral("grüß")), 6);  // UTF-8 without terminator
    EXPECT_EQ(connection.writeDocument(QJsonObject()), 20);
    EXPECT_TRUE(connection.flush());
    ASSERT_TRUE(waitUntil([&] { return peer->bytesAvailable() >= 26; }));
    const QByteArray received = peer->readAll();
    EXPECT_EQ(received.left(6), QString("grüß").toUtf8());
    EXPECT_EQ(received.mid(6), CVNBinaryJson::encodeDocument(QJsonObject()));

    peer->disconnectFromHost();
    ASSERT_TRUE(disconnected.wait(5000));
    EXPECT_EQ(connection.state(), QAbstractSocket::UnconnectedState);
}

TEST(DocumentChannel, ClientModeActsOnTheLastCompleteDocument)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress(QHostAddress::LocalHost), 0));
    CVNComConnectionTcpSocket connection(QHostAddress(QHostAddress::LocalHost), server.serverPort());
    CVNDocumentChannel channel(&connection, CVNDocumentChannel::Mode::LastDocument);
    QList<QJsonObject> seen;
    QObject::connect(&channel, &CVNDocumentChannel::documentReceived,
                     [&](const QJsonDocument& document) { seen.append(document.object()); });
    connection.connectToHost(QHostAddress(QHostAddress::LocalHost), server.serverPort());
    ASSERT_TRUE(waitUntil([&] { return server.hasPendingConnections(); }));
    QTcpSocket* peer = server.nextPendingConnection();

    peer->write(CVNBinaryJson::encodeDocument(comtest::request(1)) + CVNBinaryJson::encodeDocument(comtest::request(2)));
    ASSERT_TRUE(waitUntil([&] { return !seen.isEmpty(); }));
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen.first(), comtest::request(2));
}

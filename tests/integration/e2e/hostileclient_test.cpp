// The service process against clients that send what no client should:
// each is closed alone, and the service keeps answering everybody else.
#include "hostiledocuments.h"
#include "runningservice.h"

#include "com/binaryjson.h"
#include "com/documentbuffer.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QJsonArray>
#include <QTcpSocket>
#include <QUdpSocket>

#include <gtest/gtest.h>

namespace
{

constexpr int kWaitMs = 10000;

// The service's TCP port, asked for as every client does.
quint16 discoverPort()
{
    QUdpSocket udp;
    if (!udp.bind(QHostAddress(QHostAddress::LocalHost), 0))
        return 0;
    const QJsonObject discovery { { "frame_type", "discovery" }, { "server_port", 0 }, { "type", "VeilCLI" },
        { "id", "hostile-client-test" } };
    QDeadlineTimer deadline(kWaitMs);
    while (!deadline.hasExpired()) {
        udp.writeDatagram(CVNBinaryJson::encodeDocument(discovery), QHostAddress(QHostAddress::LocalHost), 45001);
        if (!udp.waitForReadyRead(500))
            continue;
        while (udp.hasPendingDatagrams()) {
            QByteArray datagram(int(udp.pendingDatagramSize()), '\0');
            udp.readDatagram(datagram.data(), datagram.size());
            QJsonObject answer;
            if (CVNBinaryJson::decodeObject(datagram, CVNComLimits::kDatagramLimits, &answer))
                return quint16(answer.value("server_port").toInt());
        }
    }
    return 0;
}

class Client
{
public:
    bool connectTo(quint16 port)
    {
        m_socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
        return m_socket.waitForConnected(kWaitMs);
    }
    void send(const QByteArray& bytes)
    {
        m_socket.write(bytes);
        m_socket.flush();
    }
    // The value of a "ping" action, or an empty text without an answer.
    QString ping()
    {
        send(CVNBinaryJson::encodeDocument(QJsonObject { { "actions",
            QJsonObject { { "list", QJsonArray { QJsonObject { { "key", "ping" }, { "id", 1 } } } } } } }));
        QDeadlineTimer deadline(kWaitMs);
        while (!deadline.hasExpired() && m_socket.waitForReadyRead(int(deadline.remainingTime()))) {
            if (!m_buffer.append(m_socket.readAll()))
                return QString();
            if (const auto answer = m_buffer.takeNext())
                return answer->object()
                    .value("reactions").toObject()
                    .value("list").toArray()
                    .at(0).toObject()
                    .value("value").toString();
        }
        return QString();
    }
    // Whether the service closed this connection within the bound.
    bool closedByService()
    {
        QDeadlineTimer deadline(kWaitMs);
        while (m_socket.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
            m_socket.waitForReadyRead(100);
            (void)m_socket.readAll();
        }
        return m_socket.state() != QAbstractSocket::ConnectedState;
    }

private:
    QTcpSocket m_socket;
    CVNDocumentBuffer m_buffer;
};

} // namespace

TEST(HostileClient, DocumentsOverTheLimitsCloseOnlyTheirOwnConnection)
{
    RunningService service;
    ASSERT_TRUE(service.start());
    const quint16 port = discoverPort();
    ASSERT_NE(port, 0);
    Client bystander;
    ASSERT_TRUE(bystander.connectTo(port));
    ASSERT_EQ(bystander.ping(), "alive");

    struct Case {
        const char* name;
        QByteArray bytes;
    };
    const Case cases[] = {
        { "100,000 nested arrays (1.6 MB)", HostileDocuments::nestedArrays(100000) },
        { "2^40 arrays in 800 bytes", HostileDocuments::sharedArrays(40) },
        { "one string named 100,000 times", HostileDocuments::sharedString(100000) },
    };
    for (const Case& c : cases) {
        Client attacker;
        ASSERT_TRUE(attacker.connectTo(port)) << c.name;
        attacker.send(c.bytes);
        EXPECT_TRUE(attacker.closedByService()) << c.name;
        EXPECT_EQ(bystander.ping(), "alive") << c.name;
        Client next;
        ASSERT_TRUE(next.connectTo(port)) << c.name;
        EXPECT_EQ(next.ping(), "alive") << c.name;
    }
    EXPECT_EQ(service.stop(), 0) << "exit code of the service after SIGTERM";
}

TEST(HostileClient, RequestToolRefusesTextOverTheLimitsBeforeParsingIt)
{
    const QString deep = QString(100, QLatin1Char('[')) + QString(100, QLatin1Char(']'));
    // As deep as one command-line argument (128 KiB at most) can hold.
    const QString deepest = QString(50000, QLatin1Char('[')) + QString(50000, QLatin1Char(']'));
    for (const QString& text : { QStringLiteral("{\"actions\": ") + deep + QLatin1Char('}'), deepest }) {
        QProcess tool;
        tool.start(QStringLiteral(CORVANE_BIN_DIR "/corvane-request"), { QStringLiteral("--port"), QStringLiteral("9"), text });
        ASSERT_TRUE(tool.waitForFinished(kWaitMs));
        EXPECT_EQ(tool.exitCode(), 1);
        EXPECT_EQ(tool.readAllStandardError(), "corvane-request: request refused: nested deeper than 64 levels\n");
    }
}

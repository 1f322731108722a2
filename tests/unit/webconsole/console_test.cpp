// The web console as a browser meets it over loopback: pages and
// refusals, requests carried over the WebSocket as JSON text, and what one
// browser may cost the service.

#include "com/binaryjson.h"
#include "com/commanager.h"
#include "com/receivebudget.h"
#include "webconsole/comconnectionwebsocket.h"
#include "webconsole/consolelimits.h"
#include "webconsole/webconsole.h"

#include "eventwait.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkRequest>
#include <QPointer>
#include <QTcpSocket>
#include <QWebSocket>

#include <memory>
#include <vector>

namespace {

class WebConsoleTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_console.setEnabled(true)) << qPrintable(m_console.errorText());
        ASSERT_TRUE(m_console.isListening());
        QObject::connect(&m_manager, &CVNComManager::addedConnection, [this](CVNComConnection* connection) {
            m_connections.push_back(connection);
        });
    }

    void TearDown() override { (void)m_console.setEnabled(false); }

    QString base() const { return QStringLiteral("127.0.0.1:%1").arg(m_console.port()); }

    // A raw request; the whole answer once the console closed.
    QByteArray fetch(const QByteArray& bytes)
    {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, m_console.port());
        if (!socket.waitForConnected(3000))
            return QByteArray();
        socket.write(bytes);
        QByteArray answer;
        waitUntil([&] {
            answer += socket.readAll();
            return socket.state() == QAbstractSocket::UnconnectedState;
        });
        return answer + socket.readAll();
    }

    std::unique_ptr<QWebSocket> openWebSocket(const QString& origin)
    {
        auto socket = std::make_unique<QWebSocket>(origin);
        QNetworkRequest request(QUrl(QStringLiteral("ws://%1/%2/ws").arg(base(), QString::fromLatin1(m_console.access().token()))));
        socket->open(request);
        return socket;
    }

    std::unique_ptr<QWebSocket> connectedWebSocket()
    {
        auto socket = openWebSocket(QStringLiteral("http://") + base());
        EXPECT_TRUE(waitUntil([&] { return socket->state() == QAbstractSocket::ConnectedState; }));
        return socket;
    }

    CVNComManager m_manager{Service};
    CVNWebConsole m_console{&m_manager};
    std::vector<CVNComConnection*> m_connections;
};

} // namespace

TEST_F(WebConsoleTest, ServesItsPagesBelowTheTokenAndRefusesTheRest)
{
    const QByteArray token = m_console.access().token();
    const QByteArray host = "Host: " + base().toLatin1() + "\r\n";
    const QByteArray page = fetch("GET /" + token + "/ HTTP/1.1\r\n" + host + "\r\n");
    EXPECT_TRUE(page.startsWith("HTTP/1.1 200 OK\r\n")) << page.left(200).constData();
    EXPECT_TRUE(page.contains("Content-Security-Policy: default-src 'none'"));
    EXPECT_TRUE(page.contains("<script type=\"module\" src=\"js/main.js\">"));
    EXPECT_TRUE(fetch("GET /" + token + "/js/main.js HTTP/1.1\r\n" + host + "\r\n").contains("text/javascript"));
    EXPECT_TRUE(fetch("GET /" + token + "/nothing.js HTTP/1.1\r\n" + host + "\r\n").startsWith("HTTP/1.1 404"));
    const QByteArray refused = fetch("GET / HTTP/1.1\r\n" + host + "\r\n");
    EXPECT_TRUE(refused.startsWith("HTTP/1.1 403")) << refused.constData();
    EXPECT_TRUE(refused.contains("--web-console"));
    EXPECT_TRUE(fetch("GET /" + token + "/ HTTP/1.1\r\nHost: rebound.example:1\r\n\r\n").startsWith("HTTP/1.1 403"));
    EXPECT_TRUE(fetch("GET /" + token + "/" + QByteArray(9000, 'a')).startsWith("HTTP/1.1 431"));
    EXPECT_EQ(m_console.url(), QStringLiteral("http://%1/%2/").arg(base(), QString::fromLatin1(token)));
}

TEST_F(WebConsoleTest, CarriesDocumentsAsJsonTextBothWays)
{
    auto socket = connectedWebSocket();
    ASSERT_TRUE(waitUntil([&] { return m_connections.size() == 1; }));
    CVNComConnection* connection = m_connections.front();
    QByteArray received;
    QObject::connect(connection, &CVNComConnection::readyRead, [&] { received += connection->readAll(); });

    socket->sendTextMessage(QStringLiteral(R"({"actions": {"list": [{"key": "th", "id": 1, "value": 40}]}})"));
    ASSERT_TRUE(waitUntil([&] { return !received.isEmpty(); }));
    const CVNBinaryJson::FrontResult front = CVNBinaryJson::decodeFront(received.constData(), received.size(), CVNComLimits::kStreamDocumentLimits);
    ASSERT_EQ(front.status, CVNBinaryJson::FrontStatus::Complete);
    EXPECT_EQ(front.size, received.size());
    EXPECT_EQ(front.document.object().value(QStringLiteral("actions")).toObject().value(QStringLiteral("list")).toArray()
                  .at(0).toObject().value(QStringLiteral("value")).toInt(), 40);

    QString answer;
    QObject::connect(socket.get(), &QWebSocket::textMessageReceived, [&](const QString& text) { answer = text; });
    connection->writeDocument(QJsonObject{{QStringLiteral("reactions"), QJsonObject{}}});
    ASSERT_TRUE(waitUntil([&] { return !answer.isEmpty(); }));
    EXPECT_EQ(answer, QStringLiteral(R"({"reactions":{}})"));
    // What was left unread was given back to the budget of all clients.
    EXPECT_EQ(CVNReceiveBudget::shared().used(), 0);
}

TEST_F(WebConsoleTest, ClosesABrowserThatSendsWhatIsNoDocumentOrTooMuch)
{
    struct Case {
        const char* what;
        std::function<void(QWebSocket&)> send;
    };
    const Case cases[] = {
        {"no JSON", [](QWebSocket& s) { s.sendTextMessage(QStringLiteral("{\"actions\": ")); }},
        {"a bare number", [](QWebSocket& s) { s.sendTextMessage(QStringLiteral("7")); }},
        {"nesting past the limit", [](QWebSocket& s) { s.sendTextMessage(QString(100, QLatin1Char('[')) + QString(100, QLatin1Char(']'))); }},
        {"binary", [](QWebSocket& s) { s.sendBinaryMessage(QByteArray("qbjs")); }},
        {"a message over the bound", [](QWebSocket& s) {
             s.sendTextMessage(QStringLiteral("[\"") + QString(int(CVNConsoleLimits::kMaxMessageBytes), QLatin1Char('a')) + QStringLiteral("\"]"));
         }},
    };
    for (const Case& c : cases) {
        auto socket = connectedWebSocket();
        c.send(*socket);
        EXPECT_TRUE(waitUntil([&] { return socket->state() == QAbstractSocket::UnconnectedState; }, 10000)) << c.what;
    }
    EXPECT_TRUE(waitUntil([] { return CVNReceiveBudget::shared().used() == 0; }));
}

TEST_F(WebConsoleTest, ClosesABrowserWhoseRequestsPileUpUnread)
{
    // Nobody reads this connection, as when its session has paused it.
    auto socket = connectedWebSocket();
    ASSERT_TRUE(waitUntil([&] { return m_connections.size() == 1; }));
    QPointer<CVNComConnectionWebSocket> connection = static_cast<CVNComConnectionWebSocket*>(m_connections.front());
    qint64 mostQueued = 0;
    QObject::connect(connection.data(), &CVNComConnection::readyRead, [&] { mostQueued = qMax(mostQueued, connection->queuedBytes()); });
    const QString request = QStringLiteral(R"({"actions": {"list": [{"key": "devices_all", "id": "%1"}]}})").arg(QString(2000, QLatin1Char('x')));
    for (int i = 0; i < 2000 && socket->state() == QAbstractSocket::ConnectedState; ++i) {
        socket->sendTextMessage(request);
        if (i % 50 == 0)
            QTest::qWait(1);
    }
    EXPECT_TRUE(waitUntil([&] { return socket->state() == QAbstractSocket::UnconnectedState && !connection; }, 10000));
    EXPECT_GT(mostQueued, CVNConsoleLimits::kMaxQueuedRequestBytes / 2);
    EXPECT_LE(mostQueued, CVNConsoleLimits::kMaxQueuedRequestBytes);
    EXPECT_EQ(CVNReceiveBudget::shared().used(), 0);
}

TEST_F(WebConsoleTest, RefusesWebSocketsFromOtherSitesAndBeyondTheCap)
{
    auto foreign = openWebSocket(QStringLiteral("http://evil.example"));
    EXPECT_TRUE(waitUntil([&] { return foreign->state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_TRUE(m_connections.empty());

    std::vector<std::unique_ptr<QWebSocket>> clients;
    for (int i = 0; i < CVNConsoleLimits::kMaxConsoleClients; ++i)
        clients.push_back(connectedWebSocket());
    EXPECT_EQ(m_console.clients(), CVNConsoleLimits::kMaxConsoleClients);
    auto oneMore = openWebSocket(QStringLiteral("http://") + base());
    EXPECT_TRUE(waitUntil([&] { return oneMore->state() == QAbstractSocket::UnconnectedState; }));
    EXPECT_EQ(m_console.clients(), CVNConsoleLimits::kMaxConsoleClients);
    // A place becomes free when a browser goes.
    clients.front()->close();
    clients.erase(clients.begin());
    ASSERT_TRUE(waitUntil([&] { return m_console.clients() < CVNConsoleLimits::kMaxConsoleClients; }));
    clients.push_back(connectedWebSocket());
}

TEST_F(WebConsoleTest, BoundsTheConnectionsStillInTheirRequest)
{
    std::vector<std::unique_ptr<QTcpSocket>> silent;
    for (int i = 0; i < CVNConsoleLimits::kMaxPendingRequests + 4; ++i) {
        silent.push_back(std::make_unique<QTcpSocket>());
        silent.back()->connectToHost(QHostAddress::LocalHost, m_console.port());
    }
    EXPECT_TRUE(waitUntil([&] {
        int closed = 0;
        for (const auto& socket : silent)
            closed += socket->state() == QAbstractSocket::UnconnectedState ? 1 : 0;
        return closed == 4 && m_console.pendingRequests() == CVNConsoleLimits::kMaxPendingRequests;
    }));
}

TEST_F(WebConsoleTest, FollowsTheStoredSwitch)
{
    EXPECT_TRUE(CVNWebConsole::storedEnabled());
    // A pause and a resume keep the address, token and port.
    const QString url = m_console.url();
    m_console.stop();
    EXPECT_TRUE(m_console.url().isEmpty());
    ASSERT_TRUE(m_console.start());
    EXPECT_EQ(m_console.url(), url);
    ASSERT_TRUE(m_console.setEnabled(false));
    EXPECT_FALSE(m_console.isListening());
    EXPECT_TRUE(m_console.url().isEmpty());
    EXPECT_FALSE(CVNWebConsole::storedEnabled());
    ASSERT_TRUE(m_console.start());
    EXPECT_FALSE(m_console.isListening());
}

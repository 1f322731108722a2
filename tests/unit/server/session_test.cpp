// Sessions and the request document without devices, on fake connections.
#include "memoryconnection.h"

#include <ostream>

#include "cli/optionresult.h"
#include "com/binaryjson.h"
#include "com/comlimits.h"
#include "com/commanager.h"
#include "device/devicemanager.h"
#include "interface/entitycontext.h"
#include "server/applicationserver.h"
#include "server/propertyportaltoken.h"
#include "server/propertyurl.h"
#include "server/serverlimits.h"
#include "server/serversession.h"
#include "server/sessionslistproperty.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QTest>
#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

QJsonObject actions(const QJsonArray& list)
{
    return QJsonObject{{"actions", QJsonObject{{"list", list}}}};
}

QJsonObject act(const QString& key, QJsonObject extra = {})
{
    extra.insert("key", key);
    if (!extra.contains("id"))
        extra.insert("id", 1);
    return extra;
}

struct SessionTest : ::testing::Test
{
    CVNDeviceManager manager;
    std::unique_ptr<CVNApplicationServer> server = std::make_unique<CVNApplicationServer>(&manager);
    MemoryConnection* connection = new MemoryConnection();
    CVNServerSession* session = nullptr;

    void SetUp() override
    {
        connection->setParent(server.get());
        server->newConnection(connection);
        session = server->sessions().value(connection);
        ASSERT_NE(session, nullptr);
    }

    // Sends one document and returns the one response.
    QJsonObject ask(const QJsonObject& document)
    {
        connection->send(document);
        const QList<QJsonObject> documents = connection->takeDocuments();
        return documents.size() == 1 ? documents.first() : QJsonObject{{"test", "not exactly one answer"}};
    }

    QJsonObject askOne(const QJsonObject& action)
    {
        return ask(actions({action}))["reactions"].toObject()["list"].toArray().at(0).toObject();
    }

    QJsonObject cli(const QJsonArray& parser)
    {
        return ask(QJsonObject{{"cli", QJsonObject{{"parser", parser}}}})["cli"].toObject();
    }
};

int idOf(const QJsonObject& answer)
{
    return answer["reactions"].toObject()["list"].toArray().at(0).toObject()["id"].toInt();
}

QJsonObject option(const QString& name, const QStringList& values = {})
{
    return QJsonObject{{"option", name}, {"dash", 2}, {"values", QJsonArray::fromStringList(values)}};
}

// The wire rules (empty, array and mixed documents, order, split and broken
// streams) are covered by the server integration tests; these are the shapes
// they do not send.
TEST_F(SessionTest, MalformedActionsAreAnsweredNotFatal)
{
    EXPECT_EQ(ask(QJsonObject{{"actions", "x"}}), (QJsonObject{{"reactions", QJsonObject{{"list", QJsonArray()}}}}));
    const QJsonObject answer = askOne(QJsonObject{{"key", QJsonArray{1}}, {"id", "abc"}});
    EXPECT_EQ(answer["error"].toString(), "action not found");
    EXPECT_EQ(answer["id"].toString(), "abc");
}

TEST_F(SessionTest, ActionsBeyondTheLimitsAreAnsweredAsRefused)
{
    const int limit = CVNServerLimits::kMaxActionsPerRequest;
    QJsonArray list;
    for (int i = 0; i < limit + 3; ++i)
        list.append(act("ping", {{"id", i}}));
    list.append(42);  // not even an action: refused all the same
    const QJsonArray answers = ask(actions(list))["reactions"].toObject()["list"].toArray();
    ASSERT_EQ(answers.size(), list.size());
    EXPECT_EQ(answers[limit - 1].toObject(), (QJsonObject{{"id", limit - 1}, {"key", "ping"}, {"value", "alive"}}));
    const QString tooMany = QStringLiteral("action refused: more than %1 actions in one request").arg(limit);
    EXPECT_EQ(answers[limit].toObject(), (QJsonObject{{"id", limit}, {"key", "ping"}, {"error", tooMany}}));
    EXPECT_EQ(answers[limit + 2].toObject()["id"].toInt(), limit + 2);
    EXPECT_EQ(answers[limit + 3].toObject(), (QJsonObject{{"error", tooMany}}));

    // Actions whose answers grow past the bound (each copies its long id):
    // the rest are not run.
    list = QJsonArray();
    const QString padding(2000, QLatin1Char('x'));
    for (int i = 0; i < limit; ++i)
        list.append(i % 2 ? act("help", {{"id", padding}})
                          : act("portal_url", {{"id", padding}, {"value", QStringLiteral("https://h%1.example").arg(i)}}));
    const QJsonArray large = ask(actions(list))["reactions"].toObject()["list"].toArray();
    ASSERT_EQ(large.size(), limit);
    EXPECT_TRUE(large[0].toObject().contains("value"));
    const QString refused = large[limit - 1].toObject()["error"].toString();
    EXPECT_EQ(refused, QStringLiteral("action refused: answers of the request exceed %1 bytes")
                           .arg(CVNServerLimits::kMaxAnswerBytes));
    qint64 answered = 0;
    int lastRun = -1;
    for (int i = 0; i < limit; ++i) {
        if (large[i].toObject().contains("value")) {
            answered += CVNBinaryJson::encodeDocument(large[i].toObject()).size();
            lastRun = i;
        }
    }
    EXPECT_GT(answered, CVNServerLimits::kMaxAnswerBytes);
    EXPECT_LT(answered, CVNServerLimits::kMaxAnswerBytes + 64 * 1024);
    EXPECT_EQ(large[lastRun + 1].toObject()["error"].toString(), refused);
    // The refused writes were not made.
    auto* url = dynamic_cast<PropertyUrl*>(server->entity("portal_url"));
    ASSERT_NE(url, nullptr);
    const int lastWrite = lastRun % 2 ? lastRun - 1 : lastRun;
    EXPECT_EQ(url->url().toString(), QStringLiteral("https://h%1.example").arg(lastWrite));
}

TEST_F(SessionTest, ServiceAndSessionEntities)
{
    // Answers with devices are covered by the server integration tests.

    // Writing the token without devices sends nothing.
    EXPECT_EQ(askOne(act("settoken", {{"value", "abc"}}))["value"].toString(), "verifying");
    auto* token = dynamic_cast<PropertyPortalToken*>(session->sessionEntity("settoken"));
    ASSERT_NE(token, nullptr);
    EXPECT_EQ(token->pendingChecks(), 0);

    const QJsonArray sessions = askOne(act("sessions_list"))["value"].toArray();
    ASSERT_EQ(sessions.size(), 1);
    EXPECT_EQ(sessions[0].toObject()["connection"].toString(), "127.0.0.1:40000");
    EXPECT_EQ(sessions[0].toObject()["Type"].toString(), "Unknown");
    EXPECT_EQ(sessions[0].toObject()["time"].toString(), "0d, 0h 0m 0s");
}

TEST_F(SessionTest, PortalUrlIsCheckedOnTheCommandLineOnly)
{
    auto* url = dynamic_cast<PropertyUrl*>(server->entity("portal_url"));
    ASSERT_NE(url, nullptr);
    CVNEntityContext bad{{"not a url"}, {}};
    EXPECT_EQ(url->execute(bad), "invalid url");
    EXPECT_EQ(url->url().toString(), CVNApplicationServer::defaultPortalUrl());
    CVNEntityContext good{{"https://other.example/api"}, {}};
    EXPECT_EQ(url->execute(good), "https://other.example/api");

    EXPECT_EQ(askOne(act("portal_url", {{"value", "not a url"}}))["value"].toString(), "not a url");
}

// Batching, register errors and unregistering are covered on devices by the
// server integration tests; these are the entries and keys they do not use.
TEST_F(SessionTest, NotificationsOfServiceEntities)
{
    const QJsonObject registered = askOne(act("notifications", {{"register", QJsonArray{
        QJsonObject{{"key", "sessions_list"}}, 17}}}));
    EXPECT_EQ(registered["register"].toArray(),
              (QJsonArray{QJsonObject{{"key", "sessions_list"}, {"value", "registered"}},
                          QJsonObject{{"error", "key not found"}}}));

    // Another session sees the list of sessions change.
    auto* other = new MemoryConnection(40002);
    other->setParent(server.get());
    server->newConnection(other);
    QCoreApplication::processEvents();
    const QList<QJsonObject> documents = connection->takeDocuments();
    ASSERT_EQ(documents.size(), 1);
    EXPECT_EQ(documents[0]["notifications"].toObject()["list"].toArray()[0].toObject()["value"].toArray().size(), 2);
}

TEST_F(SessionTest, CommandLineWithoutDevices)
{
    const struct {
        QJsonObject option;
        QJsonArray output;
        QString status;
    } cases[] = {
        {option("device"), {"There is no device to select", ""}, "Error"},
        {option("device-cache"), {"device not found", ""}, "Finished"},
        {option("device-help"), {"device not found", ""}, "Error"},
        {option("device", {"7"}), {"Device 7 not found", ""}, "Error"},
        {option("session-device-view", {"basic"}), {"device not found", ""}, "Finished"},
    };
    for (const auto& c : cases) {
        const QJsonObject answer = cli({c.option});
        EXPECT_EQ(answer["output"].toArray(), c.output) << qPrintable(c.option["option"].toString());
        EXPECT_EQ(answer["status"].toString(), c.status) << qPrintable(c.option["option"].toString());
    }

    // Not executed without a device: left pending, reported as not found.
    const QJsonObject answer = cli({option("sessions-list"), option("gain", {"3"})});
    EXPECT_EQ(answer["status"].toString(), "NotFound");
    EXPECT_EQ(answer["parser"].toArray().size(), 1);
    EXPECT_EQ(answer["parser"].toArray()[0].toObject()["option"].toString(), "gain");
    EXPECT_EQ(answer["output"].toArray()[0].toString(), "sessions_list:");
}

TEST_F(SessionTest, SocketErrorEndsTheSessionOnce)
{
    QObject* sessionObject = session;
    QPointer<QObject> watch(sessionObject);
    emit connection->error(QAbstractSocket::RemoteHostClosedError);
    EXPECT_TRUE(server->sessions().isEmpty());
    EXPECT_EQ(connection->disconnects, 1);
    // The manager reports the closed connection afterwards: nothing more happens.
    server->closedConnection(connection);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(watch.isNull());
}

// A pause and a continue never open a local-only service to the network.
TEST_F(SessionTest, ResumeListensAsStored)
{
    server->communicationManager()->setDiscoveryPort(0);
    server->start();
    EXPECT_EQ(server->listenType(), int(QHostAddress::LocalHost));
    server->pause();
    server->resume();
    EXPECT_EQ(server->listenType(), int(QHostAddress::LocalHost));

    server->setListenType(QHostAddress::Any); // stored too
    server->pause();
    server->resume();
    EXPECT_EQ(server->listenType(), int(QHostAddress::Any));
    server->setListenType(QHostAddress::LocalHost);
    server->stop();
}

TEST(ServerTexts, ElapsedTime)
{
    const QDateTime start = QDateTime::fromSecsSinceEpoch(1000);
    EXPECT_EQ(CVNSessionsListProperty::elapsedText(start, start.addSecs(86400 + 3600 + 61)), "1d, 1h 1m 1s");
}

// A client that does not take its answers: its requests wait in the
// connection, and notifications end the connection instead of piling up.
TEST_F(SessionTest, RequestsWaitWhileTheClientLeavesItsAnswersUnsent)
{
    connection->send(actions({act("ping", {{"id", 1}})}));
    ASSERT_EQ(connection->takeDocuments().size(), 1);

    // The client stops reading: the next answer is still written, the
    // requests after it stay unread in the connection.
    connection->unsent = CVNComLimits::kPauseUnsentBytes + 1;
    connection->feed(CVNBinaryJson::encodeDocument(actions({act("ping", {{"id", 2}})}))
                     + CVNBinaryJson::encodeDocument(actions({act("ping", {{"id", 3}})})));
    QList<QJsonObject> answers = connection->takeDocuments();
    ASSERT_EQ(answers.size(), 1);
    EXPECT_EQ(idOf(answers[0]), 2);
    connection->send(actions({act("ping", {{"id", 4}})}));
    QCoreApplication::processEvents();
    EXPECT_TRUE(connection->takeDocuments().isEmpty());
    EXPECT_FALSE(connection->incoming.isEmpty());
    EXPECT_FALSE(connection->closed());

    // It takes its answers: the waiting requests are answered in order.
    connection->drain(connection->unsent);
    EXPECT_TRUE(QTest::qWaitFor([&] { return connection->documents().size() == 2; }, 2000));
    answers = connection->takeDocuments();
    ASSERT_EQ(answers.size(), 2);
    EXPECT_EQ(idOf(answers[0]), 3);
    EXPECT_EQ(idOf(answers[1]), 4);
    EXPECT_FALSE(connection->closed());
}

TEST_F(SessionTest, NotificationsToAClientThatDoesNotReadCloseItsConnection)
{
    session->sendDocument(QJsonObject{{"notification", 1}});
    EXPECT_EQ(connection->takeDocuments().size(), 1);
    connection->unsent = CVNComLimits::kMaxUnsentBytes + 1;
    session->sendDocument(QJsonObject{{"notification", 2}});
    EXPECT_TRUE(connection->takeDocuments().isEmpty());
    EXPECT_TRUE(connection->closed());
}

} // namespace

// A session whose client does not take its answers: its requests wait in
// the connection, and notifications end the connection instead of piling up.
#include "memoryconnection.h"

#include "com/comlimits.h"
#include "device/devicemanager.h"
#include "server/applicationserver.h"
#include "server/serversession.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QJsonObject ping(int id)
{
    return QJsonObject{
        {"actions", QJsonObject{{"list", QJsonArray{QJsonObject{{"key", "ping"}, {"id", id}}}}}}};
}

int answerId(const QJsonObject& answer)
{
    return answer["reactions"].toObject()["list"].toArray().at(0).toObject()["id"].toInt();
}

struct SessionFlow : ::testing::Test
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
};

} // namespace

TEST_F(SessionFlow, RequestsWaitWhileTheClientLeavesItsAnswersUnsent)
{
    connection->send(ping(1));
    ASSERT_EQ(connection->takeDocuments().size(), 1);

    // The client stops reading: the next answer is still written, the
    // requests after it stay unread in the connection.
    connection->unsent = CVNComLimits::kPauseUnsentBytes + 1;
    connection->feed(CVNBinaryJson::encodeDocument(ping(2)) + CVNBinaryJson::encodeDocument(ping(3)));
    QList<QJsonObject> answers = connection->takeDocuments();
    ASSERT_EQ(answers.size(), 1);
    EXPECT_EQ(answerId(answers[0]), 2);
    connection->send(ping(4));
    QCoreApplication::processEvents();
    EXPECT_TRUE(connection->takeDocuments().isEmpty());
    EXPECT_FALSE(connection->incoming.isEmpty());
    EXPECT_FALSE(connection->closed());

    // It takes its answers: the waiting requests are answered in order.
    connection->drain(connection->unsent);
    EXPECT_TRUE(QTest::qWaitFor([&] { return connection->documents().size() == 2; }, 2000));
    answers = connection->takeDocuments();
    ASSERT_EQ(answers.size(), 2);
    EXPECT_EQ(answerId(answers[0]), 3);
    EXPECT_EQ(answerId(answers[1]), 4);
    EXPECT_FALSE(connection->closed());
}

TEST_F(SessionFlow, NotificationsToAClientThatDoesNotReadCloseItsConnection)
{
    session->sendDocument(QJsonObject{{"notification", 1}});
    EXPECT_EQ(connection->takeDocuments().size(), 1);
    connection->unsent = CVNComLimits::kMaxUnsentBytes + 1;
    session->sendDocument(QJsonObject{{"notification", 2}});
    EXPECT_TRUE(connection->takeDocuments().isEmpty());
    EXPECT_TRUE(connection->closed());
}

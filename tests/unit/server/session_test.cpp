// Sessions and the request document without devices, on fake connections.
#include "fakeconnection.h"

#include "cli/optionresult.h"
#include "com/commanager.h"
#include "device/devicemanager.h"
#include "interface/entitycontext.h"
#include "server/applicationserver.h"
#include "server/optionhelpdevice.h"
#include "server/propertyportaltoken.h"
#include "server/propertyurl.h"
#include "server/serverlimits.h"
#include "server/serversession.h"
#include "server/sessionslistproperty.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QSettings>
#include <gtest/gtest.h>

namespace {

QJsonObject actions(const QJsonArray& list)
{
    return QJsonObject{{"actions", QJsonObject{{"list", list}}}};
}

QJsonObject act(const QString& key, QJsonObject extra = {})
{
    extra.insert(QStringLiteral("key"), key);
    if (!extra.contains(QStringLiteral("id")))
        extra.insert(QStringLiteral("id"), 1);
    return extra;
}

struct SessionTest : ::testing::Test
{
    CVNDeviceManager manager;
    std::unique_ptr<CVNApplicationServer> server = std::make_unique<CVNApplicationServer>(&manager);
    FakeConnection* connection = new FakeConnection();
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

QJsonObject option(const QString& name, const QStringList& values = {})
{
    return QJsonObject{{"option", name}, {"dash", 2}, {"values", QJsonArray::fromStringList(values)}};
}

TEST_F(SessionTest, RequestDocumentShapes)
{
    EXPECT_EQ(ask(QJsonObject()), (QJsonObject{{"error", "Request is empty"}}));
    connection->feed(CVNBinaryJson::encodeDocument(QJsonDocument(QJsonArray{QJsonObject{{"actions", 1}}})));
    EXPECT_EQ(connection->takeDocuments(), (QList<QJsonObject>{QJsonObject{{"error", "Request is empty"}}}));
    EXPECT_EQ(ask(QJsonObject{{"whatever", QJsonArray{1}}}), (QJsonObject{{"whatever", "key not found"}}));
    EXPECT_EQ(ask(QJsonObject{{"cli", 5}}), (QJsonObject{{"cli", QJsonObject{{"error", "parser not found in request"}}}}));

    // "actions" of the wrong shape: an empty list of answers.
    EXPECT_EQ(ask(QJsonObject{{"actions", "x"}}), (QJsonObject{{"reactions", QJsonObject{{"list", QJsonArray()}}}}));
    const QJsonObject answer = askOne(QJsonObject{{"key", QJsonArray{1}}, {"id", "abc"}});
    EXPECT_EQ(answer["error"].toString(), QStringLiteral("action not found"));
    EXPECT_EQ(answer["id"].toString(), QStringLiteral("abc"));
}

TEST_F(SessionTest, DocumentsAreAnsweredInOrderAndOnlyWhenComplete)
{
    const QByteArray one = CVNBinaryJson::encodeDocument(actions({act("ping", {{"id", 1}})}));
    const QByteArray two = CVNBinaryJson::encodeDocument(actions({act("ping", {{"id", 2}})}));
    connection->feed(one + two.left(7));
    QList<QJsonObject> documents = connection->takeDocuments();
    ASSERT_EQ(documents.size(), 1);
    EXPECT_EQ(documents[0]["reactions"].toObject()["list"].toArray()[0].toObject()["id"].toInt(), 1);
    connection->feed(two.mid(7));
    documents = connection->takeDocuments();
    ASSERT_EQ(documents.size(), 1);
    EXPECT_EQ(documents[0]["reactions"].toObject()["list"].toArray()[0].toObject()["id"].toInt(), 2);
}

TEST_F(SessionTest, BrokenStreamClosesTheConnectionOnly)
{
    connection->feed(QByteArray("qbjs\x02\x00\x00\x00 not a document", 24));
    EXPECT_EQ(connection->disconnects, 1);
    EXPECT_TRUE(connection->takeDocuments().isEmpty());
    auto* other = new FakeConnection(40001);
    other->setParent(server.get());
    server->newConnection(other);
    other->send(actions({act("ping")}));
    EXPECT_EQ(other->takeDocuments().size(), 1);
}

TEST_F(SessionTest, LongActionListsAreBounded)
{
    QJsonArray list;
    for (int i = 0; i < CVNServerLimits::kMaxActionsPerRequest + 10; ++i)
        list.append(act("ping", {{"id", i}}));
    EXPECT_EQ(ask(actions(list))["reactions"].toObject()["list"].toArray().size(),
              CVNServerLimits::kMaxActionsPerRequest);
}

TEST_F(SessionTest, ServiceAndSessionEntities)
{
    EXPECT_EQ(askOne(act("ping")), (QJsonObject{{"id", 1}, {"key", "ping"}, {"value", "alive"}}));
    EXPECT_EQ(askOne(act("portal_url"))["value"].toString(), CVNApplicationServer::defaultPortalUrl());
    EXPECT_EQ(askOne(act("version"))["value"].toString(), QStringLiteral("Session Manager 1.0.0\nNo Device found"));
    EXPECT_TRUE(askOne(act("devices_all"))["value"].toArray().isEmpty());
    EXPECT_EQ(askOne(act("device_lock", {{"value", "lock"}}))["value"].toObject(), (QJsonObject{{"value", "not_found"}}));
    EXPECT_TRUE(askOne(act("device-interface-list"))["value"].toArray().isEmpty());
    EXPECT_TRUE(askOne(act("sessiondeviceview"))["value"].toArray().isEmpty());

    // Writing the token without devices sends nothing.
    EXPECT_EQ(askOne(act("settoken", {{"value", "abc"}}))["value"].toString(), QStringLiteral("verifying"));
    auto* token = dynamic_cast<PropertyPortalToken*>(session->sessionEntity(QStringLiteral("settoken")));
    ASSERT_NE(token, nullptr);
    EXPECT_EQ(token->pendingChecks(), 0);

    const QJsonArray sessions = askOne(act("sessions_list"))["value"].toArray();
    ASSERT_EQ(sessions.size(), 1);
    EXPECT_EQ(sessions[0].toObject()["connection"].toString(), QStringLiteral("127.0.0.1:40000"));
    EXPECT_EQ(sessions[0].toObject()["Type"].toString(), QStringLiteral("Unknown"));
    EXPECT_EQ(sessions[0].toObject()["time"].toString(), QStringLiteral("0d, 0h 0m 0s"));

    const QJsonArray help = askOne(act("help"))["value"].toArray();
    QStringList modules;
    for (const QJsonValue& module : help)
        modules.append(module.toObject()["module"].toString());
    EXPECT_EQ(modules, (QStringList{"Connection", "Device", "Session"}));
    EXPECT_TRUE(help[0].toObject()["options"].toArray()[0].toString().startsWith(QStringLiteral("  -n, --list-clients")));
}

TEST_F(SessionTest, PortalUrlIsCheckedOnTheCommandLineOnly)
{
    auto* url = dynamic_cast<PropertyUrl*>(server->entity(QStringLiteral("portal_url")));
    ASSERT_NE(url, nullptr);
    CVNEntityContext bad{{QStringLiteral("not a url")}, {}};
    EXPECT_EQ(url->execute(bad), QStringLiteral("invalid url"));
    EXPECT_EQ(url->url().toString(), CVNApplicationServer::defaultPortalUrl());
    CVNEntityContext good{{QStringLiteral("https://other.example/api")}, {}};
    EXPECT_EQ(url->execute(good), QStringLiteral("https://other.example/api"));

    EXPECT_EQ(askOne(act("portal_url", {{"value", "not a url"}}))["value"].toString(), QStringLiteral("not a url"));
}

TEST_F(SessionTest, NotificationsAreBatchedPerEventLoopTurn)
{
    const QJsonObject registered = askOne(act("notifications", {{"register", QJsonArray{
        QJsonObject{{"key", "portal_url"}, {"device", ""}}, QJsonObject{{"key", "portal_url"}},
        QJsonObject{{"key", "nosuch"}}, 17}}}));
    EXPECT_EQ(registered["register"].toArray(),
              (QJsonArray{QJsonObject{{"key", "portal_url"}, {"value", "registered"}},
                          QJsonObject{{"key", "portal_url"}, {"value", "registered"}},
                          QJsonObject{{"key", "nosuch"}, {"error", "key not found"}},
                          QJsonObject{{"error", "key not found"}}}));
    EXPECT_FALSE(registered.contains(QStringLiteral("unregister")));

    ask(actions({act("portal_url", {{"value", "https://a.example"}}), act("portal_url", {{"value", "https://b.example"}})}));
    QCoreApplication::processEvents();
    EXPECT_EQ(connection->takeDocuments(),
              (QList<QJsonObject>{QJsonObject{{"notifications", QJsonObject{{"list", QJsonArray{
                  QJsonObject{{"key", "portal_url"}, {"value", "https://b.example"}}}}}}}}));

    // Another session sees the list of sessions change.
    askOne(act("notifications", {{"register", QJsonArray{QJsonObject{{"key", "sessions_list"}}}}}));
    auto* other = new FakeConnection(40002);
    other->setParent(server.get());
    server->newConnection(other);
    QCoreApplication::processEvents();
    const QList<QJsonObject> documents = connection->takeDocuments();
    ASSERT_EQ(documents.size(), 1);
    EXPECT_EQ(documents[0]["notifications"].toObject()["list"].toArray()[0].toObject()["value"].toArray().size(), 2);

    askOne(act("notifications", {{"unregister", QJsonArray{QJsonObject{{"key", "portal_url"}}, QJsonObject{{"key", "sessions_list"}}}}}));
    askOne(act("portal_url", {{"value", "https://c.example"}}));
    QCoreApplication::processEvents();
    EXPECT_TRUE(connection->takeDocuments().isEmpty());
}

TEST_F(SessionTest, CommandLineWithoutDevices)
{
    QJsonObject answer = cli({option("device")});
    EXPECT_EQ(answer["output"].toArray(), (QJsonArray{"There is no device to select"}));
    EXPECT_EQ(answer["status"].toString(), QStringLiteral("Error"));

    answer = cli({option("device-cache")});
    EXPECT_EQ(answer["output"].toArray(), (QJsonArray{"device not found"}));
    EXPECT_EQ(answer["status"].toString(), QStringLiteral("Finished"));

    answer = cli({option("device-help")});
    EXPECT_EQ(answer["output"].toArray(), (QJsonArray{"device not found"}));
    EXPECT_EQ(answer["status"].toString(), QStringLiteral("Error"));

    answer = cli({option("device", {"7"})});
    EXPECT_EQ(answer["output"].toArray(), (QJsonArray{"Device 7 not found", ""}));

    // Not executed without a device: left pending, reported as not found.
    answer = cli({option("sessions-list"), option("gain", {"3"})});
    EXPECT_EQ(answer["status"].toString(), QStringLiteral("NotFound"));
    EXPECT_EQ(answer["parser"].toArray().size(), 1);
    EXPECT_EQ(answer["parser"].toArray()[0].toObject()["option"].toString(), QStringLiteral("gain"));
    EXPECT_EQ(answer["output"].toArray()[0].toString(), QStringLiteral("sessions_list:"));

    answer = cli({option("session-device-view", {"basic"})});
    EXPECT_EQ(answer["output"].toArray()[0].toString(), QStringLiteral("device not found"));
    EXPECT_EQ(answer["status"].toString(), QStringLiteral("Finished"));
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

TEST_F(SessionTest, ListenTypeIsStoredAndResumeListensOnTheNetwork)
{
    server->communicationManager()->setDiscoveryPort(0);
    server->start();
    EXPECT_EQ(server->listenType(), int(QHostAddress::LocalHost));
    server->pause();
    server->resume();
    EXPECT_EQ(server->listenType(), int(QHostAddress::Any));
    server->setListenType(QHostAddress::LocalHost);
    EXPECT_EQ(server->listenType(), int(QHostAddress::LocalHost));
    QSettings settings(QStringLiteral("Corvane"), QStringLiteral("CorvaneService"));
    EXPECT_EQ(settings.value(QStringLiteral("ApplicationServer/communication/listen-type")).toInt(), 2);

    const QJsonObject answer = cli({option("allow-network")});
    EXPECT_EQ(answer["output"].toArray(), (QJsonArray{"False, listening to localhost clients only."}));
    server->stop();
}

TEST(ServerTexts, NamesAndTimes)
{
    EXPECT_EQ(CVNServerSession::clientTypeName(3), QStringLiteral("DesktopLink"));
    EXPECT_EQ(CVNServerSession::clientTypeName(9), QStringLiteral("Unknown"));
    const QDateTime start = QDateTime::fromSecsSinceEpoch(1000);
    EXPECT_EQ(CVNSessionsListProperty::elapsedText(start, start.addSecs(86400 + 3600 + 61)),
              QStringLiteral("1d, 1h 1m 1s"));
    EXPECT_EQ(PropertyPortalToken::statusText(0), QStringLiteral("invalid"));
    EXPECT_EQ(PropertyPortalToken::statusText(403), QStringLiteral("Forbidden"));
    EXPECT_EQ(PropertyPortalToken::statusText(404), QStringLiteral("Device not found"));
    EXPECT_EQ(PropertyPortalToken::statusText(500), QStringLiteral("Unauthorized access"));
    EXPECT_TRUE(PropertyUrl::isUsableUrl(QStringLiteral("http://127.0.0.1:8080/api")));
    EXPECT_FALSE(PropertyUrl::isUsableUrl(QStringLiteral("portal")));
}

} // namespace

namespace {

// A property with a fixed text, for the help lines of device options.
class TextProperty : public CVNProperty
{
public:
    TextProperty(const QString& command, const QString& description)
        : CVNProperty(QStringLiteral("p"), description, command, 3)
    {
    }
    QString typeName() const override { return QStringLiteral("int"); }
    QString execute(CVNEntityContext&) override { return QString(); }
    QString argumentHint() const override { return QStringLiteral("0..7"); }
    void setValue(const QJsonValue&) override {}
    QJsonValue value() override { return 0; }
};

TEST(DeviceHelpLine, PaddedOrWrappedLikeOptionHelp)
{
    TextProperty gain(QStringLiteral("gain"), QStringLiteral("Gain."));
    EXPECT_EQ(CVNOptionHelpDevice::entityLine(&gain), QStringLiteral(" --gain [0..7]").leftJustified(40) + "Gain.");
    TextProperty longOne(QStringLiteral("a-command-word-long-enough-to-wrap"), QStringLiteral("Wrapped."));
    EXPECT_EQ(CVNOptionHelpDevice::entityLine(&longOne),
              QStringLiteral(" --a-command-word-long-enough-to-wrap [0..7] \n") + QStringLiteral("Wrapped.").rightJustified(92));
}

} // namespace

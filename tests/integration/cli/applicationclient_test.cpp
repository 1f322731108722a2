#include "standinservice.h"

#include "cli/applicationclient.h"
#include "cli/optionresult.h"
#include "cli/pendingoption.h"
#include "com/comconnection.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
// Bound of every wait for the client: discovery, connection and the
// client's own service timer all fit well within it.
constexpr int kWaitMs = 15000;

class ClientTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        QSettings().remove(QStringLiteral("CLIClient"));
        client = std::make_unique<CVNApplicationClient>();
        client->output().setString(&text);
    }

    // Runs the options through the client the way the service client does:
    // local options synchronously, everything else answered later.
    int run(const QStringList& words)
    {
        EXPECT_TRUE(options.parse(QStringList{ QStringLiteral("CorvaneService") } + words)) << options.error().toStdString();
        QSignalSpy finished(client.get(), &CVNApplicationClient::optionsFinished);
        int result = 0;
        client->consumeOptions(result, options);
        if (result != CVNOptionResult::Wait)
            return result;
        if (!finished.wait(kWaitMs))
            return -1;
        return finished.first().first().toInt();
    }

    // What the client printed since the last call.
    QString printed()
    {
        client->output().flush();
        const QString result = text;
        text.clear();
        return result;
    }

    QString text;
    CVNPendingOptionList options;
    std::unique_ptr<CVNApplicationClient> client;
};

QString serviceEndpoint(StandInService& service)
{
    return QStringLiteral("127.0.0.1:%1").arg(service.port());
}
}

// The help merged from the service, a lost service and no service at all
// are run end to end against the real service.
TEST_F(ClientTest, VersionJoinsTheLocalAndTheSessionText)
{
    StandInService service;
    // The first call asks the service; the call after the answer gives the text.
    QString version;
    QSignalSpy ready(client.get(), &CVNApplicationClient::versionReady);
    int result = 0;
    client->version(result, version);
    ASSERT_EQ(result, CVNOptionResult::Wait);
    ASSERT_TRUE(ready.wait(kWaitMs));
    client->version(result, version);
    EXPECT_EQ(result, CVNOptionResult::Processed);
    EXPECT_EQ(version, "Protocol Communication v1.0.0\nSession Manager 1.0.0\nNo Device found");
}

TEST_F(ClientTest, FileReadForTheServiceAndTheCommandRepeated)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("settings.set");
    const QByteArray contents("\x00\x10\xffsettings", 11);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents);
    }
    StandInService service;
    EXPECT_EQ(run({ "--upload", path }), CVNOptionResult::Finished);
    EXPECT_EQ(printed(), "uploaded 11 bytes\n");
    EXPECT_EQ(service.uploaded, contents);
    ASSERT_EQ(service.requests.size(), 2);
    const QJsonObject repeated = service.requests.at(1)["cli"].toObject()["parser"].toArray().first().toObject();
    const QJsonObject file = repeated["file_operations"].toArray().first().toObject();
    EXPECT_EQ(file["filename"].toString(), path);
    EXPECT_EQ(file["result"].toString(), "File read successful");

    EXPECT_EQ(run({ "--upload", dir.filePath("missing") }), CVNOptionResult::Finished);
    EXPECT_EQ(printed(), "Cannot open file to " + dir.filePath("missing") + "\n");
}

TEST_F(ClientTest, FileWrittenForTheServiceOrNothingLeftBehind)
{
    QTemporaryDir dir;
    StandInService service;
    const QString path = dir.filePath("out.set");
    EXPECT_EQ(run({ "--download", path }), CVNOptionResult::Finished);
    EXPECT_EQ(printed(), "File write successful to " + path + "\n");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), service.downloadData);
    file.close();
    // The contents are not sent back with the status.
    const QJsonObject repeated = service.requests.last()["cli"].toObject()["parser"].toArray().first().toObject();
    EXPECT_TRUE(repeated["file_operations"].toArray().first().toObject()["data"].toString().isEmpty());

    const QString unwritable = dir.filePath("no-such-folder/out.set");
    EXPECT_EQ(run({ "--download", unwritable }), CVNOptionResult::Finished);
    EXPECT_EQ(printed(), "Cannot write to file to " + unwritable + "\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{ "out.set" });

    // An empty download is written as an empty file.
    service.downloadData.clear();
    EXPECT_EQ(run({ "--download", path }), CVNOptionResult::Finished);
    EXPECT_EQ(printed(), "File write successful to " + path + "\n");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().isEmpty());
}

TEST_F(ClientTest, FilesTheUserDidNotNameAreNeverTouched)
{
    QTemporaryDir dir;
    StandInService service;
    service.foreignWrite = dir.filePath("planted");
    service.foreignRead = dir.filePath("secret");
    {
        QFile secret(service.foreignRead);
        ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
        secret.write("private");
    }
    EXPECT_EQ(run({ "--foreign", dir.filePath("mine") }), CVNOptionResult::Finished);
    EXPECT_EQ(printed(), "foreign done\n");
    EXPECT_FALSE(QFile::exists(service.foreignWrite));
    EXPECT_EQ(service.foreignAnswers.value(service.foreignWrite).result, "Cannot write to file");
    EXPECT_EQ(service.foreignAnswers.value(service.foreignRead).result, "Cannot open file");
    EXPECT_TRUE(service.foreignAnswers.value(service.foreignRead).data.isEmpty());
}

TEST_F(ClientTest, ConnectionLostWhileTheServiceWorksEndsTheCommand)
{
    StandInService service;
    EXPECT_EQ(run({ "--hang" }), CVNOptionResult::Error);
    EXPECT_EQ(printed(), "Connection " + serviceEndpoint(service) + " lost\n");
    EXPECT_EQ(service.requests.size(), 1) << "the command is not sent a second time";
}

// --host and --ping run end to end.
TEST_F(ClientTest, ListHosts)
{
    StandInService service;
    EXPECT_EQ(run({ "-m", "50" }), CVNOptionResult::Processed);
    EXPECT_EQ(printed(), "Reachable hosts:\n\tService " + serviceEndpoint(service) + "\n");
}

TEST_F(ClientTest, HostThatNeverAnswersAndMalformedHosts)
{
    EXPECT_EQ(run({ "--host", "10.0.0.7", "100" }), CVNOptionResult::Error);
    EXPECT_EQ(printed(), "Service not found: 10.0.0.7\n");

    EXPECT_EQ(run({ "-a", "http://exa mple" }), CVNOptionResult::Error);
    EXPECT_EQ(printed(), "Invalid URL: http://exa mple\n");

    EXPECT_EQ(run({ "-a", "10.0.0.7", "soon" }), CVNOptionResult::Error);
    EXPECT_EQ(printed(), "Invalid arguments\n");
}

TEST_F(ClientTest, DiscoverNetworkSwitchesAndStoresTheListenAddress)
{
    EXPECT_EQ(run({ "--discover-network=YES" }), CVNOptionResult::Processed);
    EXPECT_EQ(printed(), "True, looking for network clients.\n");
    EXPECT_EQ(client->comManager().listenAddress(), QHostAddress::Any);
    EXPECT_EQ(QSettings().value("CLIClient/communication/listen-type").toInt(), 4);

    EXPECT_EQ(run({ "--discover-network", "0" }), CVNOptionResult::Processed);
    EXPECT_EQ(printed(), "False, looking for localhost clients only.\n");
    EXPECT_EQ(QSettings().value("CLIClient/communication/listen-type").toInt(), 2);
}

// A command-line option whose result comes later (a firmware upload): its
// client's answer waits, in order, while other clients are answered.
#include "eventwait.h"
#include "fakedfudevice.h"
#include "memoryconnection.h"

#include "device/devicedfu.h"
#include "device/devicemanager.h"
#include "device/dfusuffix.h"
#include "server/applicationserver.h"
#include "server/serversession.h"

#include <QJsonArray>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QByteArray vastaFile(int payloadSize)
{
    QByteArray file(payloadSize, 'p');
    file.append(QByteArray::fromHex("ffff" "0200" "2e3c" "0001") + "UFD" + char(16));
    const quint32 crc = CVNDfuSuffix::crc32(file.constData(), file.size());
    for (int shift = 0; shift < 32; shift += 8)
        file.append(char((crc >> shift) & 0xFF));
    return file;
}

QJsonObject cliRequest(const QString& path, const QJsonArray& files = {})
{
    QJsonObject option{{"option", "firmware-upload"}, {"dash", 2}, {"values", QJsonArray{path}}};
    if (!files.isEmpty())
        option.insert("file_operations", files);
    return QJsonObject{{"cli", QJsonObject{{"parser", QJsonArray{option, QJsonObject{{"option", "sessions-list"}, {"dash", 2}}}}}}};
}

QJsonObject versionRequest()
{
    return QJsonObject{{"actions", QJsonObject{{"list", QJsonArray{QJsonObject{{"key", "version"}, {"id", 7}}}}}}};
}

struct DeferredCliTest : ::testing::Test
{
    CVNDeviceManager manager;
    std::unique_ptr<CVNApplicationServer> server = std::make_unique<CVNApplicationServer>(&manager);
    std::shared_ptr<FakeDfuDevice> device = std::make_shared<FakeDfuDevice>();
    CVNDeviceParent* parent = new CVNDeviceParent("0200000001A3", "2.005", 3);
    RequestGate gate;

    MemoryConnection* connect()
    {
        auto* connection = new MemoryConnection();
        connection->setParent(server.get());
        server->newConnection(connection);
        return connection;
    }
    void SetUp() override
    {
        parent->addChild(new CVNDeviceDfu(parent, std::make_unique<FakeDfuHandle>(device)));
        server->deviceInserted(parent);
    }
    void TearDown() override
    {
        gate.release();
        server.reset();
        delete parent;
    }
};

TEST_F(DeferredCliTest, UploadAnswersItsClientLaterAndOthersAtOnce)
{
    MemoryConnection* uploader = connect();
    MemoryConnection* other = connect();

    // The file round trip first, as the client makes it.
    uploader->send(cliRequest("fw.bin"));
    QList<QJsonObject> answers = uploader->takeDocuments();
    ASSERT_EQ(answers.size(), 1);
    EXPECT_EQ(answers.first()["cli"].toObject()["status"].toString(), "FileOperation");

    device->onRequest = gate.holdAt("DNLOAD 1");
    const QJsonObject file{{"filename", "fw.bin"},
                           {"data", QString::fromLatin1(vastaFile(2500).toBase64())},
                           {"result", "File read successful"}};
    uploader->send(cliRequest("fw.bin", QJsonArray{file}));
    uploader->send(versionRequest());
    ASSERT_TRUE(gate.waitReached(5000));

    // Held: nothing for the uploader yet, its next request waits its turn;
    // the other client is served meanwhile.
    EXPECT_TRUE(uploader->takeDocuments().isEmpty());
    other->send(versionRequest());
    EXPECT_EQ(other->takeDocuments().size(), 1);

    gate.release();
    ASSERT_TRUE(waitUntil([&] { return uploader->documents().size() == 2; }));
    answers = uploader->takeDocuments();
    const QJsonObject cli = answers.at(0)["cli"].toObject();
    const QJsonArray output = cli["output"].toArray();
    ASSERT_GE(output.size(), 2);
    EXPECT_EQ(output.at(0).toString(), "firmware-upload: Firmware updated successfully");
    EXPECT_TRUE(output.at(1).toString().startsWith("sessions_list")) << "the options after it ran too";
    EXPECT_EQ(cli["status"].toString(), "Finished");
    EXPECT_TRUE(cli["parser"].toArray().isEmpty());
    EXPECT_TRUE(answers.at(1).contains("reactions")) << "answers stay in request order";
    EXPECT_EQ(device->count("DNLOAD"), 4);
}

TEST_F(DeferredCliTest, FailedUploadStopsTheOptionsAndLeavesNoFileBehind)
{
    MemoryConnection* uploader = connect();
    const QJsonObject file{{"filename", "fw.bin"},
                           {"data", QString::fromLatin1(QByteArray(100, 'x').toBase64())},
                           {"result", "File read successful"}};
    uploader->send(cliRequest("fw.bin", QJsonArray{file}));
    ASSERT_TRUE(waitUntil([&] { return uploader->documents().size() == 1; }));
    const QJsonObject cli = uploader->takeDocuments().first()["cli"].toObject();
    EXPECT_EQ(cli["output"].toArray().first().toString(), "firmware-upload: Firmware suffix check failed");
    EXPECT_EQ(cli["status"].toString(), "Error");
    const QJsonArray left = cli["parser"].toArray();
    ASSERT_EQ(left.size(), 2);
    EXPECT_FALSE(left.first().toObject().contains("file_operations")) << "the firmware does not travel back";
    EXPECT_EQ(device->count("DNLOAD"), 0);

    // A client that leaves while its upload runs does not stop it.
    device->onRequest = gate.holdAt("DNLOAD 0");
    MemoryConnection* leaving = connect();
    const QJsonObject good{{"filename", "fw.bin"},
                           {"data", QString::fromLatin1(vastaFile(100).toBase64())},
                           {"result", "File read successful"}};
    leaving->send(cliRequest("fw.bin", QJsonArray{good}));
    ASSERT_TRUE(gate.waitReached(5000));
    server->closedConnection(leaving);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    gate.release();
    ASSERT_TRUE(waitUntil([&] { return device->gone.load(); }));
}

}  // namespace

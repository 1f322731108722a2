// A command-line option whose result comes later (a firmware upload): its
// client's answer waits, in order, while other clients are answered.
#include "eventwait.h"
#include "fakedfudevice.h"
#include "memoryconnection.h"

#include "device/devicedfu.h"
#include "device/devicemanager.h"
#include "device/dfusuffix.h"
#include "server/applicationserver.h"

#include <QJsonArray>
#include <gtest/gtest.h>

namespace {

QJsonObject uploadRequest(const QByteArray& file)
{
    const QJsonObject files{{"filename", "fw.bin"}, {"data", QString::fromLatin1(file.toBase64())},
                            {"result", "File read successful"}};
    const QJsonObject upload{{"option", "firmware-upload"}, {"dash", 2}, {"values", QJsonArray{"fw.bin"}},
                             {"file_operations", QJsonArray{files}}};
    return QJsonObject{{"cli", QJsonObject{{"parser", QJsonArray{upload, QJsonObject{{"option", "sessions-list"}}}}}}};
}

const QJsonObject versionRequest{{"actions", QJsonObject{{"list", QJsonArray{QJsonObject{{"key", "version"}}}}}}};

TEST(DeferredCli, UploadAnswersItsClientLaterInOrderAndOthersAtOnce)
{
    CVNDeviceManager manager;
    auto server = std::make_unique<CVNApplicationServer>(&manager);
    auto device = std::make_shared<FakeDfuDevice>();
    auto* parent = new CVNDeviceParent("0200000001A3", "2.005", 3);
    parent->addChild(new CVNDeviceDfu(parent, std::make_unique<FakeDfuHandle>(device)));
    server->deviceInserted(parent);
    auto connect = [&server] {
        auto* connection = new MemoryConnection();
        connection->setParent(server.get());
        server->newConnection(connection);
        return connection;
    };
    MemoryConnection* uploader = connect();
    MemoryConnection* other = connect();
    RequestGate gate;
    device->onRequest = gate.holdAt("DNLOAD 1");

    QByteArray file = QByteArray(2500, 'p') + QByteArray::fromHex("ffff02002e3c0001") + "UFD" + char(16);
    const quint32 crc = CVNDfuSuffix::crc32(file.constData(), file.size());
    for (int shift = 0; shift < 32; shift += 8)
        file.append(char((crc >> shift) & 0xFF));
    uploader->send(uploadRequest(file));
    uploader->send(versionRequest);
    ASSERT_TRUE(gate.waitReached());
    EXPECT_TRUE(uploader->takeDocuments().isEmpty()) << "held, and its next request waits its turn";
    other->send(versionRequest);
    EXPECT_EQ(other->takeDocuments().size(), 1) << "another client is served meanwhile";

    gate.release();
    ASSERT_TRUE(waitUntil([&] { return uploader->documents().size() == 2; }));
    const QList<QJsonObject> answers = uploader->takeDocuments();
    const QJsonObject cli = answers.at(0)["cli"].toObject();
    EXPECT_EQ(cli["output"].toArray().at(0).toString(), "firmware-upload: Firmware updated successfully");
    EXPECT_TRUE(cli["output"].toArray().at(1).toString().startsWith("sessions_list")) << "the options after it ran";
    EXPECT_EQ(cli["status"].toString(), "Finished");
    EXPECT_TRUE(answers.at(1).contains("reactions"));

    // A failed upload ends the options with an error; the file does not travel back.
    device->gone = false;
    device->state = FakeDfuDevice::Idle;
    uploader->send(uploadRequest(QByteArray(100, 'x')));
    ASSERT_TRUE(waitUntil([&] { return uploader->documents().size() == 1; }));
    const QJsonObject failed = uploader->takeDocuments().first()["cli"].toObject();
    EXPECT_EQ(failed["output"].toArray().first().toString(), "firmware-upload: Firmware suffix check failed");
    EXPECT_EQ(failed["status"].toString(), "Error");
    EXPECT_FALSE(failed["parser"].toArray().first().toObject().contains("file_operations"));
    server.reset();
    delete parent;
}

}  // namespace

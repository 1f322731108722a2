// The firmware upload property on the interface of a DFU-mode controller:
// built from the shipped description, the file-table round trip, JSON
// writes, and the result that arrives after the command returned.
#include "eventwait.h"
#include "fakedfudevice.h"
#include "fakeinterface.h"

#include "device/devicedfu.h"
#include "device/dfusuffix.h"
#include "device/dfuupload.h"
#include "interface/deferredresult.h"
#include "interface/deviceinterfacebuilder.h"
#include "interface/deviceinterfacedfu.h"
#include "interface/deviceinterfaceview.h"
#include "interface/devicepropertyfirmwareupload.h"

namespace {

QByteArray vastaFile(int payloadSize)
{
    QByteArray file = QByteArray(payloadSize, 'p') + QByteArray::fromHex("060202002e3c0001") + "UFD" + char(16);
    const quint32 crc = CVNDfuSuffix::crc32(file.constData(), file.size());
    for (int shift = 0; shift < 32; shift += 8)
        file.append(char((crc >> shift) & 0xFF));
    return file;
}

CVNEntityContext withFile(const QByteArray& data, const QString& status = "File read successful")
{
    CVNEntityContext context;
    context.arguments = QStringList{"fw.bin"};
    context.fileTable.insert("fw.bin", CVNFileOperation{data, status});
    return context;
}

class FirmwareUploadTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        parent->addChild(dfu);
        interface.reset(builder.build(dfu));
        ASSERT_TRUE(interface) << "a Vasta in DFU mode gets the 3-dfu description";
        upload = dynamic_cast<DevicePropertyFirmwareUpload*>(interface->entityByCommand("firmware-upload"));
        ASSERT_NE(upload, nullptr);
        upload->addObserver(&recorder);
    }
    void TearDown() override
    {
        gate.release();
        interface.reset();
        delete parent;
    }
    QString command(CVNEntityContext& context) { return interface->executeCommand("firmware-upload", context); }

    DeviceInterfaceBuilder builder;
    std::shared_ptr<FakeDfuDevice> device = std::make_shared<FakeDfuDevice>();
    CVNDeviceParent* parent = new CVNDeviceParent("0200000001A3", "2.005", 3);
    CVNDeviceDfu* dfu = new CVNDeviceDfu(parent, std::make_unique<FakeDfuHandle>(device));
    std::unique_ptr<CVNDeviceInterface> interface;
    DevicePropertyFirmwareUpload* upload = nullptr;
    Recorder recorder;
    RequestGate gate;
};

TEST_F(FirmwareUploadTest, FileTableRoundTripAndJsonWrites)
{
    EXPECT_EQ(interface->view("basic")->entityNames(), QStringList{"firmware_upload"});
    EXPECT_EQ(upload->accessMode(), AccessMode::Write);
    EXPECT_EQ(interface->executeCommand("firmware-upload", QStringList()), "Invalid arguments\nPath to firmware file");

    // The client is asked for the file the user named, and only that one.
    CVNEntityContext first;
    first.arguments = QStringList{"/home/u/fw.bin"};
    first.fileTable.insert("/etc/passwd", CVNFileOperation());
    EXPECT_EQ(command(first), "Uploading ...");
    EXPECT_EQ(first.fileTable.keys(), QStringList{"/home/u/fw.bin"});
    const QList<QPair<CVNEntityContext, QString>> rounds{
        {withFile({}, "Cannot open file"), "Cannot open file"},
        {withFile({}), "File is empty"},
        {withFile(vastaFile(2100)), CVNDfuUpload::Succeeded},
    };
    for (auto round : rounds) {
        EXPECT_EQ(command(round.first), round.second);
        EXPECT_TRUE(round.first.fileTable.isEmpty());
    }
    EXPECT_EQ(device->calls.filter("DNLOAD"), QStringList({"DNLOAD 0 1024", "DNLOAD 1 1024", "DNLOAD 2 52", "DNLOAD 3 0"}));
    EXPECT_EQ(recorder.changed, QStringList{"firmware_upload"}) << "the end of the upload is a change";

    // JSON: malformed values start nothing; the same file after a failed
    // upload is a new try.
    device->gone = false;
    device->state = FakeDfuDevice::Idle;
    device->calls.clear();
    for (const QJsonValue& bad : {QJsonValue("plain"), QJsonValue(QJsonObject{{"data", "@@"}}), QJsonValue(QJsonObject{{"data", ""}})})
        upload->setValue(bad);
    EXPECT_TRUE(device->calls.isEmpty());
    const QString good = QString::fromLatin1(vastaFile(500).toBase64());
    device->failCompletion = true;
    upload->setValue(QJsonObject{{"data", good}});
    ASSERT_TRUE(waitUntil([&] { return upload->lastResult() == CVNDfuUpload::CompletionFailed; }));
    device->failCompletion = false;
    upload->setValue(QJsonObject{{"data", good}});
    ASSERT_TRUE(waitUntil([&] { return upload->lastResult() == CVNDfuUpload::Succeeded; }));
    EXPECT_EQ(recorder.changed.size(), 3);
    EXPECT_TRUE(upload->value().isNull());
}

// A caller that can wait gets the result later; a second upload on the same
// pipe is refused; the controller and its interface may go meanwhile.
TEST_F(FirmwareUploadTest, ResultComesLaterEvenWhenTheDeviceGoes)
{
    device->onRequest = gate.holdAt("DNLOAD 1");
    CVNEntityContext context = withFile(vastaFile(3000));
    context.canDefer = true;
    command(context);
    ASSERT_TRUE(context.deferred);
    ASSERT_TRUE(gate.waitReached());
    EXPECT_FALSE(context.deferred->isFinished());
    CVNEntityContext again = withFile(vastaFile(3000));
    EXPECT_EQ(command(again), DeviceInterfaceDfu::alreadyRunningText());

    parent->close();  // removal closes the device, then the interface goes
    gate.release();
    interface.reset();
    ASSERT_TRUE(waitUntil([&] { return context.deferred->isFinished(); }));
    EXPECT_EQ(context.deferred->text(), CVNDfuUpload::StatusPollFailed);
    EXPECT_FALSE(context.deferred->succeeded());

    // An interface without a DFU device answers at once.
    FakeDevice hid;
    DeviceInterfaceDfu none(&hid);
    none.addEntity("firmware_upload", new DevicePropertyFirmwareUpload(&none, "firmware_upload", "d", "firmware-upload",
                                                                        AccessMode::Write));
    CVNEntityContext nothing = withFile(vastaFile(10));
    EXPECT_EQ(none.executeCommand("firmware-upload", nothing), CVNDfuUpload::NoDevice);
}

}  // namespace

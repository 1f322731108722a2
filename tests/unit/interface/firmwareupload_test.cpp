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

#include <QSignalSpy>
#include <QTest>

namespace {

// A Vasta firmware file whose suffix is written here, field by field.
QByteArray vastaFile(int payloadSize)
{
    QByteArray file(payloadSize, 'p');
    file.append(QByteArray::fromHex("0602" "0200" "2e3c" "0001") + "UFD" + char(16));
    const quint32 crc = CVNDfuSuffix::crc32(file.constData(), file.size());
    for (int shift = 0; shift < 32; shift += 8)
        file.append(char((crc >> shift) & 0xFF));
    return file;
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
    DeviceInterfaceDfu* dfuInterface() { return static_cast<DeviceInterfaceDfu*>(interface.get()); }

    // The command as the command-line client sends it, with a file table.
    QString command(CVNEntityContext& context) { return interface->executeCommand("firmware-upload", context); }
    CVNEntityContext withFile(const QString& path, const QByteArray& data, const QString& status)
    {
        CVNEntityContext context;
        context.arguments = QStringList{path};
        context.fileTable.insert(path, CVNFileOperation{data, status});
        return context;
    }

    DeviceInterfaceBuilder builder;
    std::shared_ptr<FakeDfuDevice> device = std::make_shared<FakeDfuDevice>();
    CVNDeviceParent* parent = new CVNDeviceParent("0200000001A3", "2.005", 3);
    CVNDeviceDfu* dfu = new CVNDeviceDfu(parent, std::make_unique<FakeDfuHandle>(device));
    std::unique_ptr<CVNDeviceInterface> interface;
    DevicePropertyFirmwareUpload* upload = nullptr;
    Recorder recorder;
    RequestGate gate;
};

TEST_F(FirmwareUploadTest, DescriptionAndFileTableRoundTrip)
{
    EXPECT_EQ(interface->name(), "root");
    EXPECT_EQ(interface->view("basic")->entityNames(), QStringList{"firmware_upload"});
    EXPECT_EQ(upload->accessMode(), AccessMode::Write);
    EXPECT_EQ(upload->describe().value("type").toString(), "FirmwareUpload");
    EXPECT_TRUE(upload->value().isNull());

    EXPECT_EQ(interface->executeCommand("firmware-upload", QStringList()), "Invalid arguments\nPath to firmware file");

    // First round: the client is asked for the file the user named, and only that one.
    CVNEntityContext first;
    first.arguments = QStringList{"/home/u/fw.bin"};
    first.fileTable.insert("/etc/passwd", CVNFileOperation());
    EXPECT_EQ(command(first), "Uploading ...");
    EXPECT_EQ(first.fileTable.keys(), QStringList{"/home/u/fw.bin"});

    // The client's answers.
    const struct {
        QString status;
        QByteArray data;
        QString text;
    } rounds[] = {
        {"Cannot open file", {}, "Cannot open file"},
        {"Cannot write in file", {}, "Cannot write in file"},
        {"File read successful", {}, "File is empty"},
        {"File read successful", vastaFile(2100), CVNDfuUpload::Succeeded},
    };
    for (const auto& round : rounds) {
        CVNEntityContext second = withFile("/home/u/fw.bin", round.data, round.status);
        EXPECT_EQ(command(second), round.text);
        EXPECT_TRUE(second.fileTable.isEmpty()) << qPrintable(round.status);
    }
    EXPECT_EQ(device->calls.filter("DNLOAD"), QStringList({"DNLOAD 0 1024", "DNLOAD 1 1024", "DNLOAD 2 52", "DNLOAD 3 0"}));
    EXPECT_EQ(upload->lastResult(), CVNDfuUpload::Succeeded);
    EXPECT_EQ(recorder.changed, QStringList{"firmware_upload"}) << "the end of the upload is a change";
}

// A caller that can wait gets the result later; the interface stays free
// meanwhile, and a second upload on the same pipe is refused.
TEST_F(FirmwareUploadTest, ResultComesLaterWhileTheUploadRuns)
{
    device->onRequest = gate.holdAt("DNLOAD 1");
    CVNEntityContext context = withFile("fw.bin", vastaFile(3000), "File read successful");
    context.canDefer = true;
    command(context);
    ASSERT_TRUE(context.deferred);
    ASSERT_TRUE(gate.waitReached(5000));
    EXPECT_TRUE(dfuInterface()->isUploading());
    EXPECT_FALSE(context.deferred->isFinished());

    CVNEntityContext again = withFile("fw.bin", vastaFile(3000), "File read successful");
    EXPECT_EQ(command(again), DeviceInterfaceDfu::alreadyRunningText());

    QSignalSpy finished(context.deferred.get(), &CVNDeferredResult::finished);
    gate.release();
    ASSERT_TRUE(finished.wait(5000));
    EXPECT_EQ(context.deferred->text(), CVNDfuUpload::Succeeded);
    EXPECT_TRUE(context.deferred->succeeded());
    EXPECT_EQ(upload->lastResult(), CVNDfuUpload::Succeeded);
    EXPECT_EQ(device->count("DNLOAD"), 4);
}

TEST_F(FirmwareUploadTest, JsonWritesStartAnUploadAndReportItsEnd)
{
    for (const QJsonValue& bad : {QJsonValue("plain"), QJsonValue(QJsonObject{{"data", "@@not base64@@"}}),
                                  QJsonValue(QJsonObject{{"data", ""}}), QJsonValue(QJsonObject{{"file", "AAAA"}})})
        upload->setValue(bad);
    EXPECT_TRUE(device->calls.isEmpty());

    // A file refused by its suffix: the device sees no download.
    upload->setValue(QJsonObject{{"data", QString::fromLatin1(QByteArray(40, 'x').toBase64())}});
    ASSERT_TRUE(waitUntil([&] { return upload->lastResult() == CVNDfuUpload::SuffixCheckFailed; }));
    EXPECT_EQ(device->count("DNLOAD"), 0);

    // The same file again after a failure is a new try; a good one goes through.
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

// The controller or its interface going away mid-upload: no crash, and the
// waiting caller still hears how it ended.
TEST_F(FirmwareUploadTest, DeviceOrInterfaceGoneMidUpload)
{
    device->onRequest = gate.holdAt("DNLOAD 1");
    CVNEntityContext context = withFile("fw.bin", vastaFile(3000), "File read successful");
    context.canDefer = true;
    command(context);
    ASSERT_TRUE(gate.waitReached(5000));
    const std::shared_ptr<CVNDeferredResult> result = context.deferred;
    parent->close();  // removal closes the device
    gate.release();
    interface.reset();  // and the interface goes after it
    ASSERT_TRUE(waitUntil([&] { return result->isFinished(); }));
    EXPECT_FALSE(result->succeeded());
    EXPECT_EQ(result->text(), CVNDfuUpload::StatusPollFailed);

    // An interface without a DFU device answers at once.
    FakeDevice hid;
    DeviceInterfaceDfu none(&hid);
    auto* lone = new DevicePropertyFirmwareUpload(&none, "firmware_upload", "d", "firmware-upload", AccessMode::Write);
    none.addEntity("firmware_upload", lone);
    CVNEntityContext nothing = withFile("fw.bin", vastaFile(10), "File read successful");
    EXPECT_EQ(none.executeCommand("firmware-upload", nothing), CVNDfuUpload::NoDevice);
}

}  // namespace

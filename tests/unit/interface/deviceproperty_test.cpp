// Request states, caching, dependents, error replies, the sending algorithm
// and the function contract.
#include "fakeinterface.h"

#include "interface/devicepropertynumber.h"
#include "interface/devicepropertystring.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>

namespace {

using DevicePropertyTest = InterfaceTest;

void link(DeviceProperty* dependent, DeviceProperty* dependency)
{
    dependent->addDependency(dependency);
    dependency->addDependent(dependent);
}

TEST_F(DevicePropertyTest, ReadWriteIsCachedMutableIsNot)
{
    auto* th = make<DevicePropertyInt>("th");
    iface.registers["th"] = "12";
    EXPECT_EQ(run("th"), "12");
    EXPECT_EQ(th->value(), QJsonValue(12));
    EXPECT_EQ(iface.countOf(CVNDeviceRequest::Get, "th"), 1);

    auto* count = make<DevicePropertyInt>("tcicount", AccessMode::fromText("read_mutable"));
    iface.registers["tcicount"] = "1";
    EXPECT_EQ(run("tcicount"), "1");
    iface.registers["tcicount"] = "2";
    EXPECT_EQ(count->value(), QJsonValue(2));
    EXPECT_EQ(iface.countOf(CVNDeviceRequest::Get, "tcicount"), 2);
}

TEST_F(DevicePropertyTest, ReadOnlyWritesAndBadValuesSendNothing)
{
    auto* gainmax = make<DevicePropertyInt>("gainmax", AccessMode::Read);
    EXPECT_EQ(run("gainmax", {"3"}), "Property is not writable");
    gainmax->setValue(QJsonValue(3));
    auto* th = make<DevicePropertyInt>("th");
    th->setValue(QJsonValue(QStringLiteral("not a number")));
    th->setValue(QJsonValue(QJsonArray{1}));
    EXPECT_TRUE(iface.log.isEmpty());
    th->setValue(QJsonValue(4.4));
    EXPECT_EQ(iface.registers["th"], "4");

    // Asked to act, a read-only property reads; once answered, it asks nothing.
    gainmax->setRequestState(DeviceProperty::ActionRequested);
    EXPECT_EQ(gainmax->makeRequest().type, CVNDeviceRequest::Get);
    gainmax->setRequestState(DeviceProperty::ReplyReceived);
    EXPECT_EQ(gainmax->makeRequest().type, CVNDeviceRequest::None);
}

TEST_F(DevicePropertyTest, WriteRereadsDependentsTransitively)
{
    auto* th = make<DevicePropertyInt>("th");
    auto* thn = make<DevicePropertyInt>("thn");
    auto* thni = make<DevicePropertyInt>("thni");
    auto* far = make<DevicePropertyInt>("far");
    make<DevicePropertyInt>("other");
    for (DeviceProperty* a : {th, thn, thni})
        for (DeviceProperty* b : {th, thn, thni})
            if (a != b)
                link(a, b);
    link(far, thni);
    Recorder recorder;
    thni->addObserver(&recorder);
    iface.registers["thni"] = "9";

    EXPECT_EQ(run("th", {"20"}), "20");
    EXPECT_EQ(iface.countOf(CVNDeviceRequest::Set, "th"), 1);
    EXPECT_EQ(iface.countOf(CVNDeviceRequest::Get, "thn"), 1);
    EXPECT_EQ(iface.countOf(CVNDeviceRequest::Get, "thni"), 1);
    EXPECT_EQ(iface.countOf(CVNDeviceRequest::Get, "far"), 1);
    EXPECT_EQ(iface.countOf(CVNDeviceRequest::Get, "th"), 0);
    EXPECT_EQ(iface.countOf(CVNDeviceRequest::Get, "other"), 0);
    EXPECT_EQ(recorder.changed, QStringList{"thni"});
    EXPECT_EQ(thni->value(), QJsonValue(9));
    thni->removeObserver(&recorder);
}

TEST_F(DevicePropertyTest, DeviceErrorIsReadUntilAGoodReply)
{
    auto* th = make<DevicePropertyInt>("th");
    iface.registers["th"] = "15";
    EXPECT_EQ(run("th"), "15");
    EXPECT_EQ(reread(th, "ERROR 12"), "ERROR 12");
    EXPECT_EQ(th->requestState(), DeviceProperty::Idle);
    iface.registers["th"] = "16";
    // value() asks again (state 0) and the good reply clears the error.
    EXPECT_EQ(th->value(), QJsonValue(16));
    EXPECT_TRUE(th->lastError().isEmpty());

    // Without an exchange the old value stays.
    iface.registers["th"] = "error";
    th->setRequestState(DeviceProperty::Idle);
    device.m_open = false;
    EXPECT_EQ(th->value(), QJsonValue(16));
}

TEST_F(DevicePropertyTest, RefusedWriteAnswersTheDeviceWordsAndRereads)
{
    auto* th = make<DevicePropertyInt>("th");
    iface.registers["th"] = "40";
    EXPECT_EQ(run("th"), "40");
    iface.refusals["th"] = "error: out of range";
    // The read that follows a write must not hide the refusal.
    EXPECT_EQ(run("th", {"999"}), "error: out of range");
    iface.refusals.clear();
    // The refused value is not trusted: the next read asks the device.
    EXPECT_EQ(th->value(), QJsonValue(40));
}

TEST_F(DevicePropertyTest, ClosedDeviceSendsNothingAndClosingIsReported)
{
    auto* th = make<DevicePropertyInt>("th");
    QSignalSpy spy(&iface, &CVNDeviceInterface::deviceInvalidated);
    iface.closeOnExchange = true;
    (void)th->value();
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.first().first().value<CVNDevice*>(), &device);
    iface.log.clear();
    EXPECT_EQ(run("th", {"5"}), "5");
    EXPECT_TRUE(iface.log.isEmpty());
}

TEST_F(DevicePropertyTest, DescribeAndObservers)
{
    auto* noCommand = new DevicePropertyString(&iface, "plain", "text", QString(), AccessMode::Read);
    iface.addEntity("plain", noCommand);
    EXPECT_FALSE(noCommand->describe().contains("command"));
    EXPECT_EQ(noCommand->describe().value("access_mode").toString(), "read");

    Recorder recorder;
    auto* owned = new DevicePropertyInt(&iface, "temp", QString(), "temp", AccessMode::ReadWrite);
    owned->addObserver(&recorder);
    owned->addObserver(&recorder);
    EXPECT_EQ(owned->observers().size(), 1);
    delete owned;
    EXPECT_EQ(recorder.destroyed, QStringList{"temp"});
}

TEST_F(DevicePropertyTest, FunctionPlainCallAndError)
{
    auto* dreset = addFunction("dreset", "[dfu]");
    EXPECT_EQ(run("dreset", {"dfu"}), "done dfu");
    EXPECT_EQ(iface.log.last().type, CVNDeviceRequest::Call);
    EXPECT_EQ(iface.log.last().arguments, QVariantList{"dfu"});
    EXPECT_EQ(dreset->result(), QJsonValue("done dfu"));

    iface.registers["dreset"] = "Error: busy";
    EXPECT_EQ(run("dreset"), "Error: busy");
    dreset->call(QJsonArray{1, "x"});
    EXPECT_EQ(iface.log.last().arguments, (QVariantList{1.0, "x"}));
    EXPECT_EQ(run("nothing"), "unknow command");
}

TEST_F(DevicePropertyTest, FunctionFileUpload)
{
    auto* upload = addFunction("image_upload", "FILE path");
    ASSERT_TRUE(upload->isFileUpload());
    CVNEntityContext context;
    context.arguments = QStringList{"/tmp/a.bin"};
    EXPECT_EQ(upload->execute(context), "");
    EXPECT_TRUE(context.fileTable.contains("/tmp/a.bin"));
    EXPECT_TRUE(iface.log.isEmpty());

    context.fileTable["/tmp/a.bin"].result = "Cannot open file";
    EXPECT_EQ(upload->execute(context), "Cannot open file");
    context.fileTable.insert("/tmp/a.bin", CVNFileOperation{QByteArray(), "File read successful"});
    EXPECT_EQ(upload->execute(context), "File is empty");
    context.fileTable.insert("/tmp/a.bin", CVNFileOperation{"abc", "File read successful"});
    EXPECT_EQ(upload->execute(context), "File uploaded");
    EXPECT_EQ(iface.log.last().arguments, QVariantList{QByteArray("abc")});
    EXPECT_TRUE(context.fileTable.isEmpty());  // so the option does not ask again

    upload->call(QJsonArray{QString::fromLatin1(QByteArray("xyz").toBase64())});
    EXPECT_EQ(iface.log.last().arguments, QVariantList{QByteArray("xyz")});
}

TEST_F(DevicePropertyTest, FunctionFileDownload)
{
    auto* download = addFunction("image_download", "file");
    CVNEntityContext context;
    EXPECT_EQ(download->execute(context), "File name is missing");
    context.arguments = QStringList{"/tmp/b.bin"};
    iface.registers["image_download"] = "";
    EXPECT_EQ(download->execute(context), "Downloading File");
    EXPECT_EQ(context.fileTable.value("/tmp/b.bin").data, QByteArray("done "));
    EXPECT_EQ(download->result(), QJsonValue(QString::fromLatin1(QByteArray("done ").toBase64())));

    context.fileTable["/tmp/b.bin"].result = "File write successful";
    const int exchanges = iface.log.size();
    EXPECT_EQ(download->execute(context), "File write successful to /tmp/b.bin");
    EXPECT_EQ(iface.log.size(), exchanges);
    EXPECT_TRUE(context.fileTable.isEmpty());
}

}  // namespace

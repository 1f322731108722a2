// Request states, dependents, refused writes, the sending algorithm and the
// function contract.
#include "fakeinterface.h"

#include "interface/devicepropertynumber.h"
#include "interface/devicepropertystring.h"

#include <QJsonArray>
#include <QJsonObject>

#include <functional>

namespace {

using DevicePropertyTest = InterfaceTest;

void link(DeviceProperty* dependent, DeviceProperty* dependency)
{
    dependent->addDependency(dependency);
    dependency->addDependent(dependent);
}

TEST_F(DevicePropertyTest, ReadOnlyPropertyOnlyReads)
{
    auto* gainmax = make<DevicePropertyInt>("gainmax", AccessMode::Read);
    gainmax->setValue(QJsonValue(3));
    EXPECT_TRUE(iface.log.isEmpty());
    // Asked to act, a read-only property reads; once answered, it asks nothing.
    gainmax->setRequestState(DeviceProperty::ActionRequested);
    EXPECT_EQ(gainmax->makeRequest().type, CVNDeviceRequest::Get);
    gainmax->setRequestState(DeviceProperty::ReplyReceived);
    EXPECT_EQ(gainmax->makeRequest().type, CVNDeviceRequest::None);
}

// One level of a dependency cycle is proven on the simulator; here the
// dependents of dependents and the change reported for a reread.
TEST_F(DevicePropertyTest, WriteRereadsDependentsTransitively)
{
    auto* th = make<DevicePropertyInt>("th");
    auto* thn = make<DevicePropertyInt>("thn");
    auto* far = make<DevicePropertyInt>("far");
    make<DevicePropertyInt>("other");
    link(th, thn);
    link(thn, th);
    link(far, thn);
    Recorder recorder;
    far->addObserver(&recorder);
    iface.registers["far"] = "9";

    EXPECT_EQ(run("th", {"20"}), "20");
    EXPECT_EQ(iface.countOf(CVNDeviceRequest::Set, "th"), 1);
    for (const char* name : {"thn", "far"})
        EXPECT_EQ(iface.countOf(CVNDeviceRequest::Get, name), 1) << name;
    EXPECT_EQ(iface.countOf(CVNDeviceRequest::Get, "th"), 0);
    EXPECT_EQ(iface.countOf(CVNDeviceRequest::Get, "other"), 0);
    EXPECT_EQ(recorder.changed, QStringList{"far"});
    EXPECT_EQ(far->value(), QJsonValue(9));
    far->removeObserver(&recorder);
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

// A write that the controller refuses, that cannot be sent, or that is
// invalid leaves the cache as the controller last reported it and answers
// why, for text commands and JSON writes alike.
TEST_F(DevicePropertyTest, WritesThatDoNotTakeEffectChangeNothingAndSaySo)
{
    auto* th = make<DevicePropertyInt>("th");
    auto* gainmax = make<DevicePropertyInt>("gainmax", AccessMode::Read);
    auto* name = make<DevicePropertyString>("dname");
    iface.registers["th"] = "40";
    iface.registers["dname"] = "front";
    ASSERT_EQ(run("th"), "40");
    ASSERT_EQ(run("dname"), "front");

    struct Case {
        const char* what;
        std::function<void()> arrange;
        CVNProperty* property;
        QStringList words;
        QJsonValue json;
        QString answer;
        bool sent;  // whether a set went to the device
    };
    const QList<Case> cases = {
        {"refused by the controller", [&] { iface.refusals["th"] = "error: out of range"; }, th, {"999"},
         QJsonValue(999), "error: out of range", true},
        {"transfer failed", [&] { iface.refusals["th"] = "error: transfer failed"; }, th, {"41"}, QJsonValue(41),
         "error: transfer failed", true},
        {"device closed", [&] { device.open = false; }, th, {"50"}, QJsonValue(50), "error: device not open", false},
        {"not a number", [] {}, th, {"x"}, QJsonValue("x"), "Invalid argument", false},
        {"wrong JSON type", [] {}, th, {"[1]"}, QJsonValue(QJsonArray{1}), "Invalid argument", false},
        {"read only", [] {}, gainmax, {"3"}, QJsonValue(3), "Property is not writable", false},
        {"empty text", [] {}, name, {""}, QJsonValue(""), "Invalid argument", false},
    };
    for (const Case& c : cases) {
        for (const bool json : {false, true}) {
            c.arrange();
            const int sets = iface.countOf(CVNDeviceRequest::Set, c.property->name());
            QString answer;
            bool failed = false;
            if (json) {
                answer = c.property->writeValue(c.json);
                failed = !answer.isEmpty();
            } else {
                CVNEntityContext context;
                context.arguments = c.words;
                answer = c.property->execute(context);
                failed = context.failed;
            }
            EXPECT_EQ(answer, c.answer) << c.what << (json ? " (JSON)" : "");
            EXPECT_TRUE(failed) << c.what;
            EXPECT_EQ(iface.countOf(CVNDeviceRequest::Set, c.property->name()) - sets, c.sent ? 1 : 0) << c.what;
            EXPECT_EQ(th->cachedValue(), 40) << c.what;
            EXPECT_EQ(name->cachedValue(), "front") << c.what;
            iface.refusals.clear();
            device.open = true;
        }
    }
    // Nothing was left marked as if a write were pending.
    EXPECT_EQ(run("th"), "40");
    EXPECT_EQ(run("dname"), "front");
}

TEST_F(DevicePropertyTest, ClosedDeviceAnswersWhatItReportedOrThatItIsNotOpen)
{
    auto* th = make<DevicePropertyInt>("th");
    make<DevicePropertyInt>("thn");
    auto* dreset = addFunction("dreset", "[dfu]");
    iface.registers["th"] = "40";
    ASSERT_EQ(run("th"), "40");
    device.open = false;
    const int exchanges = iface.log.size();
    EXPECT_EQ(run("th"), "40");  // reported before the device went
    EXPECT_EQ(th->requestState(), DeviceProperty::ReplyReceived);
    EXPECT_EQ(run("thn"), "error: device not open");  // never reported
    EXPECT_EQ(run("dreset"), "error: device not open");
    dreset->call(QJsonArray{});
    EXPECT_EQ(dreset->result(), QJsonValue());
    EXPECT_EQ(iface.log.size(), exchanges);
}

}  // namespace

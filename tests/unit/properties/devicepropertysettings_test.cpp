// The settings store property of a Vasta interface built from its shipped
// description, on a simulated controller hosted in this process: the
// command line's file-table round trip, its messages, the re-read of the
// device's properties, and the queued JSON actions with Base64 images.
#include "interface/deviceinterface.h"
#include "interface/deviceinterfacebuilder.h"
#include "properties/devicepropertysettings.h"
#include "server/entitybuilders.h"
#include "simcontrollerhandle.h"

#include <QJsonObject>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString Vasta1 = QStringLiteral("vasta:0200000001A3:2.005");
const QString Vasta2 = QStringLiteral("vasta:0200000002B4:2.005");

struct CountingObserver : CVNPropertyObserver {
    int changes = 0;
    void propertyChanged(CVNProperty*) override { ++changes; }
    void propertyDestroyed(CVNProperty*) override {}
};

struct SettingsProperty : ::testing::Test {
    static void SetUpTestSuite() { registerEntityBuilders(); }

    HostedController vasta{Vasta1 + ",th=77"};
    DeviceInterfaceBuilder builder;
    std::unique_ptr<CVNDeviceInterface> iface{builder.build(vasta.hid)};
    DevicePropertySettings* settings = nullptr;

    void SetUp() override
    {
        ASSERT_TRUE(iface);
        settings = dynamic_cast<DevicePropertySettings*>(iface->entity("device_settings"));
        ASSERT_NE(settings, nullptr);
    }

    QString run(const QStringList& words, CVNFileTable* table = nullptr)
    {
        CVNEntityContext context;
        context.arguments = words;
        if (table)
            context.fileTable = *table;
        const QString answer = iface->executeCommand("device-settings", context);
        if (table)
            *table = context.fileTable;
        return answer;
    }
    // A whole download through the file table; the file's bytes.
    QByteArray downloadFile(HostedController& controller)
    {
        std::unique_ptr<CVNDeviceInterface> other(builder.build(controller.hid));
        CVNEntityContext context{{"download", "/tmp/x.set"}, {}};
        EXPECT_EQ(other->executeCommand("device-settings", context), QString());
        return context.fileTable.value("/tmp/x.set").data;
    }
};

}  // namespace

TEST_F(SettingsProperty, UploadThroughTheFileTableRereadsTheDevice)
{
    HostedController source(Vasta2 + ",th=91");
    const QByteArray file = downloadFile(source);
    CountingObserver observer;
    settings->addObserver(&observer);
    EXPECT_EQ(iface->executeCommand("th", QStringList()), "77"); // now cached

    CVNFileTable table;
    EXPECT_EQ(run({"upload", "/tmp/b.set"}, &table), QString());
    EXPECT_EQ(table.keys(), QStringList{"/tmp/b.set"});
    EXPECT_TRUE(table.value("/tmp/b.set").data.isEmpty());

    table["/tmp/b.set"] = CVNFileOperation{file, "File read successful"};
    const int before = vasta.traffic.size();
    EXPECT_EQ(run({"upload", "/tmp/b.set"}, &table), "Settings uploaded");
    EXPECT_TRUE(table.isEmpty());
    EXPECT_EQ(vasta.value("th"), "91");
    // Everything after the closing command is the re-read of the properties.
    const QStringList words = vasta.words(before);
    const int closing = words.indexOf("sbe");
    ASSERT_GT(closing, 0);
    EXPECT_TRUE(words.mid(closing + 1).contains("th"));
    EXPECT_EQ(iface->executeCommand("th", QStringList()), "91");
    EXPECT_EQ(observer.changes, 1);
    EXPECT_EQ(settings->image(), file);
    settings->removeObserver(&observer);
}

TEST_F(SettingsProperty, CommandLineMessages)
{
    struct Case {
        QStringList words;
        CVNFileTable table;
        QString answer;
    };
    const QList<Case> cases = {
        {{"load"}, {}, "Load settings not available"},
        {{"bogus"}, {}, "Invalid arguments"},
        {{}, {}, "Invalid arguments"},
        {{"download", "a", "b"}, {}, "Invalid arguments"},
        {{"upload", "/tmp/c.set"}, {{"/tmp/c.set", {{}, "Cannot open file"}}}, "Cannot open file"},
        {{"upload", "/tmp/c.set"}, {{"/tmp/c.set", {{}, "File read successful"}}}, "File is empty"},
        {{"download", "/tmp/c.set"}, {{"/tmp/c.set", {{}, "Cannot write to file"}}}, "Cannot write to file to /tmp/c.set"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.words.join(' ').toStdString());
        CVNFileTable table = c.table;
        const int before = vasta.traffic.size();
        EXPECT_EQ(run(c.words, &table), c.answer);
        EXPECT_TRUE(table.isEmpty());
        EXPECT_EQ(vasta.traffic.size(), before);
    }

    // A file that is no settings image: refused with its reason, nothing sent.
    CVNFileTable table{{"/tmp/d.set", {"not a settings file at all", "File read successful"}}};
    EXPECT_TRUE(run({"upload", "/tmp/d.set"}, &table).startsWith("Settings upload error: malformed header"));
    EXPECT_TRUE(settings->image().isEmpty());
    EXPECT_TRUE(vasta.traffic.isEmpty());
}

TEST_F(SettingsProperty, DownloadThenSaveEraseAndDefault)
{
    CVNFileTable table;
    EXPECT_EQ(run({"download", "/tmp/a.set"}, &table), QString());
    ASSERT_EQ(table.size(), 1);
    const CVNFileOperation entry = table.value("/tmp/a.set");
    EXPECT_TRUE(entry.result.isEmpty());
    EXPECT_TRUE(entry.data.startsWith(QByteArray("\0\0\0\x3e\0C\0o\0r", 10)));
    EXPECT_EQ(settings->value().toString(), QString::fromLatin1(entry.data.toBase64()));
    // The client wrote the file and asks again: no device exchange.
    int before = vasta.traffic.size();
    table["/tmp/a.set"] = CVNFileOperation{{}, "File write successful"};
    EXPECT_EQ(run({"download", "/tmp/a.set"}, &table), "File write successful to /tmp/a.set");
    EXPECT_TRUE(table.isEmpty());
    EXPECT_EQ(vasta.traffic.size(), before);

    EXPECT_EQ(run({"save"}), "Settings saved");
    EXPECT_EQ(vasta.words(before), QStringList{"ssave"}); // no re-read
    EXPECT_FALSE(settings->image().isEmpty());
    before = vasta.traffic.size();
    EXPECT_EQ(run({"erase"}), "Settings erased from flash memory");
    EXPECT_GT(vasta.words(before).size(), 10);
    EXPECT_FALSE(settings->image().isEmpty());
    EXPECT_EQ(run({"default"}), "Default settings restored");
    EXPECT_TRUE(settings->image().isEmpty());
    EXPECT_EQ(vasta.value("th"), "40");
    EXPECT_EQ(iface->executeCommand("th", QStringList()), "40");
}

TEST_F(SettingsProperty, FailuresWriteNoFile)
{
    // A refused transfer: its words, and no file-table entry (no file).
    vasta.handle->answers.insert("sbg1", "error: flash read");
    CVNFileTable table;
    const QString answer = run({"download", "/tmp/a.set"}, &table);
    EXPECT_TRUE(answer.startsWith("Settings download error: block 1 of")) << answer.toStdString();
    EXPECT_TRUE(table.isEmpty());
    EXPECT_TRUE(settings->image().isEmpty());

    // Device refusals of the flash commands are its words.
    vasta.handle->answers.insert("sdefault", "error: locked");
    EXPECT_EQ(run({"default"}), "error: locked");

    // A controller gone from the bus answers nothing: no success either.
    vasta.parent->markNotOpen();
    EXPECT_EQ(run({"save"}), "Settings error: the controller did not answer");
    EXPECT_EQ(run({"download", "/tmp/a.set"}, &table), "Settings error: the controller did not answer");
    EXPECT_TRUE(table.isEmpty());
}

TEST_F(SettingsProperty, JsonActionsAreQueued)
{
    HostedController source(Vasta2 + ",th=91");
    const QByteArray file = downloadFile(source);

    settings->setValue(QJsonObject{{"action", "download"}});
    EXPECT_TRUE(vasta.traffic.isEmpty()); // queued, not sent yet
    EXPECT_EQ(settings->value().toString(), QString());
    QTRY_VERIFY_WITH_TIMEOUT(!settings->value().toString().isEmpty(), 5000);

    const int before = vasta.traffic.size();
    for (const QJsonObject& ignored : {QJsonObject{{"action", "upload"}}, QJsonObject{{"action", "upload"}, {"data", ""}},
                                       QJsonObject{{"action", "upload"}, {"data", "***not base64***"}},
                                       QJsonObject{{"action", "load"}}, QJsonObject{{"action", "reboot"}}, QJsonObject{}})
        settings->setValue(ignored);
    QCoreApplication::processEvents();
    EXPECT_EQ(vasta.traffic.size(), before);

    settings->setValue(QJsonObject{{"action", "upload"}, {"data", QString::fromLatin1(file.toBase64())}});
    QTRY_COMPARE_WITH_TIMEOUT(vasta.value("th"), QStringLiteral("91"), 5000);
    EXPECT_EQ(settings->requestState(), DeviceProperty::ReplyReceived);

    // An unchanging configuration already held is not downloaded again.
    DevicePropertySettings fixed(iface.get(), "fixed_settings", QString(), QString(), AccessMode::ReadWrite);
    fixed.setSymbolExtra("download", "settings.download");
    fixed.setValue(QJsonObject{{"action", "download"}});
    QTRY_VERIFY_WITH_TIMEOUT(!fixed.image().isEmpty(), 5000);
    const int held = vasta.traffic.size();
    fixed.setValue(QJsonObject{{"action", "download"}});
    QCoreApplication::processEvents();
    EXPECT_EQ(vasta.traffic.size(), held);

    // A property gone before its queued run sends nothing.
    auto gone = std::make_unique<DevicePropertySettings>(iface.get(), "gone", QString(), QString(), AccessMode::ReadWrite);
    gone->setSymbolExtra("save", "settings.save");
    gone->setValue(QJsonObject{{"action", "save"}});
    gone.reset();
    QCoreApplication::processEvents();
    EXPECT_EQ(vasta.traffic.size(), held);
}

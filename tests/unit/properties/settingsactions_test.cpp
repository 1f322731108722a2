// The HID interface's settings actions against simulated controllers hosted
// in this process: the Veil and Tarso procedures block by block, what they
// write into a settings file, and every refusal answered as an error with
// nothing sent for a file that does not check out.
#include "device/hidsettingsactions.h"
#include "device/hidsettingstarso.h"
#include "interface/deviceinterfacehid.h"
#include "server/entitybuilders.h"
#include "simcontrollerhandle.h"

#include <QDataStream>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

const QString Vasta1 = QStringLiteral("vasta:0200000001A3:2.005");
const QString Vasta2 = QStringLiteral("vasta:0200000002B4:2.005");
const QString Tarso1 = QStringLiteral("20:1400000001D1:2.005");
const QString Tarso2 = QStringLiteral("20:1400000002E2:2.005");

// The items of a settings file, read with Qt's own stream.
struct FileItems {
    QStringList texts;
    QByteArray configuration;
    bool configurationNull = false;
};

FileItems itemsOf(const QByteArray& bytes, int textCount)
{
    FileItems items;
    QDataStream stream(bytes);
    for (int i = 0; i < textCount; ++i) {
        QString text;
        stream >> text;
        items.texts.append(text);
    }
    stream >> items.configuration;
    items.configurationNull = items.configuration.isNull();
    EXPECT_EQ(stream.status(), QDataStream::Ok);
    EXPECT_TRUE(stream.atEnd());
    return items;
}

QByteArray fileOf(const QStringList& texts, const QByteArray& configuration)
{
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    for (const QString& text : texts)
        stream << text;
    stream << configuration;
    return bytes;
}

QStringList blockWords(const QString& stem, int count, bool offsets)
{
    QStringList words;
    for (int i = 0; i < count; ++i)
        words.append(stem + (offsets ? QStringLiteral("%1").arg(i * 64, 4, 10, QLatin1Char('0')) : QString::number(i)));
    return words;
}

struct SettingsActions : ::testing::Test {
    static void SetUpTestSuite() { registerEntityBuilders(); }

    // One action through the HID interface, as the settings property sends it.
    static CVNDeviceRequest act(HostedController& controller, const QString& action, const QVariantList& arguments = {})
    {
        CVNDeviceInterfaceHid interface(controller.hid);
        CVNDeviceRequest request(CVNDeviceRequest::Call, action, 7);
        request.arguments = arguments;
        const CVNDeviceReplies replies = interface.execute(request);
        EXPECT_EQ(replies.size(), 1);
        return replies.value(7);
    }
    static QByteArray download(HostedController& controller)
    {
        const CVNDeviceRequest reply = act(controller, QStringLiteral("settings.download"));
        EXPECT_EQ(reply.type, CVNDeviceRequest::Call) << reply.text.toStdString();
        return reply.value.toByteArray();
    }
    static CVNDeviceRequest upload(HostedController& controller, const QByteArray& image)
    {
        return act(controller, QStringLiteral("settings.upload"), {image});
    }
};

}  // namespace

TEST_F(SettingsActions, VeilDownloadWritesHeaderItemsAndEveryBlock)
{
    HostedController vasta(Vasta1 + ",th=77");
    const QByteArray image = download(vasta);

    // Big-endian UTF-16 text items: the 31-character header first.
    EXPECT_EQ(image.left(6), QByteArray("\x00\x00\x00\x3e\x00\x43", 6));
    const FileItems items = itemsOf(image, 4);
    const int length = vasta.value("sbl").toInt();
    EXPECT_EQ(items.texts, QStringList({"Corvane Veil File Settings v2.4", "2.5", QString::number(length), vasta.value("sbk")}));
    const int blocks = (length + 63) / 64;
    ASSERT_EQ(items.configuration.size(), blocks * 64);
    EXPECT_EQ(items.configuration.left(length), vasta.sim->settingsFlash().configuration());
    EXPECT_TRUE(items.configuration.contains("\nth=77\n"));
    EXPECT_EQ(vasta.words(), QStringList({"sversion", "sbb", "sbl", "sbk"}) + blockWords("sbg", blocks, false) + QStringList{"sbe"});
}

TEST_F(SettingsActions, VeilUploadReproducesTheSettingsOnASecondController)
{
    HostedController source(Vasta1 + ",th=77,fmode=raw");
    QString error;
    ASSERT_TRUE(source.sim->preset("thbound", "5 99", &error));
    HostedController target(Vasta2);
    ASSERT_NE(target.value("th"), "77");

    const QByteArray image = download(source);
    const CVNDeviceRequest reply = upload(target, image);
    EXPECT_EQ(reply.type, CVNDeviceRequest::Call) << reply.text.toStdString();
    for (const char* word : {"th", "fmode", "thbound", "gain", "tblobdis", "cenable"})
        EXPECT_EQ(target.value(word), source.value(word)) << word;

    const int length = source.value("sbl").toInt();
    const int blocks = (length + 63) / 64;
    EXPECT_EQ(target.words(), QStringList({"sversion", "sbb"}) + blockWords("sbs", blocks, false) + QStringList{"sbe"});
    EXPECT_TRUE(target.traffic.last().startsWith("sbe " + source.value("sbk") + ' ' + QString::number(length) + " -> ok"))
        << target.traffic.last().toStdString();
}

TEST_F(SettingsActions, ZeroLengthVeilConfigurationMovesNoBlocks)
{
    HostedController source(Vasta1 + ",sbl=0");
    HostedController target(Vasta2 + ",sbl=0");
    const QByteArray image = download(source);
    const FileItems items = itemsOf(image, 4);
    EXPECT_EQ(items.texts.at(2), "0");
    EXPECT_TRUE(items.configuration.isEmpty());
    EXPECT_EQ(source.words(), QStringList({"sversion", "sbb", "sbl", "sbk", "sbe"}));

    EXPECT_EQ(upload(target, image).type, CVNDeviceRequest::Call);
    EXPECT_EQ(target.words(), QStringList({"sversion", "sbb", "sbe"}));
    EXPECT_TRUE(target.traffic.last().startsWith("sbe " + target.value("sbk") + " 0 -> ok"));
}

// A controller that refuses or falls silent at one step: an error naming
// that step, no image, and nothing sent after it.
TEST_F(SettingsActions, VeilFailuresAreErrorsThatNameTheStep)
{
    struct Case {
        const char* name;
        bool isUpload;
        QString word;
        QByteArray answer; // empty: the transfer fails
        QString reason;
        QString lastWord;
    };
    const QList<Case> cases = {
        {"refused begin", false, "sbb", "error: busy", "\"sbb\" (\"error: busy\")", "sbb"},
        {"length not a number", false, "sbl", "twelve", "no usable configuration length", "sbl"},
        {"negative length", false, "sbl", "-64", "no usable configuration length", "sbl"},
        {"absurd length", false, "sbl", "99999999", "no usable configuration length", "sbl"},
        {"refused key", false, "sbk", "ERROR 7", "\"sbk\"", "sbk"},
        {"failing block", false, "sbg3", "error: flash", "block 3 of", "sbg3"},
        {"silent block", false, "sbg2", "", "block 2 of", "sbg2"},
        {"refused upload block", true, "sbs2", "error: flash", "block 2 of", "sbs2"},
        {"refused closing", true, "sbe", "error: key mismatch", "did not take the configuration", "sbe"},
        {"other major version", true, "sversion", "3.1", "version mismatch", "sversion"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HostedController source(Vasta1);
        const QByteArray image = download(source);
        HostedController vasta(Vasta2);
        vasta.overrides.insert(c.word, c.answer);
        const CVNDeviceRequest reply = c.isUpload ? upload(vasta, image) : act(vasta, "settings.download");
        EXPECT_EQ(reply.type, CVNDeviceRequest::Error);
        EXPECT_TRUE(reply.text.startsWith(c.isUpload ? "Settings upload error: " : "Settings download error: "))
            << reply.text.toStdString();
        EXPECT_TRUE(reply.text.contains(c.reason)) << reply.text.toStdString();
        EXPECT_FALSE(reply.value.isValid());
        EXPECT_EQ(vasta.words().last(), c.lastWord);
    }
}

// Files that are not a settings image of this controller's format are
// refused before a single command goes out.
TEST_F(SettingsActions, BadVeilFilesSendNothing)
{
    HostedController source(Vasta1);
    const QByteArray good = download(source);
    const FileItems items = itemsOf(good, 4);
    const QStringList texts = items.texts;
    auto with = [&](int index, const QString& text) {
        QStringList changed = texts;
        changed[index] = text;
        return fileOf(changed, items.configuration);
    };
    QByteArray garbage(700, '\0');
    for (char& byte : garbage)
        byte = char(QRandomGenerator::global()->bounded(256));
    const int length = texts.at(2).toInt();

    const QList<QPair<const char*, QByteArray>> files = {
        {"empty", QByteArray()},
        {"truncated in the header", good.left(20)},
        {"truncated in the configuration", good.left(good.size() - 1)},
        {"garbage", garbage},
        {"trailing bytes", good + "x"},
        {"lower-case header", with(0, texts.at(0).toLower())},
        {"Tarso header", with(0, "Corvane Firmware Settings Tarso v1.0")},
        {"major version 3", with(1, "3.0")},
        {"no version", with(1, QString())},
        {"negative length", with(2, "-1")},
        {"length beyond the configuration", with(2, QString::number(length + 64))},
        {"configuration beyond its blocks", with(2, QString::number(length - 64))},
        {"length not a number", with(2, "0x40")},
        {"absurd length", with(2, "4294967296")},
        {"key too long", with(3, QString(60, 'K'))},
        {"a Tarso file", fileOf({"Corvane Firmware Settings Tarso v1.0", "2.5", "64"}, QByteArray(64, 'a'))},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.first);
        HostedController vasta(Vasta2);
        const CVNDeviceRequest reply = upload(vasta, file.second);
        EXPECT_EQ(reply.type, CVNDeviceRequest::Error);
        EXPECT_TRUE(reply.text.startsWith("Settings upload error: ")) << reply.text.toStdString();
        EXPECT_TRUE(vasta.traffic.isEmpty()) << vasta.traffic.join(" | ").toStdString();
    }
}

TEST_F(SettingsActions, TarsoProceduresWithWaitPolling)
{
    // A short configuration ends in a partly filled block.
    HostedController source(Tarso1 + ",th=91,gain=5,sbl=300");
    HostedController target(Tarso2 + ",swait=2,sbl=300");
    const QByteArray image = download(source);
    const FileItems items = itemsOf(image, 3);
    const int size = source.value("sbl").toInt();
    const int blocks = (size + 63) / 64;
    EXPECT_EQ(items.texts, QStringList({"Corvane Firmware Settings Tarso v1.0", "1.5", QString::number(size)}));
    EXPECT_EQ(items.configuration.size(), blocks * 64);
    EXPECT_EQ(source.words(), QStringList({"sversion", "sbsb0000", "sbss0000"}) + blockWords("sbsr", blocks, true)
                                  + QStringList{"sbse0000"});

    const CVNDeviceRequest reply = upload(target, image);
    EXPECT_EQ(reply.type, CVNDeviceRequest::Call) << reply.text.toStdString();
    EXPECT_EQ(target.value("th"), "91");
    EXPECT_EQ(target.value("gain"), "5");
    EXPECT_EQ(target.words(), QStringList({"sversion", "sblb0000"}) + blockWords("sblw", blocks, true)
                                  + QStringList({"sblt0000", "sblt0000", "sblt0000", "sble", "sble", "sble"}));
    // The polls carry the last block sent.
    const QString lastBlock = target.traffic.at(target.traffic.size() - 7).section(" -> ", 0, 0).section(' ', 1);
    EXPECT_FALSE(lastBlock.isEmpty());
    EXPECT_EQ(target.traffic.at(target.traffic.size() - 6).section(" -> ", 0, 0).section(' ', 1), lastBlock);
    EXPECT_TRUE(target.traffic.last().endsWith("-> Finished"));
}

TEST_F(SettingsActions, TarsoSizesAtTheEdges)
{
    // Size 0 still moves one block each way.
    HostedController empty(Tarso1 + ",sbl=0");
    const QByteArray image = download(empty);
    EXPECT_EQ(itemsOf(image, 3).configuration.size(), 64);
    EXPECT_EQ(empty.words(), QStringList({"sversion", "sbsb0000", "sbss0000", "sbsr0000", "sbse0000"}));
    HostedController target(Tarso2 + ",sbl=0,swait=0");
    EXPECT_EQ(upload(target, image).type, CVNDeviceRequest::Call);
    EXPECT_EQ(target.words(), QStringList({"sversion", "sblb0000", "sblw0000", "sblt0000", "sble"}));

    // 157 blocks is the most four-digit offsets address.
    HostedController largest(Tarso1 + ",sbl=10048");
    EXPECT_EQ(itemsOf(download(largest), 3).configuration.size(), 10048);
    EXPECT_EQ(largest.words().at(largest.words().size() - 2), "sbsr9984");
    HostedController tooLarge(Tarso1 + ",sbl=10049");
    const CVNDeviceRequest refused = act(tooLarge, "settings.download");
    EXPECT_EQ(refused.type, CVNDeviceRequest::Error);
    EXPECT_TRUE(refused.text.contains("no usable configuration size")) << refused.text.toStdString();
    EXPECT_EQ(tooLarge.words().last(), "sbss0000");

    const QString header = "Corvane Firmware Settings Tarso v1.0";
    const QList<QPair<const char*, QByteArray>> files = {
        {"158 blocks", fileOf({header, "1.5", "10049"}, QByteArray(10112, 'a'))},
        {"size beyond the file", fileOf({header, "1.5", "200"}, QByteArray(64, 'a'))},
        {"negative size", fileOf({header, "1.5", "-64"}, QByteArray(64, 'a'))},
        {"Veil header", fileOf({"Corvane Veil File Settings v2.4", "1.5", "64"}, QByteArray(64, 'a'))},
        {"a Veil file", download(*std::make_unique<HostedController>(Vasta1))},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.first);
        HostedController tarso(Tarso2);
        const CVNDeviceRequest reply = upload(tarso, file.second);
        EXPECT_EQ(reply.type, CVNDeviceRequest::Error);
        EXPECT_TRUE(tarso.traffic.isEmpty()) << tarso.traffic.join(" | ").toStdString();
    }
}

TEST_F(SettingsActions, TarsoUploadFailures)
{
    HostedController source(Tarso1);
    const QByteArray image = download(source);

    // A controller that never finishes is given up on, not waited for forever.
    HostedController busy(Tarso2 + ",swait=1000000000");
    const CVNSettingsTransfer stuck = CVNHidSettingsTarso::upload(*busy.hid, image, {150, 1});
    EXPECT_TRUE(stuck.error.contains("still answered \"Wait\" to \"sblt0000\"")) << stuck.error.toStdString();
    EXPECT_EQ(busy.words().last(), "sblt0000");

    struct Case {
        const char* name;
        QString word;
        QByteArray answer;
        QString reason;
    };
    const QList<Case> cases = {
        {"other major version", "sversion", "2.5", "version mismatch"},
        {"refused begin", "sblb0000", "error: locked", "\"sblb0000\""},
        {"refused block", "sblw0064", "error: flash", "block 1 of"},
        {"silent first block", "sblw0000", "", "block 0 of"},
        {"refused load", "sble", "error: invalid configuration", "did not finish loading"},
        {"unexpected final answer", "sble", "Done", "did not finish loading"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HostedController tarso(Tarso2);
        tarso.overrides.insert(c.word, c.answer);
        const CVNDeviceRequest reply = upload(tarso, image);
        EXPECT_EQ(reply.type, CVNDeviceRequest::Error);
        EXPECT_TRUE(reply.text.contains(c.reason)) << reply.text.toStdString();
    }
}

TEST_F(SettingsActions, FlashCommandsAndArguments)
{
    HostedController vasta(Vasta1 + ",th=77");
    EXPECT_EQ(act(vasta, "settings.default").type, CVNDeviceRequest::Call);
    EXPECT_EQ(vasta.value("th"), "40");
    EXPECT_EQ(act(vasta, "settings.save").type, CVNDeviceRequest::Call);
    EXPECT_EQ(act(vasta, "settings.erase").type, CVNDeviceRequest::Call);
    EXPECT_EQ(vasta.words(), QStringList({"sdefault", "ssave", "serase"}));

    vasta.overrides.insert("ssave", "error: flash worn");
    const CVNDeviceRequest refused = act(vasta, "settings.save");
    EXPECT_EQ(refused.type, CVNDeviceRequest::Error);
    EXPECT_EQ(refused.text, "error: flash worn");

    for (const QVariantList& arguments : {QVariantList{}, QVariantList{QByteArray("a"), QByteArray("b")}}) {
        const CVNDeviceRequest reply = act(vasta, "settings.upload", arguments);
        EXPECT_EQ(reply.type, CVNDeviceRequest::Error);
        EXPECT_EQ(reply.text, CVNHidSettingsActions::ArgumentError);
    }
    EXPECT_EQ(act(vasta, "settings.load").type, CVNDeviceRequest::Error);
    EXPECT_EQ(vasta.words().size(), 4);
}

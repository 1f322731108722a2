// The HID interface's settings actions against simulated controllers hosted
// in this process: the Veil and Tarso procedures block by block, the files
// they write, and refusals answered as errors, nothing sent for a bad file.
#include "device/hidsettingsactions.h"
#include "device/hidsettingstarso.h"
#include "interface/deviceinterfacehid.h"
#include "server/entitybuilders.h"
#include "simcontrollerhandle.h"

#include <QDataStream>

#include <gtest/gtest.h>

namespace {

const QString Vasta1 = QStringLiteral("vasta:0200000001A3:2.005");
const QString Vasta2 = QStringLiteral("vasta:0200000002B4:2.005");
const QString Tarso1 = QStringLiteral("20:1400000001D1:2.005");
const QString Tarso2 = QStringLiteral("20:1400000002E2:2.005");
const QString TarsoHeader = QStringLiteral("Corvane Firmware Settings Tarso v1.0");

// A settings file's text items and configuration, with Qt's own stream.
QStringList textsOf(const QByteArray& bytes, int count, QByteArray* configuration)
{
    QDataStream stream(bytes);
    QStringList texts;
    for (QString text; texts.size() < count; texts.append(text))
        stream >> text;
    stream >> *configuration;
    EXPECT_TRUE(stream.status() == QDataStream::Ok && stream.atEnd());
    return texts;
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
    // Each file refused by a fresh controller before anything is sent.
    static void expectRefusedSilently(const QString& setup, const QList<QPair<const char*, QByteArray>>& files)
    {
        for (const auto& file : files) {
            SCOPED_TRACE(file.first);
            HostedController controller(setup);
            const CVNDeviceRequest reply = upload(controller, file.second);
            EXPECT_EQ(reply.type, CVNDeviceRequest::Error);
            EXPECT_TRUE(reply.text.startsWith("Settings upload error: ")) << reply.text.toStdString();
            EXPECT_TRUE(controller.traffic.isEmpty()) << controller.traffic.join(" | ").toStdString();
        }
    }
};

}  // namespace

TEST_F(SettingsActions, VeilFileMovesASettingsToASecondController)
{
    HostedController source(Vasta1 + ",th=77,fmode=raw");
    HostedController target(Vasta2);
    const QByteArray image = download(source);

    // Big-endian UTF-16 text items: the 31-character header first.
    EXPECT_EQ(image.left(6), QByteArray("\x00\x00\x00\x3e\x00\x43", 6));
    QByteArray configuration;
    const int length = source.value("sbl").toInt();
    const int blocks = (length + 63) / 64;
    EXPECT_EQ(textsOf(image, 4, &configuration),
              QStringList({"Corvane Veil File Settings v2.4", "2.5", QString::number(length), source.value("sbk")}));
    EXPECT_EQ(configuration.size(), blocks * 64);
    EXPECT_EQ(configuration.left(length), source.controller->settingsFlash().configuration());
    EXPECT_EQ(source.words(), QStringList({"sversion", "sbb", "sbl", "sbk"}) + blockWords("sbg", blocks, false) + QStringList{"sbe"});

    EXPECT_EQ(upload(target, image).type, CVNDeviceRequest::Call);
    for (const char* word : {"th", "fmode", "gain", "tblobdis"})
        EXPECT_EQ(target.value(word), source.value(word)) << word;
    EXPECT_EQ(target.words(), QStringList({"sversion", "sbb"}) + blockWords("sbs", blocks, false) + QStringList{"sbe"});
    EXPECT_TRUE(target.traffic.last().startsWith(QStringLiteral("sbe %1 %2 -> ok").arg(source.value("sbk")).arg(length)));

    // A length of 0 moves no block; the closing command still names it.
    HostedController empty(Vasta1 + ",sbl=0");
    const QByteArray nothing = download(empty);
    EXPECT_EQ(textsOf(nothing, 4, &configuration).at(2), "0");
    EXPECT_EQ(empty.words(), QStringList({"sversion", "sbb", "sbl", "sbk", "sbe"}));
    HostedController emptyTarget(Vasta2 + ",sbl=0");
    EXPECT_EQ(upload(emptyTarget, nothing).type, CVNDeviceRequest::Call);
    EXPECT_EQ(emptyTarget.traffic.last().section(" -> ", 0, 0), "sbe " + emptyTarget.value("sbk") + " 0");
}

// A controller that refuses or falls silent at one step: an error naming
// that step, no image, nothing sent after it.
TEST_F(SettingsActions, VeilFailuresNameTheirStep)
{
    struct Case {
        QString word;
        QByteArray answer; // empty: the transfer fails
        QString reason;
        bool upload;
    };
    const QList<Case> cases = {
        {"sbb", "error: busy", "\"sbb\" (\"error: busy\")", false},
        {"sbl", "-64", "no usable configuration length", false},
        {"sbl", "99999999", "no usable configuration length", false},
        {"sbk", "ERROR 7", "\"sbk\"", false},
        {"sbg3", "error: flash", "block 3 of", false},
        {"sbg2", "", "block 2 of", false},
        {"sbs2", "error: flash", "block 2 of", true},
        {"sversion", "3.1", "version mismatch", true},
    };
    HostedController source(Vasta1);
    const QByteArray image = download(source);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.word.toStdString());
        HostedController vasta(Vasta2);
        vasta.handle->answers.insert(c.word, c.answer);
        const CVNDeviceRequest reply = c.upload ? upload(vasta, image) : act(vasta, "settings.download");
        EXPECT_EQ(reply.type, CVNDeviceRequest::Error);
        EXPECT_TRUE(reply.text.startsWith(c.upload ? "Settings upload error: " : "Settings download error: "));
        EXPECT_TRUE(reply.text.contains(c.reason)) << reply.text.toStdString();
        EXPECT_FALSE(reply.value.isValid());
        EXPECT_EQ(vasta.words().last(), c.word);
    }
    // The controller's own refusal of a file of another product.
    HostedController lyn(QStringLiteral("lyn:0400000001B4:2.005,sbl=") + source.value("sbl"));
    EXPECT_TRUE(upload(lyn, image).text.endsWith("did not take the configuration (\"error: key mismatch\")"));
}

TEST_F(SettingsActions, BadVeilFilesSendNothing)
{
    HostedController source(Vasta1);
    const QByteArray good = download(source);
    QByteArray configuration;
    const QStringList texts = textsOf(good, 4, &configuration);
    auto with = [&](int index, const QString& text) {
        QStringList changed = texts;
        changed[index] = text;
        return fileOf(changed, configuration);
    };
    expectRefusedSilently(Vasta2, {{"empty", QByteArray()},
                                   {"truncated", good.left(good.size() - 1)},
                                   {"garbage", QByteArray(700, '\x7f')},
                                   {"trailing bytes", good + "x"},
                                   {"lower-case header", with(0, texts.at(0).toLower())},
                                   {"major version 3", with(1, "3.0")},
                                   {"negative length", with(2, "-1")},
                                   {"length beyond the file", with(2, QString::number(texts.at(2).toInt() + 64))},
                                   {"configuration beyond its blocks", with(2, "64")},
                                   {"key too long", with(3, QString(60, 'K'))},
                                   {"a Tarso file", fileOf({TarsoHeader, "2.5", "64"}, QByteArray(64, 'a'))}});
}

TEST_F(SettingsActions, TarsoProceduresWithWaitPolling)
{
    // A short configuration ends in a partly filled block.
    HostedController source(Tarso1 + ",th=91,gain=5,sbl=300");
    HostedController target(Tarso2 + ",swait=2,sbl=300");
    const QByteArray image = download(source);
    QByteArray configuration;
    EXPECT_EQ(textsOf(image, 3, &configuration), QStringList({TarsoHeader, "1.5", "300"}));
    EXPECT_EQ(configuration.size(), 5 * 64);
    EXPECT_EQ(source.words(), QStringList({"sversion", "sbsb0000", "sbss0000"}) + blockWords("sbsr", 5, true) + QStringList{"sbse0000"});

    EXPECT_EQ(upload(target, image).type, CVNDeviceRequest::Call);
    EXPECT_EQ(target.value("th"), "91");
    EXPECT_EQ(target.value("gain"), "5");
    EXPECT_EQ(target.words(), QStringList({"sversion", "sblb0000"}) + blockWords("sblw", 5, true)
                                  + QStringList({"sblt0000", "sblt0000", "sblt0000", "sble", "sble", "sble"}));
    // The polls carry the last block sent.
    const auto valueAt = [&](int fromEnd) { return target.traffic.at(target.traffic.size() - fromEnd).section(" -> ", 0, 0).section(' ', 1); };
    EXPECT_FALSE(valueAt(7).isEmpty());
    EXPECT_EQ(valueAt(1), valueAt(7));
    EXPECT_TRUE(target.traffic.last().endsWith("-> Finished"));

    // A controller that never finishes is given up on, not waited for forever.
    HostedController busy(Tarso2 + ",swait=1000000000,sbl=300");
    const CVNSettingsTransfer stuck = CVNHidSettingsTarso::upload(*busy.hid, image, {150, 1});
    EXPECT_TRUE(stuck.error.contains("still answered \"Wait\" to \"sblt0000\"")) << stuck.error.toStdString();

    const QList<QPair<QString, QByteArray>> refusals = {
        {"sversion", "2.5"}, {"sblb0000", "error: locked"}, {"sblw0064", "error: flash"}, {"sble", "Done"}};
    for (const auto& refusal : refusals) {
        HostedController tarso(Tarso2 + ",sbl=300");
        tarso.handle->answers.insert(refusal.first, refusal.second);
        EXPECT_EQ(upload(tarso, image).type, CVNDeviceRequest::Error) << refusal.first.toStdString();
    }
}

TEST_F(SettingsActions, TarsoSizesAtTheEdges)
{
    // Size 0 still moves one block each way.
    HostedController empty(Tarso1 + ",sbl=0");
    const QByteArray image = download(empty);
    EXPECT_EQ(empty.words(), QStringList({"sversion", "sbsb0000", "sbss0000", "sbsr0000", "sbse0000"}));
    HostedController target(Tarso2 + ",sbl=0,swait=0");
    EXPECT_EQ(upload(target, image).type, CVNDeviceRequest::Call);
    EXPECT_EQ(target.words(), QStringList({"sversion", "sblb0000", "sblw0000", "sblt0000", "sble"}));

    // 157 blocks is the most that four-digit offsets address.
    HostedController largest(Tarso1 + ",sbl=10048");
    QByteArray configuration;
    (void)textsOf(download(largest), 3, &configuration);
    EXPECT_EQ(configuration.size(), 10048);
    EXPECT_EQ(largest.words().at(largest.words().size() - 2), "sbsr9984");
    HostedController tooLarge(Tarso1 + ",sbl=10049");
    EXPECT_EQ(act(tooLarge, "settings.download").type, CVNDeviceRequest::Error);
    EXPECT_EQ(tooLarge.words().last(), "sbss0000");

    expectRefusedSilently(Tarso2, {{"158 blocks", fileOf({TarsoHeader, "1.5", "10049"}, QByteArray(10112, 'a'))},
                                   {"size beyond the file", fileOf({TarsoHeader, "1.5", "200"}, QByteArray(64, 'a'))},
                                   {"negative size", fileOf({TarsoHeader, "1.5", "-64"}, QByteArray(64, 'a'))}});

    for (const QVariantList& arguments : {QVariantList{}, QVariantList{QByteArray("a"), QByteArray("b")}})
        EXPECT_EQ(act(target, "settings.upload", arguments).text, CVNHidSettingsActions::ArgumentError);
}

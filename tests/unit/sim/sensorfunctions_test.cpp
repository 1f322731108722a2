// The controller's sensor functions: frames from the foil model in input
// reports of id 9, the cell mask in "fec" blocks, the foil health test, and
// the foil damage set up on the command line or on a running simulator.
#include "commandreport.h"
#include "controllersetup.h"
#include "registercatalog.h"
#include "registertable.h"
#include "sensorfunctions.h"
#include "simlimits.h"
#include "simserver.h"
#include "virtualcontroller.h"

#include "qstringprinter.h"

#include <gtest/gtest.h>

using namespace corvanesim;

namespace {

CommandReport command(const QByteArray& word, const QByteArray& block = {})
{
    CommandReport c;
    c.word = word.leftJustified(CommandWordSize, '\0');
    c.block = block.leftJustified(CommandValueSize, '\0');
    return c;
}

double mean(const QByteArray& bytes)
{
    double sum = 0;
    for (char b : bytes)
        sum += quint8(b);
    return bytes.isEmpty() ? 0 : sum / bytes.size();
}

// A Vasta's sensor functions on a clock the test moves, with fingers the
// test places.
struct Sensor : ::testing::Test {
    qint64 now = 0;
    QList<Contact> fingers;
    CVNRegisterTable registers{registerCatalog(2, 0x0205, QStringLiteral("0200000001A3")), LiveSources()};
    CVNSensorFunctions sensor{&registers, [this] { return now; }, [this] { return fingers; }};

    void set(const char* word, const char* value) { ASSERT_TRUE(registers.preset(word, value, nullptr)); }
    QByteArray answer(const QByteArray& word, const QByteArray& block = {})
    {
        QByteArray out;
        EXPECT_TRUE(sensor.command(command(word, block), &out)) << word.constData();
        return out;
    }
};

}  // namespace

TEST_F(Sensor, FramesFollowGainCaptureModeAndFrameMode)
{
    EXPECT_EQ(sensor.width(), 168);
    EXPECT_EQ(sensor.height(), 96);
    set("fmode", "raw");
    set("gain", "0");
    const double gain0 = mean(sensor.currentFrame());
    set("gain", "5");
    const double gain5 = mean(sensor.currentFrame());
    EXPECT_NEAR(gain5 - gain0, 5 * 12, 3);
    set("capmode", "2");
    EXPECT_GT(mean(sensor.currentFrame()), gain5 + 5);
    set("fmode", "normal");
    EXPECT_LT(mean(sensor.currentFrame()), 6);

    // A finger in the middle shows as a blob in normal frames.
    Contact finger;
    finger.x = 2048;
    finger.y = 2048;
    finger.size = 40;
    fingers = {finger};
    const QByteArray frame = sensor.currentFrame();
    EXPECT_GT(quint8(frame.at(48 * 168 + 84)), 100);
    EXPECT_LT(quint8(frame.at(10 * 168 + 10)), 10);
}

TEST_F(Sensor, FrameReportsCarryOneFrameInChunks)
{
    QByteArray assembled;
    for (int i = 0; i < 4; ++i) {
        const TransferResult r = sensor.input(9, 4033);
        ASSERT_EQ(r.status, TransferResult::Status::Ok);
        ASSERT_EQ(r.data.size(), 4033);
        EXPECT_EQ(r.data.at(0), 9);
        assembled += r.data.mid(1);
    }
    EXPECT_EQ(assembled.left(168 * 96), sensor.sendingFrame());
    EXPECT_EQ(assembled.mid(168 * 96), QByteArray(4 * 4032 - 168 * 96, '\0'));

    // "frirf" starts a fresh frame from its first chunk.
    (void)sensor.input(9, 4033);
    QByteArray none;
    EXPECT_FALSE(sensor.command(command("frirf"), &none));
    EXPECT_EQ(sensor.input(9, 4033).data.mid(1, 100), sensor.sendingFrame().left(100));

    EXPECT_EQ(sensor.input(8, 4033).status, TransferResult::Status::Fail);
    set("frirf", "0");
    EXPECT_EQ(sensor.input(9, 4033).status, TransferResult::Status::Fail);
}

TEST_F(Sensor, CellMaskBlocksAreKeptAndEchoed)
{
    const QByteArray payload = QByteArray("\x0f\xf0", 2).leftJustified(60, '\x55');
    const QByteArray written = answer("fec", "bs07" + payload);
    EXPECT_EQ(written.left(4), "bs07");
    const QByteArray read = answer("fec", "bg07");
    EXPECT_EQ(read.left(4), "bg07");
    EXPECT_EQ(read.mid(4, 60), payload);
    EXPECT_EQ(answer("fec", "bg00").mid(4, 60), QByteArray(60, char(0xFF)));
    EXPECT_EQ(sensor.mask().mid(7 * 60, 60), payload);

    for (const QByteArray& bad : {QByteArray("bg34"), QByteArray("bx00"), QByteArray("b"), QByteArray()})
        EXPECT_EQ(fieldText(answer("fec", bad)), QLatin1String(answers::InvalidArgument)) << bad.constData();
}

TEST_F(Sensor, FoilHealthTestRunsThenHandsOutItsResult)
{
    sensor.foil().damage().deadColumns = {60};
    sensor.foil().damage().brokenRows = {5};
    EXPECT_EQ(fieldText(answer("foilh", "status")), "0");
    EXPECT_TRUE(fieldText(answer("foilh", "bg00")).startsWith("error"));
    EXPECT_EQ(fieldText(answer("foilh", "start")), "start");
    EXPECT_EQ(fieldText(answer("foilh", "status")), "2");
    EXPECT_EQ(fieldText(answer("foilh")), "2");
    now += CVNSensorFunctions::HealthTestMs;
    EXPECT_EQ(fieldText(answer("foilh", "status")), "1");

    QByteArray bits;
    for (int i = 0; i < 34; ++i) {
        const QByteArray head = "bg" + QByteArray::number(i).rightJustified(2, '0');
        const QByteArray block = answer("foilh", head);
        ASSERT_EQ(block.left(4), head);
        bits += block.mid(4, 60);
    }
    auto sound = [&](int x, int y) {
        const int i = y * 168 + x;
        return (quint8(bits.at(i / 8)) >> (i % 8)) & 1;
    };
    EXPECT_EQ(sound(60, 0), 0);
    EXPECT_EQ(sound(3, 5), 0);
    EXPECT_EQ(sound(59, 4), 1);
    EXPECT_EQ(sound(167, 95), 1);

    EXPECT_EQ(fieldText(answer("foilh", "stop")), "stop");
    EXPECT_EQ(fieldText(answer("foilh", "status")), "0");
    EXPECT_EQ(fieldText(answer("foilh", "bogus")), QLatin1String(answers::InvalidArgument));
}

TEST(FoilSetup, DamageKeysAndVerbs)
{
    ControllerSetup setup;
    QString error;
    ASSERT_TRUE(parseControllerSetup("vasta:0200000001A3:2.005,deadcols=60+3,brokenrows=5,shortrows=40", &setup, &error));
    EXPECT_EQ(setup.damage.deadColumns, (QSet<int>{3, 60}));
    EXPECT_EQ(setup.damage.brokenRows, QSet<int>{5});
    EXPECT_EQ(setup.damage.shortedRows, QSet<int>{40});
    EXPECT_TRUE(setup.presets.isEmpty());
    for (const char* bad : {"deadcols=x", "deadcols=60+", "brokenrows=-1", "shortcols=", "deadcols=5000"}) {
        EXPECT_FALSE(parseControllerSetup(QStringLiteral("vasta:0200000001A3:2.005,") + bad, &setup, &error)) << bad;
        EXPECT_TRUE(error.contains("line numbers")) << error.toStdString();
    }
    ASSERT_TRUE(parseControllerSetup("lyn:0400000001B4:2.005,deadcols=84", &setup, &error));
    EXPECT_EQ(CVNVirtualController::create(setup, &error), nullptr);
    EXPECT_EQ(error, "column 84 outside the sensor (0..83)");

    CVNSimServer server;
    ASSERT_TRUE(parseControllerSetup("vasta:0200000001A3:2.005", &setup, &error));
    ASSERT_TRUE(server.plug(setup, &error));
    const struct {
        const char* request;
        const char* answer;
    } cases[] = {
        {"damage 0200000001A3 col 60", "ok"},
        {"damage 0200000001A3 row 95", "ok"},
        {"damage 0200000001A3 row 96", "error row 96 outside the sensor (0..95)"},
        {"damage 0200000001A3 diagonal 3", "error usage: damage SERIAL col|row N"},
        {"damage 0200000001A3 col -1", "error usage: damage SERIAL col|row N"},
        {"damage 0200000001A3 col", "error usage: damage SERIAL col|row N"},
        {"damage 0000000000XX col 1", "error no controller with serial 0000000000XX"},
        {"heal 0000000000XX", "error no controller with serial 0000000000XX"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(server.control(QLatin1String(c.request)), QStringList{QLatin1String(c.answer)}) << c.request;
    CVNVirtualController* controller = server.controller("0200000001A3");
    EXPECT_EQ(controller->sensor().foil().damage().deadColumns, QSet<int>{60});
    EXPECT_EQ(controller->sensor().foil().damage().brokenRows, QSet<int>{95});
    EXPECT_EQ(server.control("heal 0200000001A3"), QStringList{"ok"});
    EXPECT_TRUE(controller->sensor().foil().damage().isHealthy());
}

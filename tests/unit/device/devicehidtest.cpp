#include "device/devicehid.h"
#include "device/hidprobe.h"

#include "fakeusb.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace
{

struct HidFixture : ::testing::Test {
    std::shared_ptr<FakeController> controller = FakeController::standard();
    CVNDeviceParent* parent = new CVNDeviceParent(QStringLiteral("0200000001A3"), QStringLiteral("2.005"), 2);
    CVNDeviceHid* hid = new CVNDeviceHid(parent, std::make_unique<FakeHandle>(controller));

    HidFixture() { parent->addChild(hid); }
    ~HidFixture() override { delete parent; }
};

} // namespace

TEST_F(HidFixture, CommandIsOneSetAndOneGetSpacedApart)
{
    EXPECT_EQ(hid->sendCommand(QStringLiteral("gain"), QString(), true), QStringLiteral("3"));
    EXPECT_EQ(hid->sendCommand(QStringLiteral("gain"), QStringLiteral("5"), true), QStringLiteral("5"));
    EXPECT_EQ(controller->transfers, 4);
    EXPECT_EQ(controller->commands, QStringList({ "gain ", "gain 5" }));
    for (int i = 1; i < controller->transferTimesNs.size(); ++i)
        EXPECT_GE(controller->transferTimesNs.at(i) - controller->transferTimesNs.at(i - 1), 1000000) << i;

    EXPECT_TRUE(hid->sendCommand(QStringLiteral("dreset"), QString(), false).isEmpty());
    EXPECT_EQ(controller->transfers, 5); // no answer read
}

TEST_F(HidFixture, RawCommandCopiesTheAnswerBlock)
{
    QByteArray block(64, '\x01');
    QByteArray answer;
    ASSERT_TRUE(hid->sendCommandRaw(QStringLiteral("gain"), block, answer, true));
    ASSERT_EQ(answer.size(), 64);
    EXPECT_EQ(answer.left(64), QByteArray(64, '\x01')); // the register took the block
}

TEST_F(HidFixture, FailuresAreRetriedUpToTenAttempts)
{
    controller->failNext = 9;
    EXPECT_EQ(hid->sendCommand(QStringLiteral("gain"), QString(), true), QStringLiteral("3"));
    EXPECT_EQ(controller->transfers, 11);
    EXPECT_TRUE(parent->isOpen());
}

TEST_F(HidFixture, TenthFailureClosesTheChannelForGood)
{
    QSignalSpy failed(parent, &CVNDeviceParent::channelFailed);
    controller->failNext = 10;
    EXPECT_TRUE(hid->sendCommand(QStringLiteral("gain"), QString(), true).isEmpty());
    EXPECT_EQ(controller->transfers, 10);
    EXPECT_FALSE(parent->isOpen());
    EXPECT_FALSE(hid->isOpen());
    EXPECT_EQ(failed.count(), 1);

    // Every later transfer fails at once, without touching the device.
    QByteArray report(161, '\0');
    EXPECT_TRUE(hid->sendCommand(QStringLiteral("gain"), QString(), true).isEmpty());
    EXPECT_FALSE(hid->readTouchReport(report));
    EXPECT_FALSE(hid->setFeature(QByteArray(73, '\0')));
    EXPECT_EQ(controller->transfers, 10);
}

TEST_F(HidFixture, ProbeAcceptsAController)
{
    EXPECT_TRUE(CVNHidProbe::run(*hid));
    EXPECT_EQ(controller->commands, QStringList({ "gain ", "gain ", "gain ", "dbuild ", "dserial " }));
}

TEST_F(HidFixture, ProbeRejectsAndResets)
{
    struct Case {
        QByteArray word;
        QByteArray answer;
    };
    const QList<Case> cases = {
        { "gain", "9" }, // gain too high
        { "gain", "8" }, { "dbuild", QByteArray(39, 'a') }, // build id too short
        { "dbuild", "3" }, // same as gain
        { "dserial", "0200000001A" }, // serial too short
    };
    for (const Case& c : cases) {
        controller->registers = FakeController::standard()->registers;
        controller->registers[c.word] = c.answer;
        controller->commands.clear();
        EXPECT_FALSE(CVNHidProbe::run(*hid)) << c.word.constData() << " " << c.answer.constData();
        EXPECT_EQ(controller->commands.last(), QStringLiteral("dreset ")) << c.word.constData();
    }
}

TEST_F(HidFixture, ProbeWaitsForAControllerThatAnswersLate)
{
    controller->registers["gain"] = "";
    int queries = 0;
    // A controller that stays silent is asked 21 times, then given up on.
    EXPECT_FALSE(CVNHidProbe::run(*hid));
    for (const QString& command : controller->commands)
        queries += command == QLatin1String("gain ") ? 1 : 0;
    EXPECT_EQ(queries, 21 + 3);
    EXPECT_EQ(controller->commands.last(), QStringLiteral("dreset "));
}

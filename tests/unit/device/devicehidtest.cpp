#include "device/hidprobe.h"

#include "fakeusb.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

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

    QByteArray answer;
    ASSERT_TRUE(hid->sendCommandRaw(QStringLiteral("gain"), QByteArray(64, '\x01'), answer, true));
    EXPECT_EQ(answer, QByteArray(64, '\x01')); // the register took the block
}

TEST_F(HidFixture, RetriedUpToTenAttemptsThenClosedForGood)
{
    controller->failNext = 9;
    EXPECT_EQ(hid->sendCommand(QStringLiteral("gain"), QString(), true), QStringLiteral("3"));
    EXPECT_EQ(controller->transfers, 11);
    EXPECT_TRUE(parent->isOpen());

    QSignalSpy failed(parent, &CVNDeviceParent::channelFailed);
    controller->transfers = 0;
    controller->failNext = 10;
    EXPECT_TRUE(hid->sendCommand(QStringLiteral("gain"), QString(), true).isEmpty());
    EXPECT_EQ(controller->transfers, 10);
    EXPECT_FALSE(parent->isOpen());
    EXPECT_FALSE(hid->isOpen());
    parent->markNotOpen(); // closing again announces nothing
    EXPECT_EQ(failed.count(), 1);

    // Every later transfer fails at once, without touching the device.
    QByteArray report(64, '\0');
    EXPECT_TRUE(hid->sendCommand(QStringLiteral("gain"), QString(), true).isEmpty());
    EXPECT_FALSE(hid->getInputReport(report));
    EXPECT_FALSE(hid->setFeature(QByteArray(73, '\0')));
    EXPECT_EQ(controller->transfers, 10);
}

// Gain 9 and noise during the probe are proven against corvane-sim.
TEST_F(HidFixture, ProbeAcceptsAControllerOrRejectsAndResets)
{
    EXPECT_TRUE(CVNHidProbe::run(*hid));
    EXPECT_EQ(controller->commands, QStringList({ "gain ", "gain ", "gain ", "dbuild ", "dserial " }));

    const QList<QPair<QByteArray, QByteArray>> cases = {
        { "gain", "8" }, // gain too high
        { "dbuild", QByteArray(39, 'a') }, // build id too short
        { "dbuild", "3" }, // same as gain
        { "dserial", "0200000001A" }, // serial too short
        { "gain", "" }, // silent: asked 21 more times, then given up on
    };
    for (const auto& c : cases) {
        controller->registers = FakeController().registers;
        controller->registers[c.first] = c.second;
        controller->commands.clear();
        EXPECT_FALSE(CVNHidProbe::run(*hid)) << c.first.constData() << " " << c.second.constData();
        EXPECT_EQ(controller->commands.last(), QStringLiteral("dreset ")) << c.first.constData();
    }
    EXPECT_EQ(controller->commands.count(QStringLiteral("gain ")), 21 + 3);
}

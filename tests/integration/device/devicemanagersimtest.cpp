// The real device manager against a running corvane-sim, through its socket.
#include "device/devicehid.h"
#include "device/devicemanager.h"
#include "device/devicemanagerhandler.h"
#include "device/hidexchange.h"
#include "device/platform/usbplatform.h"

#include "simprocess.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <thread>

namespace
{

constexpr int WaitMs = 10000;
const QString Vasta = QStringLiteral("0200000001A3");
const QString Lyn = QStringLiteral("0400000001B4");

bool waitFor(QSignalSpy& spy, int count)
{
    for (int i = 0; i < 100 && spy.count() < count; ++i)
        spy.wait(100);
    return spy.count() == count;
}

struct ManagerOverSim : ::testing::Test {
    std::unique_ptr<SimProcess> sim;
    std::unique_ptr<CVNDeviceManager> manager;
    std::unique_ptr<QSignalSpy> inserted;
    std::unique_ptr<QSignalSpy> removed;

    void startWith(const QStringList& setups)
    {
        launch(setups);
        startManager();
    }

    void launch(const QStringList& setups)
    {
        sim = std::make_unique<SimProcess>(setups);
        ASSERT_TRUE(sim->isRunning());
    }

    // The manager on the simulator, not yet started.
    void createManager()
    {
        qputenv("CORVANE_SIM_SOCKET", sim->socketPath().toLocal8Bit());
        manager = std::make_unique<CVNDeviceManager>();
        inserted = std::make_unique<QSignalSpy>(manager.get(), &CVNDeviceManager::deviceInserted);
        removed = std::make_unique<QSignalSpy>(manager.get(), &CVNDeviceManager::deviceRemoved);
    }

    void startManager()
    {
        ASSERT_TRUE(sim && sim->isRunning());
        createManager();
        QSignalSpy started(manager.get(), &CVNDeviceManager::started);
        manager->start();
        ASSERT_TRUE(started.wait(WaitMs));
    }

    void TearDown() override
    {
        inserted.reset();
        removed.reset();
        manager.reset();
        sim.reset();
        qunsetenv("CORVANE_SIM_SOCKET");
    }

    bool waitForTraffic(const QString& start) const
    {
        for (int i = 0; i < 200 && !sim->trafficHas(start); ++i)
            QTest::qWait(25);
        return sim->trafficHas(start);
    }

    CVNDeviceHid* hidOf(const QString& serial) const
    {
        CVNDeviceParent* parent = manager->device(serial);
        return parent ? qobject_cast<CVNDeviceHid*>(parent->child(CVNDeviceKind::Hid)) : nullptr;
    }

    CVNDeviceRequest ask(
        const QString& serial, quint8 type, const QString& name, const QVariant& value = QVariant())
    {
        CVNDeviceHid* hid = hidOf(serial);
        if (!hid)
            return CVNDeviceRequest();
        CVNDeviceRequest request(type, name, 77);
        request.value = value;
        return executeHidRequest(*hid, request).value(77);
    }
};

} // namespace

TEST_F(ManagerOverSim, SimPlatformIsChosenByTheEnvironment)
{
    startWith({});
    EXPECT_EQ(createUsbPlatform()->name(), QStringLiteral("sim"));
    qunsetenv("CORVANE_SIM_SOCKET");
    EXPECT_EQ(createUsbPlatform()->name(), QStringLiteral("linux"));
}

TEST_F(ManagerOverSim, PresentControllerIsInsertedAndRemovedOnUnplug)
{
    startWith({ QStringLiteral("vasta:0200000001A3:2.005") });
    ASSERT_EQ(inserted->count(), 1);
    CVNDeviceParent* device = manager->device(Vasta);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(inserted->at(0).at(0).value<CVNDeviceParent*>(), device);
    EXPECT_EQ(device->firmwareVersion(), QStringLiteral("2.005"));
    EXPECT_EQ(device->productType(), 2);
    EXPECT_EQ(device->productName(), QStringLiteral("Vasta"));
    EXPECT_TRUE(device->path().contains(QStringLiteral("#vid_3c2e&pid_0002")));
    EXPECT_TRUE(sim->trafficHas(Vasta + QStringLiteral(" dbuild")));
    EXPECT_TRUE(sim->trafficHas(Vasta + QStringLiteral(" dserial")));

    ASSERT_TRUE(sim->control({ QStringLiteral("unplug"), Vasta }));
    ASSERT_TRUE(waitFor(*removed, 1));
    EXPECT_EQ(removed->at(0).at(0).value<CVNDeviceParent*>(), device);
    EXPECT_TRUE(manager->devices().isEmpty());
}

TEST_F(ManagerOverSim, CommandChannelThroughTheSocket)
{
    startWith({ QStringLiteral("vasta:0200000001A3:2.005") });
    CVNDeviceRequest reply = ask(Vasta, CVNDeviceRequest::Set, QStringLiteral("gain"), 5);
    EXPECT_EQ(reply.type, CVNDeviceRequest::Set);
    EXPECT_EQ(reply.value.toString(), QStringLiteral("5"));
    EXPECT_TRUE(sim->trafficHas(Vasta + QStringLiteral(" gain 5 -> 5")));
    reply = ask(Vasta, CVNDeviceRequest::Get, QStringLiteral("gain"));
    EXPECT_EQ(reply.value.toString(), QStringLiteral("5"));

    reply = ask(Vasta, CVNDeviceRequest::Get, QStringLiteral("nosuchword"));
    EXPECT_EQ(reply.type, CVNDeviceRequest::Error);
    EXPECT_TRUE(reply.text.contains(QStringLiteral("error"), Qt::CaseInsensitive)) << qPrintable(reply.text);
    EXPECT_TRUE(sim->trafficHas(Vasta + QStringLiteral(" nosuchwo  ->"))); // cut to 8 characters

    reply = ask(Vasta, CVNDeviceRequest::Get, QStringLiteral("touches"));
    EXPECT_EQ(reply.type, CVNDeviceRequest::Get);
    EXPECT_EQ(reply.value.toByteArray().left(1), QByteArray(1, 13)); // touch input reports
}

TEST_F(ManagerOverSim, ControllerAnsweringGainNineIsRejectedAndReset)
{
    startWith(
        { QStringLiteral("lyn:0400000001B4:2.010,gain=9"), QStringLiteral("vasta:0200000001A3:2.005") });
    EXPECT_EQ(inserted->count(), 1);
    EXPECT_EQ(manager->device(Lyn), nullptr);
    EXPECT_NE(manager->device(Vasta), nullptr);
    EXPECT_TRUE(sim->trafficHas(Lyn + QStringLiteral(" dreset")));
    EXPECT_FALSE(sim->trafficHas(Vasta + QStringLiteral(" dreset")));
}

TEST_F(ManagerOverSim, HotPlugWhileRunning)
{
    startWith({});
    EXPECT_EQ(inserted->count(), 0);
    ASSERT_TRUE(sim->control({ QStringLiteral("plug"), QStringLiteral("lyn:0400000001B4:2.010") }));
    ASSERT_TRUE(waitFor(*inserted, 1));
    ASSERT_NE(manager->device(Lyn), nullptr);
    EXPECT_EQ(manager->device(Lyn)->productName(), QStringLiteral("Lyn"));
    EXPECT_EQ(manager->device(Lyn)->firmwareVersion(), QStringLiteral("2.010"));

    ASSERT_TRUE(sim->control({ QStringLiteral("unplug"), Lyn }));
    ASSERT_TRUE(waitFor(*removed, 1));
    ASSERT_TRUE(sim->control({ QStringLiteral("plug"), QStringLiteral("lyn:0400000001B4:2.010") }));
    ASSERT_TRUE(waitFor(*inserted, 2));
    EXPECT_EQ(manager->devices().size(), 1);
}

TEST_F(ManagerOverSim, ControllerFoundTwiceIsInsertedOnce)
{
    startWith({ QStringLiteral("vasta:0200000001A3:2.005") });
    ASSERT_EQ(inserted->count(), 1);
    // The same interface offered again from another thread, as when a
    // notice races the enumeration.
    CVNUsbInterfaceInfo info;
    for (const CVNUsbInterfaceInfo& present : createUsbPlatform()->enumerate()) {
        if (present.serial == Vasta)
            info = present;
    }
    ASSERT_FALSE(info.path.isEmpty());
    std::thread([&] { manager->handler()->deviceArrived(info); }).join();
    QCoreApplication::processEvents();
    EXPECT_EQ(inserted->count(), 1);
    EXPECT_EQ(removed->count(), 0);
    EXPECT_EQ(manager->devices().size(), 1);
}

TEST_F(ManagerOverSim, FailedTransferSeriesDropsTheDeviceAndServiceCarriesOn)
{
    startWith({ QStringLiteral("vasta:0200000001A3:2.005") });
    ASSERT_TRUE(sim->control({ QStringLiteral("fail"), Vasta, QStringLiteral("10") }));
    const CVNDeviceRequest reply = ask(Vasta, CVNDeviceRequest::Get, QStringLiteral("gain"));
    EXPECT_FALSE(reply.value.isValid() && !reply.value.toString().isEmpty());
    ASSERT_TRUE(waitFor(*removed, 1));
    EXPECT_EQ(manager->device(Vasta), nullptr);

    ASSERT_TRUE(sim->control({ QStringLiteral("plug"), QStringLiteral("lyn:0400000001B4:2.010") }));
    ASSERT_TRUE(waitFor(*inserted, 2));
    EXPECT_EQ(ask(Lyn, CVNDeviceRequest::Get, QStringLiteral("gain")).type, CVNDeviceRequest::Get);
}

TEST_F(ManagerOverSim, ShortReportsAreRetriedNeverReadAsAnswers)
{
    startWith({ QStringLiteral("vasta:0200000001A3:2.005") });
    ASSERT_TRUE(sim->control({ QStringLiteral("set"), Vasta, QStringLiteral("th"), QStringLiteral("45") }));
    ASSERT_TRUE(sim->control({ QStringLiteral("short"), Vasta, QStringLiteral("3") }));
    EXPECT_EQ(ask(Vasta, CVNDeviceRequest::Get, QStringLiteral("th")).value.toString(), QStringLiteral("45"))
        << "a cut answer would read 4";
    EXPECT_NE(manager->device(Vasta), nullptr);
    // Ten in a row are a failed transfer series like any other.
    ASSERT_TRUE(sim->control({ QStringLiteral("short"), Vasta, QStringLiteral("10") }));
    (void)ask(Vasta, CVNDeviceRequest::Get, QStringLiteral("th"));
    ASSERT_TRUE(waitFor(*removed, 1));
}

TEST_F(ManagerOverSim, GarbageAndVanishingControllersNeverCrash)
{
    startWith({ QStringLiteral("vasta:0200000001A3:2.005"), QStringLiteral("lyn:0400000001B4:2.010") });
    ASSERT_EQ(inserted->count(), 2);
    ASSERT_TRUE(sim->control({ QStringLiteral("garbage"), Vasta, QStringLiteral("4") }));
    // Noise is an answer like any other; once it ends the controller is sane again.
    int asked = 0;
    while (asked < 10 && ask(Vasta, CVNDeviceRequest::Get, QStringLiteral("gain")).value.toString() != "3")
        ++asked;
    EXPECT_GE(asked, 1);
    EXPECT_LT(asked, 10);
    EXPECT_EQ(ask(Vasta, CVNDeviceRequest::Get, QStringLiteral("dserial")).value.toString(), Vasta);

    ASSERT_TRUE(sim->control({ QStringLiteral("vanish"), Lyn }));
    (void)ask(Lyn, CVNDeviceRequest::Get, QStringLiteral("gain"));
    ASSERT_TRUE(waitFor(*removed, 1));
    EXPECT_EQ(manager->device(Lyn), nullptr);
    EXPECT_NE(manager->device(Vasta), nullptr);
}

TEST_F(ManagerOverSim, GarbageDuringProbeRejectsTheController)
{
    launch({ QStringLiteral("vasta:0200000001A3:2.005"), QStringLiteral("lyn:0400000001B4:2.010") });
    ASSERT_TRUE(sim->control({ QStringLiteral("garbage"), Vasta, QStringLiteral("100") }));
    startManager();
    EXPECT_EQ(manager->device(Vasta), nullptr);
    EXPECT_NE(manager->device(Lyn), nullptr);
    EXPECT_EQ(inserted->count(), 1);
}

TEST_F(ManagerOverSim, StopRemovesEveryDevice)
{
    startWith({ QStringLiteral("vasta:0200000001A3:2.005"), QStringLiteral("lyn:0400000001B4:2.010") });
    ASSERT_EQ(inserted->count(), 2);
    manager->stop();
    ASSERT_TRUE(waitFor(*removed, 2));
    EXPECT_TRUE(manager->devices().isEmpty());
    // Nothing is announced once stopped.
    ASSERT_TRUE(sim->control({ QStringLiteral("plug"), QStringLiteral("tarso55:2000000001C5:2.005") }));
    QCoreApplication::processEvents();
    EXPECT_EQ(inserted->count(), 2);
}

TEST_F(ManagerOverSim, ControllerReachedThroughTwoPathsIsOneDevice)
{
    startWith({ QStringLiteral("vasta:0200000001A3:2.005,paths=2") });
    // Both paths were offered during enumeration, whose events come before
    // started: clients saw the controller arrive once and never leave.
    EXPECT_EQ(inserted->count(), 1);
    EXPECT_EQ(removed->count(), 0);
    EXPECT_EQ(manager->devices().size(), 1);
    CVNDeviceParent* device = manager->device(Vasta);
    ASSERT_NE(device, nullptr);
    ASSERT_NE(hidOf(Vasta), nullptr);
    EXPECT_EQ(ask(Vasta, CVNDeviceRequest::Get, QStringLiteral("gain")).value.toString(), QStringLiteral("3"));
    // Probed through one path only.
    EXPECT_EQ(sim->trafficLines().filter(QStringLiteral(" dserial ")).size(), 1);

    // Unplugging takes both paths away; the device held goes, and only once.
    ASSERT_TRUE(sim->control({ QStringLiteral("unplug"), Vasta }));
    ASSERT_TRUE(waitFor(*removed, 1));
    EXPECT_EQ(removed->last().at(0).value<CVNDeviceParent*>(), device);
    QCoreApplication::processEvents();
    EXPECT_EQ(removed->count(), 1);
    EXPECT_EQ(inserted->count(), 1);
    EXPECT_TRUE(manager->devices().isEmpty());
}

TEST_F(ManagerOverSim, ControllerThatHangsInItsProbeHoldsUpOnlyItself)
{
    launch({ QStringLiteral("vasta:0200000001A3:2.005,hang=dbuild"), QStringLiteral("lyn:0400000001B4:2.010") });
    createManager();
    QSignalSpy started(manager.get(), &CVNDeviceManager::started);
    // Returns while the Vasta keeps its probe waiting for an answer.
    manager->start();
    ASSERT_TRUE(waitFor(*inserted, 1));
    EXPECT_NE(manager->device(Lyn), nullptr);
    EXPECT_EQ(ask(Lyn, CVNDeviceRequest::Get, QStringLiteral("gain")).value.toString(), QStringLiteral("3"));
    ASSERT_TRUE(waitForTraffic(Vasta + QStringLiteral(" dbuild")));
    // The enumeration is not over until the Vasta's probe is.
    EXPECT_TRUE(started.isEmpty());

    // Unplugging closes the interface in the middle of the transfer.
    ASSERT_TRUE(sim->control({ QStringLiteral("unplug"), Vasta }));
    ASSERT_TRUE(started.wait(WaitMs));
    EXPECT_EQ(manager->device(Vasta), nullptr);
    EXPECT_FALSE(sim->trafficHas(Vasta + QStringLiteral(" dserial")));

    // A controller that hangs while plugged in does not hold up the stop.
    ASSERT_TRUE(sim->control({ QStringLiteral("plug"), QStringLiteral("tarso55:2000000001C5:2.005,hang=gain") }));
    ASSERT_TRUE(waitForTraffic(QStringLiteral("2000000001C5 gain")));
    manager->stop();
    ASSERT_TRUE(waitFor(*removed, 1));
    EXPECT_EQ(inserted->count(), 1);
}

TEST_F(ManagerOverSim, HidOfAControllerWithItsBulkInterfaceIsNotProbed)
{
    startWith({ QStringLiteral("vasta:0200000001A3:2.005,bulk=1") });
    EXPECT_EQ(inserted->count(), 1);
    EXPECT_EQ(manager->devices().size(), 1);
    CVNDeviceParent* device = manager->device(Vasta);
    ASSERT_NE(device, nullptr);
    EXPECT_NE(device->child(CVNDeviceKind::Bulk), nullptr);
    EXPECT_EQ(device->child(CVNDeviceKind::Hid), nullptr);
    EXPECT_TRUE(device->path().endsWith(QStringLiteral("#bulk")));
    EXPECT_FALSE(sim->trafficHas(Vasta + QStringLiteral(" gain")));
    EXPECT_TRUE(sim->trafficLines().isEmpty());

    ASSERT_TRUE(sim->control({ QStringLiteral("unplug"), Vasta }));
    ASSERT_TRUE(waitFor(*removed, 1));
    EXPECT_TRUE(manager->devices().isEmpty());
}

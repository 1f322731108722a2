#include "device/devicemanager.h"
#include "device/devicebulk.h"
#include "device/deviceevent.h"
#include "device/devicehid.h"
#include "device/devicemanagerhandler.h"

#include "fakeusb.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace
{

constexpr int WaitMs = 5000;
const QString Serial = QStringLiteral("0200000001A3");

struct ManagerFixture : ::testing::Test {
    FakePlatform* platform = new FakePlatform;
    CVNDeviceManager manager;
    QSignalSpy inserted { &manager, &CVNDeviceManager::deviceInserted };
    QSignalSpy removed { &manager, &CVNDeviceManager::deviceRemoved };
    QSignalSpy started { &manager, &CVNDeviceManager::started };

    ManagerFixture() { manager.setPlatform(std::unique_ptr<CVNUsbPlatform>(platform)); }

    void start()
    {
        manager.start();
        ASSERT_TRUE(started.wait(WaitMs));
    }
    static bool waitFor(QSignalSpy& spy, int count)
    {
        for (int i = 0; i < 50 && spy.count() < count; ++i)
            spy.wait(100);
        return spy.count() == count;
    }
};

} // namespace

TEST_F(ManagerFixture, StartInsertsPresentControllersThenSignalsStarted)
{
    auto controller = FakeController::standard();
    platform->add(FakePlatform::hidInfo(Serial, 2, 0x0210), controller);
    platform->add(FakePlatform::hidInfo(QStringLiteral("0400000001B4"), 4), FakeController::standard());
    start();
    EXPECT_EQ(inserted.count(), 2); // delivered before started
    CVNDeviceParent* device = manager.device(Serial);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->firmwareVersion(), QStringLiteral("2.010"));
    EXPECT_EQ(device->productType(), 2);
    EXPECT_EQ(device->productName(), QStringLiteral("Vasta"));
    EXPECT_EQ(device->path(), FakePlatform::hidInfo(Serial).path);
    EXPECT_EQ(device->thread(), manager.thread());
    ASSERT_NE(device->child(CVNDeviceKind::Hid), nullptr);
    EXPECT_EQ(manager.devices().size(), 2);
}

TEST_F(ManagerFixture, ForeignAndUnopenablePathsAreIgnored)
{
    CVNUsbInterfaceInfo foreign = FakePlatform::hidInfo(Serial);
    foreign.path = QStringLiteral("fake#vid_1234&pid_0002#x#hid");
    foreign.vendorId = 0x1234;
    platform->add(foreign, FakeController::standard());
    CVNUsbInterfaceInfo noProduct = FakePlatform::hidInfo(QStringLiteral("0400000001B4"), 0);
    platform->add(noProduct, FakeController::standard());
    CVNUsbInterfaceInfo usage = FakePlatform::hidInfo(QStringLiteral("0500000001B4"), 5);
    usage.usage = 1; // not the command interface
    platform->add(usage, FakeController::standard());
    start();
    EXPECT_EQ(inserted.count(), 0);
    EXPECT_TRUE(manager.devices().isEmpty());
}

TEST_F(ManagerFixture, HotPlugAndRemovalByPath)
{
    start();
    const CVNUsbInterfaceInfo info = FakePlatform::hidInfo(Serial);
    platform->plug(info, FakeController::standard());
    ASSERT_TRUE(waitFor(inserted, 1));
    CVNDeviceParent* device = manager.device(Serial);
    ASSERT_NE(device, nullptr);
    QPointer<CVNDeviceParent> guard(device);
    QSignalSpy childRemoved(device->child(CVNDeviceKind::Hid), &CVNDevice::removed);

    platform->unplug(info.path.toUpper()); // paths compare in lower case
    ASSERT_TRUE(waitFor(removed, 1));
    EXPECT_EQ(removed.at(0).at(0).value<CVNDeviceParent*>(), device);
    EXPECT_EQ(manager.device(Serial), nullptr);
    EXPECT_EQ(childRemoved.count(), 1); // sessions watching the interface learn it
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
}

TEST_F(ManagerFixture, RejectedControllerIsResetAndNotInserted)
{
    auto controller = FakeController::standard("9");
    platform->add(FakePlatform::hidInfo(Serial), controller);
    start();
    EXPECT_EQ(inserted.count(), 0);
    EXPECT_EQ(controller->commands.last(), QStringLiteral("dreset "));
}

TEST_F(ManagerFixture, HidOfAControllerWithKnownBulkIsIgnored)
{
    auto controller = FakeController::standard();
    // Listed HID first: enumeration still offers the bulk interface first.
    platform->add(FakePlatform::hidInfo(Serial), controller);
    platform->add(FakePlatform::bulkInfo(Serial), controller);
    start();
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(removed.count(), 0);
    CVNDeviceParent* device = manager.device(Serial);
    ASSERT_NE(device, nullptr);
    EXPECT_NE(device->child(CVNDeviceKind::Bulk), nullptr);
    EXPECT_EQ(device->child(CVNDeviceKind::Hid), nullptr);
    EXPECT_TRUE(controller->commands.isEmpty()); // never probed

    // A later HID arrival of the same controller is passed over too.
    CVNUsbInterfaceInfo again = FakePlatform::hidInfo(Serial);
    again.path += QStringLiteral("2");
    platform->plug(again, controller);
    QCoreApplication::processEvents();
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_TRUE(controller->commands.isEmpty());
}

TEST_F(ManagerFixture, DfuAndMalformedVendorInterfaces)
{
    CVNUsbInterfaceInfo dfu = FakePlatform::bulkInfo(Serial);
    dfu.path.replace(QStringLiteral("#bulk"), QStringLiteral("#dfu"));
    dfu.interfaceClass = 254;
    dfu.interfaceProtocol = 2;
    dfu.endpoints.clear();
    CVNUsbInterfaceInfo twoIn = FakePlatform::bulkInfo(QStringLiteral("0400000001B4"), 4);
    twoIn.endpoints[1].address = 0x82; // both pipes IN: not the bulk channel
    CVNUsbInterfaceInfo noSerial = FakePlatform::bulkInfo(QString(), 5);
    platform->add(dfu, FakeController::standard());
    platform->add(twoIn, FakeController::standard());
    platform->add(noSerial, FakeController::standard());
    start();
    EXPECT_EQ(inserted.count(), 1);
    CVNDeviceParent* device = manager.device(Serial);
    ASSERT_NE(device, nullptr);
    EXPECT_NE(device->child(CVNDeviceKind::Dfu), nullptr);
    EXPECT_EQ(device->firmwareVersion(), QStringLiteral("2.005"));
}

TEST_F(ManagerFixture, SameInterfaceAnnouncedTwiceIsInsertedOnce)
{
    const CVNUsbInterfaceInfo info = FakePlatform::hidInfo(Serial);
    auto controller = FakeController::standard();
    platform->add(info, controller);
    start();
    const int probeCommands = controller->commands.size();
    platform->plug(info, controller); // the notice for an interface already enumerated
    QCoreApplication::processEvents();
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(removed.count(), 0);
    EXPECT_EQ(controller->commands.size(), probeCommands);
}

TEST_F(ManagerFixture, SecondObjectForAPresentSerialIsNotInserted)
{
    auto* first = new CVNDeviceParent(Serial, QStringLiteral("2.005"), 2);
    auto* second = new CVNDeviceParent(Serial, QStringLiteral("2.005"), 2);
    QPointer<CVNDeviceParent> secondGuard(second);
    QCoreApplication::postEvent(&manager, new CVNDeviceEvent(first, CVNDeviceEvent::Insert));
    QCoreApplication::postEvent(&manager, new CVNDeviceEvent(second, CVNDeviceEvent::Insert));
    QCoreApplication::sendPostedEvents(&manager, CVNDeviceEvent::EventType);
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(manager.device(Serial), first);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(secondGuard.isNull());

    // A remove for an object that is not the stored one leaves the map alone.
    auto* stale = new CVNDeviceParent(Serial, QStringLiteral("2.005"), 2);
    QCoreApplication::postEvent(&manager, new CVNDeviceEvent(stale, CVNDeviceEvent::Remove));
    QCoreApplication::sendPostedEvents(&manager, CVNDeviceEvent::EventType);
    EXPECT_EQ(removed.count(), 0);
    EXPECT_EQ(manager.device(Serial), first);
}

TEST_F(ManagerFixture, FailedChannelIsDroppedAndTheManagerCarriesOn)
{
    auto controller = FakeController::standard();
    platform->add(FakePlatform::hidInfo(Serial), controller);
    start();
    CVNDeviceParent* device = manager.device(Serial);
    ASSERT_NE(device, nullptr);
    auto* hid = qobject_cast<CVNDeviceHid*>(device->child(CVNDeviceKind::Hid));
    ASSERT_NE(hid, nullptr);
    controller->failNext = 10;
    EXPECT_TRUE(hid->sendCommand(QStringLiteral("gain"), QString(), true).isEmpty());
    ASSERT_TRUE(waitFor(removed, 1));
    EXPECT_EQ(manager.device(Serial), nullptr);

    // Invalidating what is already gone changes nothing.
    manager.invalidateDevice(device);
    EXPECT_EQ(removed.count(), 1);

    platform->plug(FakePlatform::hidInfo(QStringLiteral("0400000001B4"), 4), FakeController::standard());
    EXPECT_TRUE(waitFor(inserted, 2));
}

TEST_F(ManagerFixture, InvalidateAndStop)
{
    platform->add(FakePlatform::hidInfo(Serial), FakeController::standard());
    platform->add(FakePlatform::hidInfo(QStringLiteral("0400000001B4"), 4), FakeController::standard());
    start();
    CVNDeviceParent* device = manager.device(Serial);
    ASSERT_NE(device, nullptr);
    manager.invalidateDevice(device);
    EXPECT_EQ(removed.count(), 1);
    EXPECT_EQ(manager.devices().size(), 1);

    manager.stop();
    ASSERT_TRUE(waitFor(removed, 2));
    EXPECT_TRUE(manager.devices().isEmpty());
    EXPECT_FALSE(manager.handler()->isRunning());
}

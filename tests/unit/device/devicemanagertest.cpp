// Filtering and bookkeeping of the manager over a fake platform; arrival,
// probe rejection, double discovery and failed channels are proven against
// corvane-sim in the integration tests.
#include "device/devicemanager.h"
#include "device/deviceevent.h"
#include "device/devicehid.h"
#include "device/devicemanagerhandler.h"

#include "fakeusb.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

#include <thread>

namespace
{

const QString Serial = QStringLiteral("0200000001A3");
const QString Lyn = QStringLiteral("0400000001B4");

struct ManagerFixture : ::testing::Test {
    FakePlatform* platform = new FakePlatform;
    CVNDeviceManager manager;
    QSignalSpy inserted { &manager, &CVNDeviceManager::deviceInserted };
    QSignalSpy removed { &manager, &CVNDeviceManager::deviceRemoved };

    ManagerFixture() { manager.setPlatform(std::unique_ptr<CVNUsbPlatform>(platform)); }

    void start()
    {
        QSignalSpy started(&manager, &CVNDeviceManager::started);
        manager.start();
        ASSERT_TRUE(started.wait(5000));
    }
};

} // namespace

TEST_F(ManagerFixture, UsableControllersInsertedBeforeStartedAndRemovedByPath)
{
    platform->add(FakePlatform::hidInfo(Serial, 2, 0x0210), FakeController::standard());
    CVNUsbInterfaceInfo dfu = FakePlatform::bulkInfo(Lyn, 4);
    dfu.path.replace(QStringLiteral("#bulk"), QStringLiteral("#dfu"));
    dfu.interfaceClass = 254;
    dfu.interfaceProtocol = 2;
    dfu.endpoints.clear();
    platform->add(dfu, FakeController::standard());

    // Interfaces that are not a controller's, or not usable, are passed over.
    CVNUsbInterfaceInfo foreign = FakePlatform::hidInfo(QStringLiteral("0600000001B4"), 6);
    foreign.path.replace(QStringLiteral("vid_3c2e"), QStringLiteral("vid_1234"));
    foreign.vendorId = 0x1234;
    CVNUsbInterfaceInfo usage = FakePlatform::hidInfo(QStringLiteral("0500000001B4"), 5);
    usage.usage = 1; // not the command interface
    CVNUsbInterfaceInfo twoIn = FakePlatform::bulkInfo(QStringLiteral("0800000001B4"), 8);
    twoIn.endpoints[1].address = 0x82; // both pipes IN: not the bulk channel
    for (const CVNUsbInterfaceInfo& info : { foreign, usage, twoIn,
             FakePlatform::hidInfo(QStringLiteral("0700000001B4"), 0), FakePlatform::bulkInfo(QString(), 9) })
        platform->add(info, FakeController::standard());

    start();
    EXPECT_EQ(inserted.count(), 2); // delivered before started
    EXPECT_EQ(manager.devices().size(), 2);
    CVNDeviceParent* device = manager.device(Serial);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->firmwareVersion(), QStringLiteral("2.010"));
    EXPECT_EQ(device->thread(), manager.thread());
    ASSERT_NE(manager.device(Lyn), nullptr);
    EXPECT_NE(manager.device(Lyn)->child(CVNDeviceKind::Dfu), nullptr);

    // A remove for an object that is not the stored one leaves the map alone.
    QCoreApplication::postEvent(&manager,
        new CVNDeviceEvent(new CVNDeviceParent(Serial, QStringLiteral("2.005"), 2), CVNDeviceEvent::Remove));
    QCoreApplication::sendPostedEvents(&manager, CVNDeviceEvent::EventType);
    EXPECT_EQ(manager.device(Serial), device);

    QPointer<CVNDeviceParent> guard(device);
    QSignalSpy childRemoved(device->child(CVNDeviceKind::Hid), &CVNDevice::removed);
    platform->unplug(FakePlatform::hidInfo(Serial).path.toUpper()); // paths compare in lower case
    for (int i = 0; i < 50 && removed.isEmpty(); ++i)
        removed.wait(100);
    ASSERT_EQ(removed.count(), 1);
    EXPECT_EQ(removed.at(0).at(0).value<CVNDeviceParent*>(), device);
    EXPECT_EQ(manager.device(Serial), nullptr);
    EXPECT_EQ(childRemoved.count(), 1); // sessions watching the interface learn it
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
}

TEST_F(ManagerFixture, HidOfAControllerWithKnownBulkIsIgnored)
{
    auto controller = FakeController::standard();
    // Listed HID first: enumeration still offers the bulk interface first.
    platform->add(FakePlatform::hidInfo(Serial), controller);
    platform->add(FakePlatform::bulkInfo(Serial), controller);
    start();
    EXPECT_EQ(inserted.count(), 1);
    CVNDeviceParent* device = manager.device(Serial);
    ASSERT_NE(device, nullptr);
    EXPECT_NE(device->child(CVNDeviceKind::Bulk), nullptr);
    EXPECT_EQ(device->child(CVNDeviceKind::Hid), nullptr);

    // A later HID arrival of the same controller is passed over too.
    CVNUsbInterfaceInfo again = FakePlatform::hidInfo(Serial);
    again.path += QStringLiteral("2");
    std::thread([&] { manager.handler()->deviceArrived(again); }).join();
    QCoreApplication::processEvents();
    EXPECT_EQ(inserted.count(), 1);
    EXPECT_EQ(removed.count(), 0);
    EXPECT_TRUE(controller->commands.isEmpty()); // never probed
}

TEST_F(ManagerFixture, ControllerPluggedWhileThePresentOnesAreListedIsNotMissed)
{
    platform->add(FakePlatform::hidInfo(Serial), FakeController::standard());
    auto late = FakeController::standard();
    late->registers["dserial"] = Lyn.toLatin1();
    platform->plugWhileListing(FakePlatform::hidInfo(Lyn, 4), late);
    start();
    for (int i = 0; i < 50 && inserted.count() < 2; ++i)
        inserted.wait(100);
    EXPECT_EQ(inserted.count(), 2);
    EXPECT_NE(manager.device(Lyn), nullptr);
    EXPECT_NE(manager.device(Serial), nullptr);
}

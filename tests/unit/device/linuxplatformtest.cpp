#include "device/platform/linux/hidreportdescriptor.h"
#include "device/platform/linux/linuxusbplatform.h"
#include "device/platform/linux/udevinterfacereader.h"
#include "device/platform/usbplatform.h"

#include <gtest/gtest.h>

TEST(HidReportDescriptor, TopLevelUsageIsTheOneAtTheFirstCollection)
{
    // Usage Page (vendor 0xFF00), Usage (0), Collection (Application), ...
    const QByteArray vendor = QByteArray::fromHex("06 00 ff 09 00 a1 01 09 01 15 00 c0");
    CVNHidTopLevelUsage usage;
    ASSERT_TRUE(parseTopLevelUsage(vendor, usage));
    EXPECT_EQ(usage.usagePage, 0xFF00);
    EXPECT_EQ(usage.usage, 0);

    // Generic desktop / mouse, with a long item before it.
    const QByteArray mouse = QByteArray::fromHex("fe 01 00 aa 05 01 09 02 a1 01 c0");
    ASSERT_TRUE(parseTopLevelUsage(mouse, usage));
    EXPECT_EQ(usage.usagePage, 1);
    EXPECT_EQ(usage.usage, 2);

    // A 4-byte usage carries its page.
    ASSERT_TRUE(parseTopLevelUsage(QByteArray::fromHex("0b 05 00 0d 00 a1 01"), usage));
    EXPECT_EQ(usage.usagePage, 0x0D);
    EXPECT_EQ(usage.usage, 5);

    EXPECT_FALSE(parseTopLevelUsage(QByteArray(), usage));
    EXPECT_FALSE(parseTopLevelUsage(QByteArray::fromHex("06 00"), usage)); // item cut short
    EXPECT_FALSE(parseTopLevelUsage(QByteArray::fromHex("05 01 09 02"), usage)); // no collection
    EXPECT_FALSE(parseTopLevelUsage(QByteArray::fromHex("fe"), usage));
}

TEST(LinuxPaths, CarryTheIdsAndSplitBack)
{
    quint16 vendor = 0;
    quint16 product = 0;
    ASSERT_TRUE(parseVidPidFromPath(
        QStringLiteral("/dev/hidraw3#VID_3C2E&PID_0002#0200000001a3#hid"), &vendor, &product));
    EXPECT_EQ(vendor, 0x3C2E);
    EXPECT_EQ(product, 2);
    EXPECT_FALSE(parseVidPidFromPath(QStringLiteral("/dev/hidraw3"), &vendor, &product));
    EXPECT_FALSE(parseVidPidFromPath(QStringLiteral("x#vid_zz&pid_0002"), &vendor, &product));
    EXPECT_FALSE(parseVidPidFromPath(QStringLiteral("x#vid_123456&pid_0002"), &vendor, &product));

    QString node;
    int number = 0;
    ASSERT_TRUE(CVNUdevInterfaceReader::splitPath(
        QStringLiteral("/dev/hidraw3#vid_3c2e&pid_0002#s#hid"), node, number));
    EXPECT_EQ(node, QStringLiteral("/dev/hidraw3"));
    EXPECT_EQ(number, -1);
    ASSERT_TRUE(CVNUdevInterfaceReader::splitPath(
        QStringLiteral("/dev/bus/usb/001/004#vid_3c2e&pid_0002#s#if0a"), node, number));
    EXPECT_EQ(node, QStringLiteral("/dev/bus/usb/001/004"));
    EXPECT_EQ(number, 10);
    EXPECT_FALSE(CVNUdevInterfaceReader::splitPath(QStringLiteral("/dev/hidraw3"), node, number));
    EXPECT_FALSE(
        CVNUdevInterfaceReader::splitPath(QStringLiteral("/dev/x#vid_3c2e&pid_0002#s#ifzz"), node, number));
}

// Touches the machine's udev database only: there is no controller here, so
// nothing is listed and nothing opens.
TEST(LinuxPlatform, RunsWithoutControllers)
{
    CVNLinuxUsbPlatform platform;
    for (const CVNUsbInterfaceInfo& info : platform.enumerate())
        EXPECT_EQ(info.vendorId, 0x3C2E);
    EXPECT_EQ(platform.open(QStringLiteral("/nonexistent/hidraw9#vid_3c2e&pid_0002#s#hid")), nullptr);
    EXPECT_EQ(platform.open(QStringLiteral("/dev/bus/usb/999/999#vid_3c2e&pid_0002#s#if00")), nullptr);
    EXPECT_EQ(platform.open(QStringLiteral("garbage")), nullptr);
    if (platform.startMonitoring([](const CVNUsbInterfaceInfo&) {}, [](const QString&) {}))
        platform.stopMonitoring(); // returns: the monitor thread wakes and ends
    platform.stopMonitoring(); // twice is harmless
}

#include "device/platform/linux/hidreportdescriptor.h"
#include "device/platform/linux/linuxusbplatform.h"
#include "device/platform/linux/udevinterfacereader.h"
#include "device/platform/usbplatform.h"

#include <gtest/gtest.h>

TEST(HidReportDescriptor, TopLevelUsageIsTheOneAtTheFirstCollection)
{
    struct Case {
        const char* hex;
        quint16 page;
        quint16 usage;
    };
    const Case cases[] = {
        { "06 00 ff 09 00 a1 01 09 01 15 00 c0", 0xFF00, 0 }, // vendor page, usage 0
        { "fe 01 00 aa 05 01 09 02 a1 01 c0", 1, 2 }, // a long item before the mouse usage
        { "0b 05 00 0d 00 a1 01", 0x0D, 5 }, // a 4-byte usage carries its page
    };
    CVNHidTopLevelUsage usage;
    for (const Case& c : cases) {
        ASSERT_TRUE(parseTopLevelUsage(QByteArray::fromHex(c.hex), usage)) << c.hex;
        EXPECT_EQ(usage.usagePage, c.page) << c.hex;
        EXPECT_EQ(usage.usage, c.usage) << c.hex;
    }
    // Empty, an item cut short, no collection, a cut long item.
    for (const char* bad : { "", "06 00", "05 01 09 02", "fe" })
        EXPECT_FALSE(parseTopLevelUsage(QByteArray::fromHex(bad), usage)) << bad;
}

TEST(LinuxPaths, CarryTheIdsAndSplitBack)
{
    quint16 vendor = 0;
    quint16 product = 0;
    ASSERT_TRUE(parseVidPidFromPath(
        QStringLiteral("/dev/hidraw3#VID_3C2E&PID_0002#0200000001a3#hid"), &vendor, &product));
    EXPECT_EQ(vendor, 0x3C2E);
    EXPECT_EQ(product, 2);
    for (const char* bad : { "/dev/hidraw3", "x#vid_zz&pid_0002", "x#vid_123456&pid_0002" })
        EXPECT_FALSE(parseVidPidFromPath(QLatin1String(bad), &vendor, &product)) << bad;

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
    for (const char* bad : { "/dev/hidraw3", "/dev/x#vid_3c2e&pid_0002#s#ifzz" })
        EXPECT_FALSE(CVNUdevInterfaceReader::splitPath(QLatin1String(bad), node, number)) << bad;
}

// Touches the machine's udev database only: no controller here opens.
TEST(LinuxPlatform, RunsWithoutControllers)
{
    CVNLinuxUsbPlatform platform;
    for (const char* path : { "/nonexistent/hidraw9#vid_3c2e&pid_0002#s#hid",
             "/dev/bus/usb/999/999#vid_3c2e&pid_0002#s#if00", "garbage" })
        EXPECT_EQ(platform.open(QLatin1String(path)), nullptr) << path;
    if (platform.startMonitoring([](const CVNUsbInterfaceInfo&) {}, [](const QString&) {}))
        platform.stopMonitoring(); // returns: the monitor thread wakes and ends
    platform.stopMonitoring(); // twice is harmless
}

#include "device/device.h"

#include <gtest/gtest.h>

TEST(DeviceIdentity, FirmwareSerialCodeAndProductName)
{
    EXPECT_EQ(firmwareVersionText(0x0209), QStringLiteral("2.009"));
    EXPECT_EQ(firmwareVersionText(0x1AFF), QStringLiteral("1a.0ff"));
    EXPECT_DOUBLE_EQ(
        CVNDeviceParent(QStringLiteral("0200000001A3"), QStringLiteral("2.010"), 2).firmwareVersionNumber(),
        2.01);

    EXPECT_EQ(serialCodeOf(QStringLiteral("0C0012ABCDEF")), 0x0C12);
    EXPECT_EQ(serialCodeOf(QStringLiteral("02000000011")), 0); // 11 characters
    EXPECT_EQ(serialCodeOf(QStringLiteral("0200000001A3B")), 0); // 13 characters
    EXPECT_EQ(productNameOf(0), QStringLiteral("Unknown"));
    EXPECT_EQ(productNameOf(0x2000), QStringLiteral("Tarso55"));
}

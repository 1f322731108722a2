#include "device/device.h"
#include "device/devicerequest.h"

#include <gtest/gtest.h>

TEST(DeviceRequest, EmptyRecordAndReply)
{
    const CVNDeviceRequest empty;
    EXPECT_EQ(empty.type, CVNDeviceRequest::None);
    EXPECT_EQ(empty.data, QByteArray(72, '\0'));
    EXPECT_TRUE(empty.isEmpty());
    EXPECT_TRUE(CVNDeviceRequest(CVNDeviceRequest::Get, QString(), 1).isEmpty());

    CVNDeviceRequest request(CVNDeviceRequest::Set, QStringLiteral("th"), 7);
    request.value = 12;
    request.text = QStringLiteral("x");
    EXPECT_FALSE(request.isEmpty());
    const CVNDeviceRequest reply = request.makeReply();
    EXPECT_EQ(reply.id, 7u);
    EXPECT_EQ(reply.type, CVNDeviceRequest::Set);
    EXPECT_EQ(reply.name, QStringLiteral("th"));
    EXPECT_FALSE(reply.value.isValid());
    EXPECT_TRUE(reply.text.isEmpty());
}

TEST(DeviceIdentity, FirmwareSerialCodeAndProductName)
{
    EXPECT_EQ(firmwareVersionText(0x0205), QStringLiteral("2.005"));
    EXPECT_EQ(firmwareVersionText(0x0209), QStringLiteral("2.009"));
    EXPECT_EQ(firmwareVersionText(0x0210), QStringLiteral("2.010"));
    EXPECT_EQ(firmwareVersionText(0x1AFF), QStringLiteral("1a.0ff"));
    EXPECT_DOUBLE_EQ(
        CVNDeviceParent(QStringLiteral("0200000001A3"), QStringLiteral("2.010"), 2).firmwareVersionNumber(),
        2.01);

    EXPECT_EQ(serialCodeOf(QStringLiteral("0C0012ABCDEF")), 0x0C12);
    EXPECT_EQ(serialCodeOf(QStringLiteral("02000000011")), 0); // 11 characters
    EXPECT_EQ(serialCodeOf(QStringLiteral("0200000001A3B")), 0); // 13 characters
    EXPECT_EQ(productNameOf(serialCodeOf(QStringLiteral("0200000001A3B"))), QStringLiteral("Unknown"));
    EXPECT_EQ(productNameOf(0x2000), QStringLiteral("Tarso55"));
}

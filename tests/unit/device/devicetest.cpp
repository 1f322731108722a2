#include "device/devicehid.h"
#include "device/devicerequest.h"

#include "fakeusb.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

TEST(DeviceRequest, EmptyAndNamedRecordsStartAlike)
{
    const CVNDeviceRequest empty;
    EXPECT_EQ(empty.type, CVNDeviceRequest::None);
    EXPECT_EQ(empty.id, 0u);
    EXPECT_TRUE(empty.name.isEmpty());
    EXPECT_FALSE(empty.value.isValid());
    EXPECT_EQ(empty.data, QByteArray(72, '\0'));
    EXPECT_TRUE(empty.isEmpty());

    CVNDeviceRequest request(CVNDeviceRequest::Set, QStringLiteral("th"), 7);
    request.value = 12;
    request.text = QStringLiteral("x");
    EXPECT_FALSE(request.isEmpty());
    EXPECT_EQ(request.data.size(), 72);
    const CVNDeviceRequest reply = request.makeReply();
    EXPECT_EQ(reply.id, 7u);
    EXPECT_EQ(reply.type, CVNDeviceRequest::Set);
    EXPECT_EQ(reply.name, QStringLiteral("th"));
    EXPECT_FALSE(reply.value.isValid());
    EXPECT_TRUE(reply.text.isEmpty());
    EXPECT_TRUE(CVNDeviceRequest(CVNDeviceRequest::Get, QString(), 1).isEmpty());
}

TEST(DeviceIdentity, FirmwareVersionTextFromReleaseNumber)
{
    EXPECT_EQ(firmwareVersionText(0x0205), QStringLiteral("2.005"));
    EXPECT_EQ(firmwareVersionText(0x0210), QStringLiteral("2.010"));
    EXPECT_EQ(firmwareVersionText(0x0209), QStringLiteral("2.009"));
    EXPECT_EQ(firmwareVersionText(0x1AFF), QStringLiteral("1a.0ff"));
    EXPECT_EQ(firmwareVersionText(0x0000), QStringLiteral("0.000"));
    CVNDeviceParent parent(QStringLiteral("0200000001A3"), firmwareVersionText(0x0210), 2);
    EXPECT_DOUBLE_EQ(parent.firmwareVersionNumber(), 2.01);
}

TEST(DeviceIdentity, SerialCodeAndProductName)
{
    EXPECT_EQ(serialCodeOf(QStringLiteral("0200000001A3")), 0x0200);
    EXPECT_EQ(serialCodeOf(QStringLiteral("0C0012ABCDEF")), 0x0C12);
    EXPECT_EQ(serialCodeOf(QStringLiteral("02000000011")), 0); // 11 characters
    EXPECT_EQ(serialCodeOf(QStringLiteral("0200000001A3B")), 0); // 13 characters
    EXPECT_EQ(productNameOf(serialCodeOf(QStringLiteral("02000000011"))), QStringLiteral("Unknown"));

    const QList<QPair<int, QString>> names = { { 2, "Vasta" }, { 4, "Lyn" }, { 12, "TwinPoint" },
        { 32, "Tarso55" }, { 34, "Ribo55" }, { 36, "TK334" }, { 38, "TK262" }, { 3, "Unknown" } };
    for (const auto& entry : names)
        EXPECT_EQ(productNameOf(static_cast<quint16>(entry.first << 8)), entry.second) << entry.first;

    CVNDeviceParent parent(QStringLiteral("2000000001A3"), QStringLiteral("2.005"), 32);
    EXPECT_EQ(parent.productName(), QStringLiteral("Tarso55"));
}

TEST(DeviceTree, ChildrenAnswerFromTheirParentAndReplaceByKind)
{
    auto* parent = new CVNDeviceParent(QStringLiteral("0200000001A3"), QStringLiteral("2.005"), 2);
    auto controller = FakeController::standard();
    auto* first = new CVNDeviceHid(parent, std::make_unique<FakeHandle>(controller));
    parent->addChild(first);
    EXPECT_EQ(first->serialNumber(), QStringLiteral("0200000001A3"));
    EXPECT_EQ(first->productName(), QStringLiteral("Vasta"));
    EXPECT_EQ(first->productType(), 2);
    EXPECT_TRUE(first->isOpen());

    QPointer<CVNDeviceHid> replaced(first);
    auto* second = new CVNDeviceHid(parent, std::make_unique<FakeHandle>(controller));
    parent->addChild(second);
    EXPECT_EQ(parent->child(CVNDeviceKind::Hid), second);
    EXPECT_EQ(parent->descriptors().size(), 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(replaced.isNull());

    QSignalSpy failed(parent, &CVNDeviceParent::channelFailed);
    parent->markNotOpen();
    parent->markNotOpen();
    EXPECT_FALSE(second->isOpen());
    EXPECT_EQ(failed.count(), 1);
    delete parent;
}

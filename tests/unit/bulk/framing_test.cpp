// Messages on the bulk pipes: the service's packets against the simulator's
// own framing in both directions, and the device object's handling of
// failed transfers and of packets that do not fit the framing.
#include "bulkfakes.h"

#include "device/bulkframing.h"

#include "bulkpackets.h"

#include <QSignalSpy>
#include <gtest/gtest.h>

namespace {

QByteArray pattern(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + 3) & 0xFF);
    return bytes;
}

QList<int> lengthsOf(const QVector<QByteArray>& packets)
{
    QList<int> lengths;
    for (const QByteArray& packet : packets)
        lengths.append(packet.size());
    return lengths;
}

QByteArray packet(int size, int header, const QByteArray& payload = {})
{
    QByteArray bytes(size, '\0');
    bytes[0] = char(header & 0xFF);
    bytes[1] = char(header >> 8);
    bytes.replace(2, payload.size(), payload);
    return bytes.left(size);
}

} // namespace

TEST(BulkFraming, PacketSizesAgreeWithTheSimulator)
{
    struct Case {
        int size;
        QList<int> lengths;
    };
    const QList<Case> cases = {
        { 1, { 64 } },
        { 62, { 64 } },
        { 63, { 64, 64 } }, // the second carries one byte
        { 126, { 64, 128 } },
        { 4094 + 62, { 64, 4096 } },
        { 5000, { 64, 4096, 896 } }, // 62 + 4094 + 844
        { 65535, {} }, // checked against the simulator only
    };
    for (const Case& c : cases) {
        const QByteArray message = pattern(c.size);
        const QVector<QByteArray> ours = CVNBulkFraming::packets(message);
        const QList<QByteArray> theirs = corvanesim::bulkPackets(message);
        if (!c.lengths.isEmpty())
            EXPECT_EQ(lengthsOf(ours), c.lengths) << c.size;
        ASSERT_EQ(ours.size(), theirs.size()) << c.size;
        for (int i = 0; i < ours.size(); ++i)
            EXPECT_EQ(ours[i], theirs[i]) << c.size << " packet " << i;

        corvanesim::CVNBulkAssembler assembler;
        corvanesim::CVNBulkAssembler::Step step = corvanesim::CVNBulkAssembler::Step::Incomplete;
        for (const QByteArray& p : ours)
            step = assembler.add(p);
        EXPECT_EQ(step, corvanesim::CVNBulkAssembler::Step::Complete) << c.size;
        EXPECT_EQ(assembler.message(), message) << c.size;
    }
    // The 63-byte message: 63 still to come, then 1 byte in a 64-byte packet.
    const QVector<QByteArray> split = CVNBulkFraming::packets(pattern(63));
    EXPECT_EQ(CVNBulkFraming::header(split[0]), 63);
    EXPECT_EQ(CVNBulkFraming::header(split[1]), 1);
    EXPECT_EQ(split[1].mid(3), QByteArray(61, '\0'));
    EXPECT_TRUE(CVNBulkFraming::packets(QByteArray()).isEmpty());
    EXPECT_TRUE(CVNBulkFraming::packets(pattern(65536)).isEmpty());
}

TEST(BulkFraming, DeviceSendsAndReceivesWholeMessages)
{
    for (int size : { 62, 63, 5000, 65535 }) {
        auto handle = std::make_unique<ScriptedBulkHandle>();
        ScriptedBulkHandle* pipes = handle.get();
        for (const QByteArray& p : corvanesim::bulkPackets(pattern(size)))
            pipes->packets.append(p);
        BulkDevice device(std::move(handle));
        QSignalSpy arrived(device.bulk, &CVNDeviceBulk::newData);

        ASSERT_TRUE(device.bulk->sendData(pattern(size)));
        corvanesim::CVNBulkAssembler assembler;
        for (const QByteArray& p : pipes->written)
            (void)assembler.add(p);
        EXPECT_EQ(assembler.message(), pattern(size)) << size;

        ASSERT_TRUE(device.bulk->receiveData()) << size;
        EXPECT_EQ(arrived.count(), 1);
        EXPECT_EQ(device.bulk->takeMessage(), pattern(size));
        EXPECT_TRUE(device.bulk->takeMessage().isEmpty());
    }
}

TEST(BulkFraming, QueueKeepsMessagesOldestFirst)
{
    auto handle = std::make_unique<ScriptedBulkHandle>();
    for (const char* text : { "first", "second" })
        handle->packets.append(corvanesim::bulkPackets(QByteArray(text)));
    BulkDevice device(std::move(handle));
    ASSERT_TRUE(device.bulk->receiveData());
    ASSERT_TRUE(device.bulk->receiveData());
    EXPECT_EQ(device.bulk->takeMessage(), QByteArray("first"));
    // An exchange answers with what it received itself, never with a
    // message queued before it.
    auto* pipes = static_cast<ScriptedBulkHandle*>(device.bulk->handle());
    pipes->packets.append(corvanesim::bulkPackets("answer"));
    QByteArray answer;
    QString error;
    ASSERT_TRUE(device.bulk->exchange("question", &answer, &error));
    EXPECT_EQ(answer, QByteArray("answer"));
    EXPECT_EQ(device.bulk->takeMessage(), QByteArray("second"));
    EXPECT_TRUE(device.bulk->takeMessage().isEmpty());
    // An empty message sends nothing and succeeds.
    pipes->written.clear();
    EXPECT_TRUE(device.bulk->sendData(QByteArray()));
    EXPECT_TRUE(pipes->written.isEmpty());
}

TEST(BulkFraming, PacketsThatDoNotFitAreRefusedWithoutReadingOn)
{
    struct Case {
        const char* what;
        QList<QByteArray> packets;
        QString error;
    };
    const QByteArray body = pattern(200);
    const QList<Case> cases = {
        { "empty message", { packet(64, 0) }, "empty message" },
        { "short first packet", { packet(40, 10, body.left(10)) }, "packet of 40 bytes where 64 were due" },
        { "second packet too short", { packet(64, 200, body), packet(64, 138, body.mid(62)) },
            "packet of 64 bytes where 192 were due" },
        { "count does not follow on", { packet(64, 70, body), packet(64, 9, body.mid(62)) },
            "packet announces 9 bytes still to come where 8 were due" },
    };
    for (const Case& c : cases) {
        auto handle = std::make_unique<ScriptedBulkHandle>();
        handle->packets = c.packets;
        ScriptedBulkHandle* pipes = handle.get();
        BulkDevice device(std::move(handle));
        EXPECT_FALSE(device.bulk->receiveData()) << c.what;
        EXPECT_EQ(device.bulk->lastReceiveError(), c.error) << c.what;
        EXPECT_TRUE(device.bulk->takeMessage().isEmpty()) << c.what;
        // A framing fault is no failed transfer: the controller stays.
        EXPECT_TRUE(device.bulk->isOpen()) << c.what;
        EXPECT_EQ(pipes->reads, c.packets.size()) << c.what;
    }
}

TEST(BulkFraming, TransfersAreTriedFiveTimesThenTheControllerIsClosed)
{
    {
        auto handle = std::make_unique<ScriptedBulkHandle>();
        handle->failWrites = CVNDeviceBulk::TransferAttempts - 1;
        handle->failReads = CVNDeviceBulk::TransferAttempts - 1;
        handle->packets = corvanesim::bulkPackets("answer");
        BulkDevice device(std::move(handle));
        QByteArray answer;
        QString error;
        EXPECT_TRUE(device.bulk->exchange("question", &answer, &error)) << qPrintable(error);
        EXPECT_EQ(answer, QByteArray("answer"));
        EXPECT_TRUE(device.parent->isOpen());
    }
    {
        auto handle = std::make_unique<ScriptedBulkHandle>();
        handle->failWrites = CVNDeviceBulk::TransferAttempts;
        BulkDevice device(std::move(handle));
        EXPECT_FALSE(device.bulk->sendData("question"));
        EXPECT_FALSE(device.parent->isOpen());
        // Closed for good: no further transfer is tried.
        auto* pipes = static_cast<ScriptedBulkHandle*>(device.bulk->handle());
        pipes->failWrites = 0;
        EXPECT_FALSE(device.bulk->sendData("question"));
        EXPECT_TRUE(pipes->written.isEmpty());
    }
    {
        auto handle = std::make_unique<ScriptedBulkHandle>();
        handle->failReads = CVNDeviceBulk::TransferAttempts;
        ScriptedBulkHandle* pipes = handle.get();
        BulkDevice device(std::move(handle));
        EXPECT_FALSE(device.bulk->receiveData());
        EXPECT_EQ(pipes->reads, CVNDeviceBulk::TransferAttempts);
        EXPECT_EQ(device.bulk->lastReceiveError(), "the controller did not answer");
        EXPECT_FALSE(device.parent->isOpen());
    }
}

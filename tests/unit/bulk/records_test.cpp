// Reply messages written by the simulator's own writer, read by the service,
// and the exchange of the bulk interface with hostile answers.
#include "bulkfakes.h"

#include "interface/deviceinterfacebulk.h"

#include "bulkpackets.h"
#include "bulkwire.h"

#include <QTransform>
#include <gtest/gtest.h>

using namespace corvanesim;

namespace {

CVNDeviceRequest request(quint8 type, const QString& name, quint32 id)
{
    return CVNDeviceRequest(type, name, id);
}

BulkRecord reply(quint8 type, quint32 id, const QString& name, const BulkValue& value = {})
{
    BulkRecord r;
    r.type = type;
    r.id = id;
    r.name = name;
    r.value = value;
    return r;
}

QByteArray message(const QList<BulkRecord>& replies)
{
    CVNBulkReplyWriter writer;
    for (const BulkRecord& r : replies)
        writer.add(r);
    return writer.message();
}

} // namespace

TEST(BulkRecords, SeveralRepliesInOneMessage)
{
    const QByteArray answer = message({
        reply(bulkrecord::Get, 1, "thbound", BulkValue::pair(bulktag::Point, 10, 200)),
        reply(bulkrecord::Set, 2, "cfo", BulkValue::list({ BulkValue::integer(1), BulkValue::integer(2) })),
        reply(bulkrecord::Get, 3, "cmat", BulkValue::matrix({ 1, 0, 0, 0, 1, 0, 0, 0, 1 })),
        reply(bulkrecord::Call, 4, "metadata", BulkValue::text("{}")),
        reply(bulkrecord::Get, 5, "duptime", BulkValue::integer(12, bulktag::U32)),
        reply(bulkrecord::Get, 6, "dkey", BulkValue::byteArray("\x01\x02")),
        reply(bulkrecord::Get, 1, "thbound", BulkValue::pair(bulktag::Size, 11, 201)), // replaces the first
    });
    QString fault;
    const CVNDeviceReplies replies = CVNDeviceInterfaceBulk::readReplies(answer, &fault);
    EXPECT_TRUE(fault.isEmpty()) << qPrintable(fault);
    ASSERT_EQ(replies.size(), 6);
    EXPECT_EQ(replies[1].value, QVariant(QSize(11, 201)));
    EXPECT_EQ(replies[2].type, CVNDeviceRequest::Set);
    EXPECT_EQ(replies[2].value, QVariant(QVariantList { 1, 2 }));
    EXPECT_EQ(replies[3].value, QVariant::fromValue(QTransform()));
    EXPECT_EQ(replies[4].value, QVariant(QStringLiteral("{}")));
    EXPECT_EQ(replies[5].value, QVariant(12u));
    EXPECT_EQ(replies[6].value, QVariant(QByteArray("\x01\x02")));
    EXPECT_EQ(replies[6].name, "dkey");

    // Error and data records.
    BulkRecord refused = reply(bulkrecord::Error, 9, "th");
    refused.text = QStringLiteral("error: read only");
    BulkRecord block = reply(bulkrecord::Data, 10, "block");
    block.data = QByteArray(72, 'z');
    const CVNDeviceReplies more = CVNDeviceInterfaceBulk::readReplies(message({ refused, block }), &fault);
    EXPECT_EQ(more[9].type, CVNDeviceRequest::Error);
    EXPECT_EQ(more[9].text, "error: read only");
    EXPECT_EQ(more[10].data, QByteArray(72, 'z'));
}

TEST(BulkRecords, HostileRepliesKeepWhatCameBeforeAndSayWhatWasWrong)
{
    const QByteArray good = message({ reply(bulkrecord::Get, 1, "th", BulkValue::integer(40)) });
    const QByteArray second = message({ reply(bulkrecord::Get, 2, "gain", BulkValue::integer(3)) });
    struct Case {
        const char* what;
        QByteArray bytes;
        int kept;
        QString fault;
    };
    const QList<Case> cases = {
        { "zero type ends the message", good + QByteArray(5, '\0') + second, 1, QString() },
        { "unknown record type", good + QByteArray::fromHex("09") + second, 1, "Unknown type 9" },
        { "cut value", good + second.left(second.size() - 2), 1, "message ends inside a record" },
        { "name that never ends", good + QByteArray::fromHex("010200000067616961"), 1,
            "message ends inside a record" },
        { "unknown tag", good + second.left(second.size() - 5) + QByteArray::fromHex("0c00000000"), 1,
            "Type not supported" },
        { "byte array longer than the message", good + QByteArray::fromHex("010200000078008210000000ab"), 1,
            "message ends inside a record" },
        { "cut data block", good + QByteArray::fromHex("0603000000780000"), 1, "message ends inside a record" },
        { "double sent back as float", QByteArray::fromHex("01010000007468000c00002040"), 0, "Type not supported" },
    };
    for (const Case& c : cases) {
        QString fault;
        const CVNDeviceReplies replies = CVNDeviceInterfaceBulk::readReplies(c.bytes, &fault);
        EXPECT_EQ(replies.size(), c.kept) << c.what;
        EXPECT_EQ(fault, c.fault) << c.what;
        if (c.kept)
            EXPECT_EQ(replies.value(1).value, QVariant(40)) << c.what;
    }
}

TEST(BulkRecords, ExchangeAnswersEveryRequestWhileTheControllerStays)
{
    struct Case {
        const char* what;
        QList<QByteArray> packets;
        QString text; // of the request's reply; empty: its value came
    };
    const QByteArray both = message({ reply(bulkrecord::Get, 5, "th", BulkValue::integer(40)),
        reply(bulkrecord::Get, 77, "gain", BulkValue::integer(3)) });
    const QList<Case> cases = {
        { "two records, one its own", bulkPackets(both), QString() },
        { "only another id", bulkPackets(message({ reply(bulkrecord::Get, 77, "gain", BulkValue::integer(3)) })),
            "No reply from the controller" },
        { "unknown tag", bulkPackets(QByteArray::fromHex("010500000074680099")), "Malformed reply: Type not supported" },
        { "nothing to read", {}, "" },
        { "empty message", { QByteArray(64, '\0') }, "Bulk exchange failed: empty message" },
    };
    for (const Case& c : cases) {
        auto handle = std::make_unique<ScriptedBulkHandle>();
        handle->packets = c.packets;
        ScriptedBulkHandle* pipes = handle.get();
        BulkDevice device(std::move(handle));
        CVNDeviceInterfaceBulk root(device.bulk);
        const CVNDeviceReplies replies = root.execute(request(CVNDeviceRequest::Get, "th", 5));
        ASSERT_FALSE(pipes->written.isEmpty()) << c.what;
        if (c.packets.isEmpty()) {
            // The controller stopped answering and is dropped: no reply.
            EXPECT_TRUE(replies.isEmpty()) << c.what;
            EXPECT_FALSE(device.parent->isOpen()) << c.what;
            continue;
        }
        ASSERT_TRUE(replies.contains(5)) << c.what;
        if (c.text.isEmpty()) {
            EXPECT_EQ(replies[5].value, QVariant(40)) << c.what;
            EXPECT_EQ(replies.size(), 2) << c.what;
        } else {
            EXPECT_EQ(replies[5].type, CVNDeviceRequest::Error) << c.what;
            EXPECT_EQ(replies[5].text, c.text) << c.what;
        }
        EXPECT_TRUE(device.parent->isOpen()) << c.what;
    }
    // Requests without a type or a name are not sent.
    auto handle = std::make_unique<ScriptedBulkHandle>();
    ScriptedBulkHandle* pipes = handle.get();
    BulkDevice device(std::move(handle));
    CVNDeviceInterfaceBulk root(device.bulk);
    EXPECT_TRUE(root.execute(CVNDeviceRequest()).isEmpty());
    EXPECT_TRUE(root.execute(request(CVNDeviceRequest::Get, QString(), 3)).isEmpty());
    EXPECT_TRUE(pipes->written.isEmpty());
}

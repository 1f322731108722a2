#include "tuio/messagetuio.h"
#include "tuio/tuio2client.h"
#include "tuio/tuioclient.h"

#include "oscread.h"

#include <QPointF>
#include <QSet>
#include <gtest/gtest.h>

namespace
{

QVector<TuioPoint> points(int count)
{
    QVector<TuioPoint> list;
    for (int i = 0; i < count; ++i) {
        TuioPoint p;
        p.sessionId = 101001 + i;
        p.classId = 101;
        p.typeUserId = 1;
        p.x = 0.01f * i;
        p.y = 0.5f;
        p.angle = 2.0f;
        p.radius = 0.25f;
        p.pressure = 0.5f;
        list.append(p);
    }
    return list;
}

QVariantList ids(int count)
{
    QVariantList list;
    for (int i = 0; i < count; ++i)
        list.append(101001 + i);
    return list;
}

} // namespace

TEST(MessageTuio, CursorBundleSourceAliveSetsFseq)
{
    const QList<QByteArray> datagrams = MessageTuioV1Touch(QStringLiteral("Vasta 0200000001A3")).bundles(points(2), 17);
    ASSERT_EQ(datagrams.size(), 1);
    const OscBundle bundle = readBundle(datagrams[0]);
    ASSERT_TRUE(bundle.ok);
    EXPECT_EQ(bundle.timeTag, 1u) << "immediate";
    ASSERT_EQ(bundle.messages.size(), 5);
    for (const OscMessage& m : bundle.messages)
        EXPECT_EQ(m.address, "/tuio/2Dcur");
    EXPECT_EQ(bundle.messages[0].types, "ss");
    EXPECT_EQ(bundle.messages[0].arguments, QVariantList({ "source", "Vasta 0200000001A3" }));
    EXPECT_EQ(bundle.messages[1].types, "sii");
    EXPECT_EQ(bundle.messages[1].arguments, QVariantList({ "alive" }) + ids(2));
    EXPECT_EQ(bundle.messages[3].types, "sifffff");
    EXPECT_EQ(bundle.messages[3].arguments,
        QVariantList({ "set", 101002, 0.01f, 0.5f, 0.0f, 0.0f, 0.0f }));
    EXPECT_EQ(bundle.messages[4].types, "si");
    EXPECT_EQ(bundle.messages[4].arguments, QVariantList({ "fseq", 17 }));

    // Objects carry their class and angle; no source message without a source.
    const OscBundle objects = readBundle(MessageTuioV1Object(QString()).bundles(points(1), 3).first());
    ASSERT_EQ(objects.messages.size(), 3);
    EXPECT_EQ(objects.messages[0].arguments, QVariantList({ "alive", 101001 }));
    EXPECT_EQ(objects.messages[1].address, "/tuio/2Dobj");
    EXPECT_EQ(objects.messages[1].types, "siiffffffff");
    EXPECT_EQ(objects.messages[1].arguments,
        QVariantList({ "set", 101001, 101, 0.0f, 0.5f, 2.0f, 0.0f, 0.0f, 0.0f, 0.0f, 0.0f }));

    // The idle bundle: source, empty alive, fseq.
    const OscBundle idle = readBundle(MessageTuioV1Touch(QStringLiteral("s")).bundles({}, 4).first());
    ASSERT_EQ(idle.messages.size(), 3);
    EXPECT_EQ(idle.messages[1].types, "s");
    EXPECT_EQ(idle.messages[2].arguments, QVariantList({ "fseq", 4 }));
}

TEST(MessageTuio, FrameOfTuioTwo)
{
    MessageTuioV2::Frame frame;
    frame.frameId = 9;
    frame.time = 0x1122334455667788ull;
    frame.dimension = Tuio2Client::dimension(QSize(4096, 2048));
    frame.bundleTimeTag = 1700000000123ull;
    const QList<QByteArray> datagrams = MessageTuioV2(QStringLiteral("src")).bundles(points(2), frame);
    ASSERT_EQ(datagrams.size(), 1);
    const OscBundle bundle = readBundle(datagrams[0]);
    ASSERT_TRUE(bundle.ok);
    EXPECT_EQ(bundle.timeTag, 1700000000123ull);
    ASSERT_EQ(bundle.messages.size(), 4);
    EXPECT_EQ(bundle.messages[0].address, "/tuio2/frm");
    EXPECT_EQ(bundle.messages[0].types, "itis");
    EXPECT_EQ(bundle.messages[0].arguments,
        QVariantList({ 9, qulonglong(0x1122334455667788ull), (4096 << 16) | 2048, "src" }));
    EXPECT_EQ(bundle.messages[1].address, "/tuio2/ptr");
    EXPECT_EQ(bundle.messages[1].types, "iiiffffff");
    EXPECT_EQ(bundle.messages[1].arguments, QVariantList({ 101001, 1, 0, 0.0f, 0.5f, 2.0f, 0.0f, 0.25f, 0.5f }));
    EXPECT_EQ(bundle.messages[3].address, "/tuio2/alv");
    EXPECT_EQ(bundle.messages[3].types, "ii");
    EXPECT_EQ(bundle.messages[3].arguments, ids(2));

    const OscBundle idle = readBundle(MessageTuioV2(QStringLiteral("src")).bundles({}, MessageTuioV2::Frame()).first());
    ASSERT_EQ(idle.messages.size(), 2);
    EXPECT_EQ(idle.messages[0].arguments[0], 0);
    EXPECT_EQ(idle.messages[1].types, "");
}

TEST(MessageTuio, LargeFramesSplitIntoDatagramsEveryClientReadsAsOneFrame)
{
    for (const int count : { 20, 60, 200 }) {
        const QList<QByteArray> v1 = MessageTuioV1Touch(QStringLiteral("Vasta 0200000001A3")).bundles(points(count), 5);
        QSet<int> sets;
        for (const QByteArray& datagram : v1) {
            EXPECT_LE(datagram.size(), MessageTuio::MaxDatagramSize) << count;
            const OscBundle bundle = readBundle(datagram);
            ASSERT_TRUE(bundle.ok);
            ASSERT_GE(bundle.messages.size(), 4);
            EXPECT_EQ(bundle.messages.first().arguments.first(), "source");
            EXPECT_EQ(bundle.messages[1].arguments, QVariantList({ "alive" }) + ids(count)) << "the full alive";
            EXPECT_EQ(bundle.messages.last().arguments, QVariantList({ "fseq", 5 })) << "one frame";
            for (int i = 2; i < bundle.messages.size() - 1; ++i)
                sets.insert(bundle.messages[i].arguments[1].toInt());
        }
        EXPECT_EQ(sets.size(), count) << "every set once";
        EXPECT_EQ(v1.size() > 1, count > 20) << count;

        MessageTuioV2::Frame frame;
        frame.frameId = 33;
        const QList<QByteArray> v2 = MessageTuioV2(QStringLiteral("Vasta 0200000001A3")).bundles(points(count), frame);
        QSet<int> pointers;
        for (int b = 0; b < v2.size(); ++b) {
            EXPECT_LE(v2[b].size(), MessageTuio::MaxDatagramSize) << count;
            const OscBundle bundle = readBundle(v2[b]);
            ASSERT_TRUE(bundle.ok);
            EXPECT_EQ(bundle.messages.first().address, "/tuio2/frm");
            EXPECT_EQ(bundle.messages.first().arguments.first(), 33);
            const bool last = b == v2.size() - 1;
            EXPECT_EQ(bundle.messages.last().address == "/tuio2/alv", last) << "alv only in the last";
            for (const OscMessage& m : bundle.messages) {
                if (m.address == "/tuio2/ptr")
                    pointers.insert(m.arguments[0].toInt());
            }
            if (last)
                EXPECT_EQ(bundle.messages.last().arguments, ids(count));
        }
        EXPECT_EQ(pointers.size(), count);
    }

    // An alive list too long for one datagram is sent whole rather than dropped.
    const QList<QByteArray> huge = MessageTuioV1Touch(QStringLiteral("s")).bundles(points(400), 1);
    int sets = 0;
    for (const QByteArray& datagram : huge) {
        const OscBundle bundle = readBundle(datagram);
        ASSERT_TRUE(bundle.ok);
        EXPECT_EQ(bundle.messages[1].arguments.size(), 401);
        sets += bundle.messages.size() - 3;
    }
    EXPECT_EQ(sets, 400);
}

TEST(TuioClient, NormalisationOrientationTimeAndDimension)
{
    struct Case {
        int orientation;
        QPointF expected;
    };
    const QSize size(4000, 2000);
    for (const Case c : { Case { 0, { 0.25, 0.75 } }, Case { 1, { 0.25, 0.25 } }, Case { 2, { 0.75, 0.25 } },
             Case { 3, { 0.75, 0.75 } } })
        EXPECT_EQ(TuioClient::normalise(QPoint(1000, 1500), size, c.orientation), c.expected) << c.orientation;
    EXPECT_EQ(TuioClient::normalise(QPoint(0, 0), size, 2), QPointF(1, 1)) << "top-left to (1, 1)";
    EXPECT_EQ(TuioClient::normalise(QPoint(7, 7), QSize(), 0), QPointF(7, 7)) << "no division by zero";

    EXPECT_EQ(Tuio2Client::timeTag(1700000000000), quint64(1700000000) << 32);
    EXPECT_EQ(Tuio2Client::timeTag(1700000000500), (quint64(1700000000) << 32) | 2147483647u);
    EXPECT_EQ(Tuio2Client::dimension(QSize(0x12345, 0x1FFFF)), qint32(0x2345FFFF));
}

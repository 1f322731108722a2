#include "com/binaryjson.h"
#include "com/documentbuffer.h"

#include <QJsonArray>
#include <QtEndian>

#include <gtest/gtest.h>

namespace {

QJsonObject doc(int id)
{
    return QJsonObject{{"actions", QJsonObject{{"list", QJsonArray{QJsonObject{{"key", "th"}, {"id", id}}}}}}};
}

QByteArray le32(quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    return QByteArray(bytes, 4);
}

QByteArray header(quint32 version = 1)
{
    return QByteArray("qbjs") + le32(version);
}

} // namespace

TEST(BinaryJson, EmptyObjectAndArrayHaveTheirRealEncoding)
{
    const QByteArray object = CVNBinaryJson::encodeDocument(QJsonObject());
    EXPECT_EQ(object, header() + le32(12) + le32(1) + le32(12));
    EXPECT_EQ(CVNBinaryJson::encodeDocument(QJsonDocument(QJsonObject())), object);
    EXPECT_EQ(CVNBinaryJson::encodeDocument(QJsonDocument()), object);
    EXPECT_EQ(CVNBinaryJson::encodeDocument(QJsonDocument(QJsonArray())), header() + le32(12) + le32(0) + le32(12));

    const auto front = CVNBinaryJson::decodeFront(object.constData(), object.size(), 1024);
    ASSERT_EQ(front.status, CVNBinaryJson::FrontStatus::Complete);
    EXPECT_TRUE(front.document.isObject());
    EXPECT_TRUE(front.document.object().isEmpty());
    EXPECT_EQ(front.size, 20);
}

TEST(BinaryJson, DocumentsRoundTripAndOccupyHeaderPlusRootSize)
{
    const QJsonObject nested{{"a", QJsonObject()}, {"b", QJsonArray()}, {"c", "text"}, {"d", 1.5}};
    const QByteArray bytes = CVNBinaryJson::encodeDocument(nested);
    EXPECT_EQ(bytes.size(), 8 + qFromLittleEndian<quint32>(bytes.constData() + 8));

    QJsonObject decoded;
    ASSERT_TRUE(CVNBinaryJson::decodeObject(bytes, 1024, &decoded));
    EXPECT_EQ(decoded, nested);

    // The decoded document owns its data: the receive bytes may be reused.
    QByteArray scratch = bytes;
    const auto front = CVNBinaryJson::decodeFront(scratch.constData(), scratch.size(), 1024);
    scratch.fill('\xAA');
    EXPECT_EQ(front.document.object(), nested);
}

TEST(DocumentBuffer, SplitDocumentIsTakenOnlyWhenItsLastByteArrives)
{
    const QByteArray bytes = CVNBinaryJson::encodeDocument(doc(3));
    CVNDocumentBuffer buffer;
    for (int i = 0; i < bytes.size() - 1; ++i) {
        ASSERT_TRUE(buffer.append(bytes.mid(i, 1)));
        ASSERT_FALSE(buffer.takeNext()) << "taken early at byte " << i;
    }
    ASSERT_TRUE(buffer.append(bytes.right(1)));
    auto document = buffer.takeNext();
    ASSERT_TRUE(document);
    EXPECT_EQ(document->object(), doc(3));
    EXPECT_FALSE(buffer.isBroken());
}

TEST(DocumentBuffer, LastDocumentRuleActsOnlyOnTheLastCompleteOne)
{
    const QByteArray a = CVNBinaryJson::encodeDocument(doc(1));
    const QByteArray b = CVNBinaryJson::encodeDocument(doc(2));
    const QByteArray c = CVNBinaryJson::encodeDocument(doc(3));

    CVNDocumentBuffer buffer;
    ASSERT_TRUE(buffer.append(a + b));
    auto last = buffer.takeLast();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->object(), doc(2));

    // An incomplete document behind complete ones: act on none, then on it.
    ASSERT_TRUE(buffer.append(a + c.left(10)));
    EXPECT_FALSE(buffer.takeLast());
    ASSERT_TRUE(buffer.append(c.mid(10)));
    last = buffer.takeLast();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->object(), doc(3));
}

TEST(DocumentBuffer, BrokenStreamsAreReportedAndYieldNothingMore)
{
    const QByteArray good = CVNBinaryJson::encodeDocument(doc(1));
    struct Case {
        const char* name;
        QByteArray bytes;
    };
    QByteArray corrupt = good;
    qToLittleEndian<quint32>(0xFFFFu, corrupt.data() + 16);
    const Case cases[] = {
        {"wrong tag", QByteArray("GET / HTTP/1.1\r\n\r\n")},
        {"wrong tag, one byte", QByteArray("x")},
        {"wrong version", header(3) + good.mid(8)},
        {"oversized document", header() + le32(64 * 1024)},
        {"size near 4 GiB", header() + le32(0xFFFFFFF0u)},
        {"root smaller than its fixed part", header() + le32(4) + le32(1) + le32(12)},
        {"corrupt complete document", corrupt},
        {"garbage after a good document", good + QByteArray("junk")},
    };
    for (const Case& c : cases) {
        CVNDocumentBuffer buffer(32 * 1024, 16 * 1024);
        const bool appended = buffer.append(c.bytes);
        while (buffer.takeNext()) {
        }
        EXPECT_TRUE(buffer.isBroken()) << c.name;
        EXPECT_FALSE(buffer.errorText().isEmpty()) << c.name;
        EXPECT_FALSE(appended && buffer.append(good)) << c.name;
        EXPECT_FALSE(buffer.takeNext()) << c.name;
        EXPECT_FALSE(buffer.takeLast()) << c.name;
    }
}

TEST(DocumentBuffer, BufferBoundIsEnforced)
{
    CVNDocumentBuffer buffer(100, 1000);
    // A valid start whose bytes pile up past the bound.
    ASSERT_TRUE(buffer.append(header() + le32(500)));
    EXPECT_FALSE(buffer.append(QByteArray(100, '\0')));
    EXPECT_TRUE(buffer.isBroken());
    EXPECT_EQ(buffer.pendingSize(), 0);

    // Cleared for a new stream, it works again.
    buffer.clear();
    EXPECT_FALSE(buffer.isBroken());
    const QJsonObject small{{"a", 1}};
    ASSERT_TRUE(buffer.append(CVNBinaryJson::encodeDocument(small)));
    EXPECT_EQ(buffer.takeNext()->object(), small);
}

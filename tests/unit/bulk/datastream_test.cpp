// The typed value stream of the bulk channel: every tag written and read,
// the exact bytes of a few, and hostile data (cut values, lengths beyond the
// message, unknown tags, endless texts, deep nesting) stopping the reader
// without reading past the buffer.
#include "interface/qtdatastream.h"

#include <QRect>
#include <QTransform>
#include <QUrl>
#include <QVector2D>
#include <QVector3D>
#include <gtest/gtest.h>

namespace {

using Stream = CVNQtDataStream;

QByteArray written(const QVariant& value)
{
    QByteArray buffer;
    Stream(&buffer).writeVariant(value);
    return buffer;
}

QVariant readBack(QByteArray bytes, Stream::Status* status = nullptr, bool* atEnd = nullptr)
{
    Stream stream(&bytes);
    const QVariant value = stream.readVariant();
    if (status)
        *status = stream.status();
    if (atEnd)
        *atEnd = stream.atEnd();
    return value;
}

} // namespace

TEST(BulkStream, EveryWrittenTypeReadsBackWithItsTag)
{
    struct Case {
        QVariant value;
        quint8 tag;
    };
    const QVariantList nested { 1, QStringLiteral("two"), QVariantList { true, QByteArray("\0x", 2) } };
    const QList<Case> cases = {
        { QVariant(7u), Stream::TagUInt32 },
        { QVariant(-5), Stream::TagInt32 },
        { QVariant(Q_UINT64_C(0xF000000000000001)), Stream::TagUInt64 },
        { QVariant(Q_INT64_C(-0x100000000)), Stream::TagInt64 },
        { QVariant(1.5f), Stream::TagFloat },
        { QVariant(true), Stream::TagBool },
        { QVariant(QPoint(3, -4)), Stream::TagPoint },
        { QVariant(QSize(640, 480)), Stream::TagSize },
        { QVariant(QRect(1, 2, 3, 4)), Stream::TagRect },
        { QVariant(QVector2D(0.5f, -2.0f)), Stream::TagVector2D },
        { QVariant(QVector3D(1, 2, 3)), Stream::TagVector3D },
        { QVariant(QStringLiteral("hello world")), Stream::TagString },
        { QVariant(QTransform(1, 2, 3, 4, 5, 6, 7, 8, 9)), Stream::TagTransform },
        { QVariant(QByteArray("a\0b", 3)), Stream::TagByteArray },
        { QVariant(nested), Stream::TagList },
    };
    for (const Case& c : cases) {
        const QByteArray bytes = written(c.value);
        ASSERT_FALSE(bytes.isEmpty()) << c.value.typeName();
        EXPECT_EQ(quint8(bytes[0]), c.tag) << c.value.typeName();
        Stream::Status status;
        bool atEnd = false;
        const QVariant back = readBack(bytes, &status, &atEnd);
        EXPECT_EQ(status, Stream::Ok) << c.value.typeName();
        EXPECT_TRUE(atEnd) << c.value.typeName();
        EXPECT_EQ(back, c.value) << c.value.typeName();
        EXPECT_EQ(back.userType(), c.value.userType()) << c.value.typeName();
    }
}

TEST(BulkStream, BytesOnTheWire)
{
    EXPECT_EQ(written(0x12345678), QByteArray::fromHex("0678563412"));
    // A double goes out as a 4-byte float under its own tag.
    EXPECT_EQ(written(2.5), QByteArray::fromHex("0c00002040"));
    EXPECT_EQ(written(QStringLiteral("ab")), QByteArray::fromHex("80616200"));
    EXPECT_EQ(written(QStringList { "a" }), QByteArray::fromHex("83010000008061" "00"));
    // Bytes the reader would stop at are not written as they are.
    EXPECT_EQ(written(QStringLiteral("a\tb\nc")), QByteArray::fromHex("80613f623f6300"));
    // A text read ends at the first byte that is not printable, which is used up.
    QByteArray odd = QByteArray::fromHex("8061620a63") + QByteArray(1, '\0');
    CVNQtDataStream text(&odd);
    EXPECT_EQ(text.readVariant(), QVariant(QStringLiteral("ab")));
    EXPECT_EQ(text.readText(), QStringLiteral("c"));
    // A type without a tag is said in words.
    EXPECT_EQ(readBack(written(QUrl("http://x"))), QVariant(QStringLiteral("Type QUrl not supported")));
}

TEST(BulkStream, TagsOnlyTheControllerSends)
{
    struct Case {
        const char* hex;
        QVariant value;
    };
    const QList<Case> cases = {
        { "00", QVariant() },
        { "01ff", QVariant(255) },
        { "02ff", QVariant(-1) },
        { "03ffff", QVariant(65535) },
        { "04feff", QVariant(-2) },
        { "0d00", QVariant(false) },
        // A far corner past the int range is no rectangle.
        { "12" "ffffff7f" "00000000" "ffffff7f" "01000000", QVariant(QRect()) },
    };
    for (const Case& c : cases) {
        Stream::Status status;
        EXPECT_EQ(readBack(QByteArray::fromHex(c.hex), &status), c.value) << c.hex;
        EXPECT_EQ(status, Stream::Ok) << c.hex;
    }
}

TEST(BulkStream, UnacceptedTagsStopTheReader)
{
    for (quint8 tag : { 0x08, 0x09, 0x0C, 0x0F, 0x11, 0x13, 0x16, 0x7F, 0x84, 0xFF }) {
        QByteArray bytes = QByteArray(1, char(tag)) + QByteArray::fromHex("0601000000");
        Stream stream(&bytes);
        EXPECT_FALSE(stream.readVariant().isValid()) << int(tag);
        EXPECT_EQ(stream.status(), Stream::UnsupportedType) << int(tag);
        EXPECT_EQ(stream.statusText(), QStringLiteral("Type not supported"));
        // What follows an unknown tag cannot be told apart from its value.
        EXPECT_FALSE(stream.readVariant().isValid());
        EXPECT_EQ(stream.position(), 1);
    }
}

TEST(BulkStream, HostileLengthsAndEndlessDataNeverReadPastTheBuffer)
{
    struct Case {
        const char* what;
        QByteArray bytes;
        Stream::Status status;
    };
    QByteArray deep;
    for (int i = 0; i <= Stream::MaxNesting + 1; ++i)
        deep += QByteArray::fromHex("8301000000");
    deep += QByteArray::fromHex("00");
    QByteArray deepest;
    for (int i = 0; i < Stream::MaxNesting; ++i)
        deepest += QByteArray::fromHex("8301000000");
    deepest += QByteArray::fromHex("00");
    const QList<Case> cases = {
        { "cut integer", QByteArray::fromHex("060102"), Stream::ReadPastEnd },
        { "byte array longer than the message", QByteArray::fromHex("82e80300006162"), Stream::ReadPastEnd },
        { "negative byte array length", QByteArray::fromHex("82ffffffff"), Stream::ReadPastEnd },
        { "list count beyond the message", QByteArray::fromHex("83ffffff7f0601000000"), Stream::ReadPastEnd },
        { "negative list count", QByteArray::fromHex("83feffffff"), Stream::ReadPastEnd },
        { "text that never ends", QByteArray::fromHex("80616263"), Stream::ReadPastEnd },
        { "cut transform", QByteArray::fromHex("81") + QByteArray(35, '\0'), Stream::ReadPastEnd },
        { "lists nested too deep", deep, Stream::TooDeep },
        { "lists nested as deep as allowed", deepest, Stream::Ok },
        { "nothing at all", QByteArray(), Stream::ReadPastEnd },
    };
    for (const Case& c : cases) {
        Stream::Status status;
        (void)readBack(c.bytes, &status);
        EXPECT_EQ(status, c.status) << c.what;
    }
    // Every cut of a sound value is refused, whichever item it cuts.
    const QByteArray whole = written(QVariantList { QStringLiteral("name"), QByteArray("xyz"), QRect(1, 2, 3, 4),
        QVariantList { 1.5f, Q_INT64_C(-7) } });
    for (int length = 0; length < whole.size(); ++length) {
        Stream::Status status;
        EXPECT_FALSE(readBack(whole.left(length), &status).isValid()) << length;
        EXPECT_NE(status, Stream::Ok) << length;
    }
}

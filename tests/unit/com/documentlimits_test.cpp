// Received documents are checked against their limits before Qt parses
// them: hostile layouts built byte by byte, and Qt's own documents at the
// limits.
#include "com/binaryjson.h"
#include "com/binaryjsoncheck.h"
#include "com/comlimits.h"
#include "com/discoverydatagram.h"
#include "com/documentbuffer.h"
#include "com/receivebudget.h"

#include <QJsonArray>
#include <QtEndian>

#include <gtest/gtest.h>

#include <vector>

namespace {

// Builds binary JSON by hand, word by word.
class Layout
{
public:
    explicit Layout(int words) : m_words(size_t(words), 0u) {}
    void set(int index, quint32 value) { m_words[size_t(index)] = value; }
    // A document: header, then the words (the first one is the root's size).
    QByteArray document() const
    {
        QByteArray bytes("qbjs");
        bytes += le32(1);
        for (quint32 word : m_words)
            bytes += le32(word);
        return bytes;
    }
    static QByteArray le32(quint32 value)
    {
        char bytes[4];
        qToLittleEndian(value, bytes);
        return QByteArray(bytes, 4);
    }

private:
    std::vector<quint32> m_words;
};

constexpr quint32 kArrayType = 4;
constexpr quint32 kStringType = 3;

quint32 valueWord(quint32 type, quint32 offset, bool latin = false)
{
    return type | (latin ? 1u << 3 : 0u) | (offset << 5);
}

// `depth` arrays, each holding the next as its only value (16 bytes per
// level): the document that used to overflow the service's stack.
QByteArray nestedArrays(int depth)
{
    Layout layout(depth * 4 - 1);
    for (int level = 0; level < depth; ++level) {
        const int base = level * 3;  // in words: each level's header is 3 words in
        const quint32 size = 12 + 16 * quint32(depth - 1 - level);
        const bool innermost = level == depth - 1;
        layout.set(base, size);
        layout.set(base + 1, innermost ? 0u : 2u);  // array, length 0 or 1
        layout.set(base + 2, innermost ? 0u : size - 4);
        if (!innermost)
            layout.set(base + int(size / 4) - 1, valueWord(kArrayType, 12));
    }
    return layout.document();
}

// `depth` arrays, each holding the next twice: a few hundred bytes that
// describe 2^depth arrays.
QByteArray sharedArrays(int depth)
{
    Layout layout(depth * 5 - 2);
    for (int level = 0; level < depth; ++level) {
        const int base = level * 3;
        const quint32 size = 12 + 20 * quint32(depth - 1 - level);
        const bool innermost = level == depth - 1;
        layout.set(base, size);
        layout.set(base + 1, innermost ? 0u : 4u);  // array, length 0 or 2
        layout.set(base + 2, innermost ? 0u : size - 8);
        if (!innermost) {
            layout.set(base + int(size / 4) - 2, valueWord(kArrayType, 12));
            layout.set(base + int(size / 4) - 1, valueWord(kArrayType, 12));
        }
    }
    return layout.document();
}

// An array of `count` values that all name the same 4-byte Latin-1 string.
QByteArray sharedString(int count)
{
    Layout layout(3 + 2 + count);
    layout.set(0, 12 + 8 + 4 * quint32(count));
    layout.set(1, quint32(count) << 1);
    layout.set(2, 20);
    layout.set(3, 4 | (quint32('a') << 16) | (quint32('b') << 24));
    layout.set(4, quint32('c') | (quint32('d') << 8));
    for (int i = 0; i < count; ++i)
        layout.set(5 + i, valueWord(kStringType, 12, true));
    return layout.document();
}

QJsonArray qtNested(int depth)
{
    QJsonArray inner;
    for (int level = 1; level < depth; ++level)
        inner = QJsonArray{QJsonValue(inner), 1};
    return inner;
}

CVNBinaryJson::FrontResult decode(const QByteArray& bytes, const CVNDocumentLimits& limits)
{
    return CVNBinaryJson::decodeFront(bytes.constData(), bytes.size(), limits);
}

} // namespace

TEST(DocumentLimits, HostileLayoutsAreRefusedBeforeParsing)
{
    const CVNDocumentLimits stream = CVNComLimits::kStreamDocumentLimits;
    QByteArray badString = sharedString(1);
    qToLittleEndian<quint32>(0xFFFFu, badString.data() + 8 + 12);  // length past the container
    QByteArray badTable = nestedArrays(2);
    qToLittleEndian<quint32>(0x7FFFFFFEu, badTable.data() + 8 + 4);  // a billion values in 28 bytes
    QByteArray badChild = nestedArrays(3);
    qToLittleEndian<quint32>(1000u, badChild.data() + 8 + 12);  // child larger than its parent
    QByteArray badType = nestedArrays(2);
    qToLittleEndian<quint32>(valueWord(7, 12), badType.data() + 8 + 24);
    struct Case {
        const char* name;
        QByteArray bytes;
        const char* reason;
    };
    const Case cases[] = {
        {"100,000 nested arrays", nestedArrays(100000), "nested deeper than 64 levels"},
        {"one level too deep", nestedArrays(stream.maxDepth + 1), "nested deeper than 64 levels"},
        {"2^40 arrays in 800 bytes", sharedArrays(40), "values share storage"},
        {"one empty array named twice", sharedArrays(2), "values share storage"},
        {"one string named 1000 times", sharedString(1000), "values share storage"},
        {"string past its container", badString, "malformed binary JSON"},
        {"table past its container", badTable, "malformed binary JSON"},
        {"child larger than its parent", badChild, "malformed binary JSON"},
        {"unknown value type", badType, "malformed binary JSON"},
    };
    for (const Case& c : cases) {
        const auto front = decode(c.bytes, stream);
        EXPECT_EQ(front.status, CVNBinaryJson::FrontStatus::Broken) << c.name;
        EXPECT_EQ(front.error, QStringLiteral("document refused: ") + QLatin1String(c.reason)) << c.name;
    }
    // 1.6 MB for the deepest of them.
    EXPECT_EQ(nestedArrays(100000).size(), 8 + 1599996);
}

TEST(DocumentLimits, DocumentsUpToTheLimitsArePassedOn)
{
    const CVNDocumentLimits stream = CVNComLimits::kStreamDocumentLimits;
    // The hand-made layouts are what Qt makes too.
    const auto deepest = decode(nestedArrays(stream.maxDepth), stream);
    ASSERT_EQ(deepest.status, CVNBinaryJson::FrontStatus::Complete) << qPrintable(deepest.error);
    EXPECT_TRUE(deepest.document.isArray());
    const auto once = decode(sharedString(1), stream);
    ASSERT_EQ(once.status, CVNBinaryJson::FrontStatus::Complete);
    EXPECT_EQ(once.document.array(), QJsonArray{"abcd"});

    const QJsonArray deep = qtNested(stream.maxDepth);
    const auto qtDeepest = decode(CVNBinaryJson::encodeDocument(QJsonDocument(deep)), stream);
    ASSERT_EQ(qtDeepest.status, CVNBinaryJson::FrontStatus::Complete) << qPrintable(qtDeepest.error);
    EXPECT_EQ(qtDeepest.document.array(), deep);
    const auto qtDeeper = decode(CVNBinaryJson::encodeDocument(QJsonDocument(qtNested(stream.maxDepth + 1))), stream);
    EXPECT_EQ(qtDeeper.status, CVNBinaryJson::FrontStatus::Broken);

    // Values: the root and its members count.
    const CVNDocumentLimits few{1 << 20, 8, 10};
    QJsonObject nine;
    for (int i = 0; i < 9; ++i)
        nine.insert(QString::number(i), i % 2 ? QJsonValue("text") : QJsonValue(i * 1.5));
    EXPECT_EQ(decode(CVNBinaryJson::encodeDocument(nine), few).status, CVNBinaryJson::FrontStatus::Complete);
    nine.insert("9", QJsonObject());
    const auto ten = decode(CVNBinaryJson::encodeDocument(nine), few);
    EXPECT_EQ(ten.status, CVNBinaryJson::FrontStatus::Broken);
    EXPECT_EQ(ten.error, "document refused: more than 10 values");
}

TEST(DocumentLimits, DatagramsHaveTheirOwnLimits)
{
    const QByteArray good = DiscoveryDatagram::buildDiscovery(4000, Service, "service-id");
    ASSERT_TRUE(DiscoveryDatagram::accept(good, VeilCLI, "client-id"));

    QJsonObject nested{{"frame_type", "discovery"}, {"type", "Service"}, {"id", "service-id"}, {"server_port", 4000},
                       {"extra", QJsonObject{{"a", 1}}}};
    EXPECT_FALSE(DiscoveryDatagram::accept(CVNBinaryJson::encodeDocument(nested), VeilCLI, "client-id"));
    nested.insert("extra", 1);
    for (int i = 0; i < CVNComLimits::kMaxDatagramElements; ++i)
        nested.insert(QStringLiteral("x%1").arg(i), i);
    EXPECT_FALSE(DiscoveryDatagram::accept(CVNBinaryJson::encodeDocument(nested), VeilCLI, "client-id"));
    EXPECT_FALSE(DiscoveryDatagram::accept(nestedArrays(1000), VeilCLI, "client-id"));
}

TEST(DocumentLimits, ReceiveBuffersShareOneBudget)
{
    CVNReceiveBudget budget(1000);
    const CVNDocumentLimits limits{10000, 8, 100};
    const QByteArray document = CVNBinaryJson::encodeDocument(QJsonObject{{"text", QString(300, QLatin1Char('x'))}});
    ASSERT_GT(document.size(), 300);
    ASSERT_LT(document.size(), 500);
    {
        CVNDocumentBuffer first(limits, 10000, &budget);
        CVNDocumentBuffer second(limits, 10000, &budget);
        // Two incomplete documents fit; a third part does not.
        ASSERT_TRUE(first.append(document.left(document.size() - 1)));
        ASSERT_TRUE(second.append(document.left(document.size() - 1)));
        EXPECT_GT(budget.used(), 2 * 300);
        CVNDocumentBuffer third(limits, 10000, &budget);
        EXPECT_FALSE(third.append(document.left(document.size() - 1)));
        EXPECT_TRUE(third.isBroken());
        EXPECT_EQ(third.errorText(), "receive budget of 1000 bytes used up");

        // A completed document gives its bytes back.
        ASSERT_TRUE(first.append(document.right(1)));
        ASSERT_TRUE(first.takeNext());
        EXPECT_EQ(first.reservedSize(), 0);
        CVNDocumentBuffer fourth(limits, 10000, &budget);
        EXPECT_TRUE(fourth.append(document));

        // Moving a buffer moves its share.
        CVNDocumentBuffer moved(std::move(second));
        EXPECT_EQ(second.reservedSize(), 0);
        EXPECT_GT(moved.reservedSize(), 300);
    }
    EXPECT_EQ(budget.used(), 0);
}

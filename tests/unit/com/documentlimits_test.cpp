// Received documents are checked against their limits before Qt parses
// them: hostile layouts built byte by byte, and Qt's own documents at the
// limits.
#include "com/binaryjson.h"
#include "com/binaryjsoncheck.h"
#include "com/comlimits.h"
#include "com/discoverydatagram.h"
#include "com/jsontextcheck.h"
#include "com/documentbuffer.h"
#include "com/receivebudget.h"
#include "hostiledocuments.h"

#include <QJsonArray>
#include <QtEndian>

#include <gtest/gtest.h>

#include <vector>

using namespace HostileDocuments;

namespace {

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

    // Every kind of value and key: Latin-1 and UTF-16 texts, doubles stored
    // inline and apart.
    const QJsonObject kinds{{QString::fromUtf8("k€y"), QString::fromUtf8("va€lue")},
                            {QString::fromUtf8("ü"), QJsonArray{QString::fromUtf8("€"), 1e300, -5, true, QJsonValue()}},
                            {"big", 123456789}};
    const auto allKinds = decode(CVNBinaryJson::encodeDocument(kinds), stream);
    ASSERT_EQ(allKinds.status, CVNBinaryJson::FrontStatus::Complete) << qPrintable(allKinds.error);
    EXPECT_EQ(allKinds.document.object(), kinds);

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

TEST(DocumentLimits, JsonTextIsCheckedBeforeQtParsesIt)
{
    const CVNDocumentLimits limits{200, 3, 6};
    struct Case {
        QByteArray text;
        const char* reason;  // empty when within the limits
    };
    const Case cases[] = {
        {R"({"a": [[1]]})", ""},
        {R"({"a": [[[1]]]})", "nested deeper than 3 levels"},
        {R"({"a": "[[[[{{{{", "b": "\"[[[["})", ""},  // brackets and quotes inside strings
        {R"([1, 2, 3, 4])", ""},
        {R"([1, 2, 3, 4, 5, 6])", "more than 6 values"},
        {R"(["a,b,c,d,e,f,g"])", ""},
        {R"(]]]]]][[[1]]])", ""},  // unbalanced: the parser's to refuse
        {QByteArray(201, ' '), "text of 201 bytes exceeds 200"},
        {QByteArray(100000, '[') + QByteArray(100000, ']'), "text of 200000 bytes exceeds 200"},
    };
    for (const Case& c : cases) {
        const CVNBinaryJson::CheckResult result = CVNJsonText::checkLimits(c.text, limits);
        EXPECT_EQ(result.ok, QByteArray(c.reason).isEmpty()) << c.text.left(40).constData();
        EXPECT_EQ(result.reason, QLatin1String(c.reason)) << c.text.left(40).constData();
    }
    const QByteArray deep = QByteArray(100000, '[') + QByteArray(100000, ']');
    EXPECT_EQ(CVNJsonText::checkLimits(deep, CVNComLimits::kStreamDocumentLimits).reason, "nested deeper than 64 levels");
}

#include "com/binaryjson.h"

#include "com/binaryjsoncheck.h"

#include <QJsonArray>
#include <QtEndian>

#include <cstring>

namespace CVNBinaryJson {

namespace {

constexpr char kTag[4] = {'q', 'b', 'j', 's'};
constexpr quint32 kVersion = 1;

void appendLe32(QByteArray* out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out->append(bytes, 4);
}

// The encoding Qt's writer would produce for a container without entries:
// header, then a root of 12 bytes with no entries and the table right after.
QByteArray emptyContainer(bool isObject)
{
    QByteArray out;
    out.reserve(kMinDocumentSize);
    out.append(kTag, 4);
    appendLe32(&out, kVersion);
    appendLe32(&out, kRootBaseSize);
    appendLe32(&out, isObject ? 1u : 0u);
    appendLe32(&out, kRootBaseSize);
    return out;
}

QT_WARNING_PUSH
QT_WARNING_DISABLE_DEPRECATED
QByteArray toBinary(const QJsonDocument& document)
{
    return document.toBinaryData();
}

QJsonDocument fromBinaryValidated(const QByteArray& bytes)
{
    return QJsonDocument::fromBinaryData(bytes, QJsonDocument::Validate);
}
QT_WARNING_POP

// True when the bytes present are a prefix of the fixed header.
bool headerPrefixMatches(const char* data, qint64 length)
{
    char header[kHeaderSize];
    std::memcpy(header, kTag, 4);
    qToLittleEndian(kVersion, header + 4);
    return std::memcmp(data, header, size_t(qMin<qint64>(length, kHeaderSize))) == 0;
}

} // namespace

QByteArray encodeDocument(const QJsonDocument& document)
{
    if (document.isArray() && document.array().isEmpty())
        return emptyContainer(false);
    if (document.isNull() || (document.isObject() && document.object().isEmpty()))
        return emptyContainer(true);
    return toBinary(document);
}

QByteArray encodeDocument(const QJsonObject& object)
{
    if (object.isEmpty())
        return emptyContainer(true);
    return toBinary(QJsonDocument(object));
}

FrontResult decodeFront(const char* data, qint64 length, const CVNDocumentLimits& limits)
{
    FrontResult result;
    const auto broken = [&result](const QString& error) {
        result.status = FrontStatus::Broken;
        result.error = error;
        return result;
    };
    if (length <= 0)
        return result;
    if (!headerPrefixMatches(data, length))
        return broken(QStringLiteral("stream does not start a binary JSON document"));
    if (length < kHeaderSize + 4)
        return result;

    const quint32 rootSize = qFromLittleEndian<quint32>(data + kHeaderSize);
    const qint64 documentSize = qint64(kHeaderSize) + rootSize;
    if (rootSize < quint32(kRootBaseSize))
        return broken(QStringLiteral("invalid binary JSON document"));
    if (documentSize > limits.maxSize)
        return broken(QStringLiteral("document of %1 bytes exceeds %2").arg(documentSize).arg(limits.maxSize));
    if (length < documentSize)
        return result;

    // Qt's parser recurses per nesting level: nothing reaches it unchecked.
    const CheckResult check = checkStructure(data + kHeaderSize, rootSize, limits);
    if (!check.ok)
        return broken(QStringLiteral("document refused: ") + check.reason);

    // The parser reads the bytes in place and keeps no reference to them.
    const QJsonDocument document = fromBinaryValidated(QByteArray::fromRawData(data, int(documentSize)));
    if (document.isNull())
        return broken(QStringLiteral("invalid binary JSON document"));
    result.status = FrontStatus::Complete;
    result.document = document;
    result.size = documentSize;
    return result;
}

FrontResult decodeFront(const char* data, qint64 length, qint64 maxDocumentSize)
{
    CVNDocumentLimits limits = CVNComLimits::kStreamDocumentLimits;
    limits.maxSize = maxDocumentSize;
    return decodeFront(data, length, limits);
}

bool decodeObject(const QByteArray& data, const CVNDocumentLimits& limits, QJsonObject* object)
{
    const FrontResult front = decodeFront(data.constData(), data.size(), limits);
    if (front.status != FrontStatus::Complete || !front.document.isObject())
        return false;
    *object = front.document.object();
    return true;
}

bool decodeObject(const QByteArray& data, qint64 maxDocumentSize, QJsonObject* object)
{
    CVNDocumentLimits limits = CVNComLimits::kStreamDocumentLimits;
    limits.maxSize = maxDocumentSize;
    return decodeObject(data, limits, object);
}

} // namespace CVNBinaryJson

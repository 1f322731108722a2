#include "com/documentbuffer.h"

#include "com/binaryjson.h"

CVNDocumentBuffer::CVNDocumentBuffer(qint64 limit, qint64 maxDocumentSize)
    : m_limit(limit)
    , m_maxDocumentSize(maxDocumentSize)
{
}

bool CVNDocumentBuffer::append(const QByteArray& bytes)
{
    if (isBroken())
        return false;
    compact();
    if (m_data.size() + qint64(bytes.size()) > m_limit) {
        fail(QStringLiteral("receive buffer exceeds %1 bytes").arg(m_limit));
        return false;
    }
    m_data.append(bytes);
    // Reject a bad header at once instead of waiting for more bytes.
    const auto front = CVNBinaryJson::decodeFront(m_data.constData(), qMin<qint64>(m_data.size(), CVNBinaryJson::kHeaderSize + 4), m_maxDocumentSize);
    if (front.status == CVNBinaryJson::FrontStatus::Broken) {
        fail(QStringLiteral("stream does not start a binary JSON document"));
        return false;
    }
    return true;
}

std::optional<QJsonDocument> CVNDocumentBuffer::takeNext()
{
    if (isBroken() || pendingSize() == 0)
        return std::nullopt;
    const auto front = CVNBinaryJson::decodeFront(m_data.constData() + m_offset, pendingSize(), m_maxDocumentSize);
    switch (front.status) {
    case CVNBinaryJson::FrontStatus::Complete:
        m_offset += front.size;
        if (pendingSize() == 0)
            discardBytes();
        return front.document;
    case CVNBinaryJson::FrontStatus::Broken:
        fail(QStringLiteral("invalid or oversized binary JSON document"));
        return std::nullopt;
    case CVNBinaryJson::FrontStatus::Incomplete:
        break;
    }
    return std::nullopt;
}

std::optional<QJsonDocument> CVNDocumentBuffer::takeLast()
{
    std::optional<QJsonDocument> last;
    while (auto document = takeNext())
        last = std::move(document);
    if (isBroken() || pendingSize() != 0)
        return std::nullopt;
    return last;
}

void CVNDocumentBuffer::clear()
{
    discardBytes();
    m_error.clear();
}

void CVNDocumentBuffer::discardBytes()
{
    m_data.clear();
    m_offset = 0;
}

void CVNDocumentBuffer::fail(const QString& text)
{
    m_error = text;
    discardBytes();
}

void CVNDocumentBuffer::compact()
{
    if (m_offset == 0)
        return;
    m_data.remove(0, int(m_offset));
    m_offset = 0;
}

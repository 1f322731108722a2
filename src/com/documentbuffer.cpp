#include "com/documentbuffer.h"

#include "com/binaryjson.h"
#include "com/receivebudget.h"

#include <utility>

namespace {
CVNDocumentLimits streamLimits(qint64 maxDocumentSize)
{
    CVNDocumentLimits limits = CVNComLimits::kStreamDocumentLimits;
    limits.maxSize = maxDocumentSize;
    return limits;
}
} // namespace

CVNDocumentBuffer::CVNDocumentBuffer()
    : CVNDocumentBuffer(CVNComLimits::kStreamDocumentLimits, CVNComLimits::kReceiveBufferLimit,
                        &CVNReceiveBudget::shared())
{
}

CVNDocumentBuffer::CVNDocumentBuffer(qint64 limit, qint64 maxDocumentSize)
    : CVNDocumentBuffer(streamLimits(maxDocumentSize), limit, &CVNReceiveBudget::shared())
{
}

CVNDocumentBuffer::CVNDocumentBuffer(const CVNDocumentLimits& limits, qint64 limit, CVNReceiveBudget* budget)
    : m_limits(limits)
    , m_limit(limit)
    , m_budget(budget)
{
}

CVNDocumentBuffer::~CVNDocumentBuffer()
{
    releaseAll();
}

CVNDocumentBuffer::CVNDocumentBuffer(CVNDocumentBuffer&& other) noexcept
    : m_data(std::move(other.m_data))
    , m_offset(std::exchange(other.m_offset, 0))
    , m_limits(other.m_limits)
    , m_limit(other.m_limit)
    , m_budget(other.m_budget)
    , m_reserved(std::exchange(other.m_reserved, 0))
    , m_error(std::move(other.m_error))
{
    other.m_data.clear();
}

CVNDocumentBuffer& CVNDocumentBuffer::operator=(CVNDocumentBuffer&& other) noexcept
{
    if (this != &other) {
        releaseAll();
        m_data = std::move(other.m_data);
        other.m_data.clear();
        m_offset = std::exchange(other.m_offset, 0);
        m_limits = other.m_limits;
        m_limit = other.m_limit;
        m_budget = other.m_budget;
        m_reserved = std::exchange(other.m_reserved, 0);
        m_error = std::move(other.m_error);
    }
    return *this;
}

bool CVNDocumentBuffer::append(const QByteArray& bytes)
{
    if (isBroken())
        return false;
    if (bytes.isEmpty())
        return true;
    compact();
    const qint64 held = m_data.size() + qint64(bytes.size());
    if (held > m_limit) {
        fail(QStringLiteral("receive buffer exceeds %1 bytes").arg(m_limit));
        return false;
    }
    if (!reserveFor(held)) {
        fail(QStringLiteral("receive budget of %1 bytes used up").arg(m_budget->capacity()));
        return false;
    }
    if (m_data.isEmpty())
        m_data = bytes;  // shared, not copied: the common case of one read
    else
        m_data.append(bytes);
    // Reject a bad header or size at once instead of waiting for more bytes.
    const auto front = CVNBinaryJson::decodeFront(m_data.constData(), qMin<qint64>(m_data.size(), CVNBinaryJson::kHeaderSize + 4), m_limits);
    if (front.status == CVNBinaryJson::FrontStatus::Broken) {
        fail(front.error);
        return false;
    }
    return true;
}

std::optional<QJsonDocument> CVNDocumentBuffer::takeNext()
{
    if (isBroken() || pendingSize() == 0)
        return std::nullopt;
    const auto front = CVNBinaryJson::decodeFront(m_data.constData() + m_offset, pendingSize(), m_limits);
    switch (front.status) {
    case CVNBinaryJson::FrontStatus::Complete:
        m_offset += front.size;
        if (pendingSize() == 0)
            discardBytes();
        return front.document;
    case CVNBinaryJson::FrontStatus::Broken:
        fail(front.error);
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
    releaseAll();
}

void CVNDocumentBuffer::releaseAll()
{
    if (m_budget)
        m_budget->release(m_reserved);
    m_reserved = 0;
}

void CVNDocumentBuffer::fail(const QString& text)
{
    m_error = text;
    discardBytes();
}

// Reserves room for `held` bytes, growing like a byte array does so that a
// large document arriving in many reads is not copied over and over.
bool CVNDocumentBuffer::reserveFor(qint64 held)
{
    if (held <= m_reserved)
        return true;
    qint64 want = qMax(held, qMin(m_limit, 2 * m_reserved));
    if (!m_budget->reserve(want - m_reserved)) {
        want = held;
        if (!m_budget->reserve(want - m_reserved))
            return false;
    }
    m_reserved = want;
    if (!m_data.isEmpty())
        m_data.reserve(int(want));
    return true;
}

void CVNDocumentBuffer::compact()
{
    if (m_offset == 0)
        return;
    m_data.remove(0, int(m_offset));
    m_offset = 0;
    // After a large document, give back what the small rest does not need.
    if (m_reserved > CVNComLimits::kSocketReadChunk && m_reserved > 4 * qint64(m_data.size())) {
        m_data = QByteArray(m_data.constData(), m_data.size());
        m_budget->release(m_reserved - m_data.size());
        m_reserved = m_data.size();
    }
}

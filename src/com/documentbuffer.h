#pragma once

#include "com/comlimits.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QString>

#include <optional>

class CVNReceiveBudget;

// Receive buffer of one connection: bytes go in as they arrive, complete
// binary JSON documents come out from the front. A stream that can never
// yield a valid document (wrong tag or version, an invalid document, one
// over the document limits, more bytes held than the bound or than the
// shared receive budget allows) turns the buffer broken; the owner then
// closes the connection. A broken buffer yields nothing more.
class CVNDocumentBuffer
{
public:
    CVNDocumentBuffer();
    explicit CVNDocumentBuffer(qint64 limit, qint64 maxDocumentSize = CVNComLimits::kMaxDocumentSize);
    CVNDocumentBuffer(const CVNDocumentLimits& limits, qint64 limit, CVNReceiveBudget* budget);
    ~CVNDocumentBuffer();
    CVNDocumentBuffer(CVNDocumentBuffer&& other) noexcept;
    CVNDocumentBuffer& operator=(CVNDocumentBuffer&& other) noexcept;
    CVNDocumentBuffer(const CVNDocumentBuffer&) = delete;
    CVNDocumentBuffer& operator=(const CVNDocumentBuffer&) = delete;

    // Appends received bytes; false when the buffer is (or now became) broken.
    [[nodiscard]] bool append(const QByteArray& bytes);

    // Server rule: the next complete document, or nothing when more bytes are
    // needed or the stream is broken. Call until it yields nothing, handling
    // each document in order.
    [[nodiscard]] std::optional<QJsonDocument> takeNext();

    // Client rule: takes every complete document and yields the last one, but
    // only when no incomplete document remains behind it; otherwise the taken
    // documents are dropped and nothing is yielded until more bytes arrive.
    [[nodiscard]] std::optional<QJsonDocument> takeLast();

    bool isBroken() const { return !m_error.isEmpty(); }
    QString errorText() const { return m_error; }

    // Bytes held that are not yet taken as documents.
    qint64 pendingSize() const { return m_data.size() - m_offset; }
    // Bytes taken from the receive budget (what the buffer may occupy).
    qint64 reservedSize() const { return m_reserved; }
    // Back to a fresh buffer, for a new stream: drops the bytes held and the
    // broken state.
    void clear();

private:
    void fail(const QString& text);
    void discardBytes();
    void compact();
    [[nodiscard]] bool reserveFor(qint64 held);
    void releaseAll();

    QByteArray m_data;
    qint64 m_offset = 0;
    CVNDocumentLimits m_limits;
    qint64 m_limit;
    CVNReceiveBudget* m_budget;
    qint64 m_reserved = 0;
    QString m_error;
};

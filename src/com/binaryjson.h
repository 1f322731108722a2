#pragma once

#include "com/comlimits.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

// Qt 5 binary JSON, the wire format of every message and datagram:
// the tag "qbjs", a 32-bit little-endian version 1, then the root value whose
// first 32-bit little-endian word is its size in bytes.
namespace CVNBinaryJson {

constexpr int kHeaderSize = 8;     // tag + version
constexpr int kRootBaseSize = 12;  // size, is_object/length, table offset
constexpr int kMinDocumentSize = kHeaderSize + kRootBaseSize;

// Encodes one outgoing document. Every document sent by this system goes
// through here: Qt returns no bytes for an empty object or array, which
// this replaces with their real 20-byte encoding. A null document is sent
// as an empty object.
QByteArray encodeDocument(const QJsonObject& object);
QByteArray encodeDocument(const QJsonDocument& document);

enum class FrontStatus {
    Complete,    // a valid document starts the data
    Incomplete,  // the data so far is a valid start; more bytes are needed
    Broken,      // the data can never start a valid document
};

struct FrontResult {
    FrontStatus status = FrontStatus::Incomplete;
    QJsonDocument document;  // set when Complete
    qint64 size = 0;         // bytes the document occupies, when Complete
    QString error;           // why, when Broken
};

// Examines the document at the front of data[0..length). The header and the
// size are checked as soon as they are there; a complete document is
// checked against the limits (nesting, values, shared storage: see
// binaryjsoncheck.h) before Qt parses it. A document over a limit is Broken.
[[nodiscard]] FrontResult decodeFront(const char* data, qint64 length, const CVNDocumentLimits& limits);
// The same with the stream limits and another largest size.
[[nodiscard]] FrontResult decodeFront(const char* data, qint64 length, qint64 maxDocumentSize);

// Decodes a whole datagram as one document holding an object; false when it
// does not hold one or breaks the limits.
[[nodiscard]] bool decodeObject(const QByteArray& data, const CVNDocumentLimits& limits, QJsonObject* object);
[[nodiscard]] bool decodeObject(const QByteArray& data, qint64 maxDocumentSize, QJsonObject* object);

} // namespace CVNBinaryJson

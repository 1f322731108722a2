#pragma once

#include <QtGlobal>

// Limits applied to one received document before it is parsed.
struct CVNDocumentLimits {
    qint64 maxSize;     // bytes, header included
    int maxDepth;       // nesting of arrays and objects; the root counts 1
    qint64 maxElements; // values at any depth, the root included
};

// Limits of the communication layer. Everything arriving on a socket is
// untrusted, so every size is checked against these before parsing.
namespace CVNComLimits {

// UDP port on which a service answers discovery datagrams.
constexpr quint16 kDiscoveryPort = 45001;

// Interval of a client's discovery broadcast passes.
constexpr int kBroadcastIntervalMs = 2000;

// Largest single document accepted on a connection. A stream announcing a
// larger one can never be handled and is closed. The largest real messages
// carry a firmware or settings file as Base64 text (a few hundred KiB).
constexpr qint64 kMaxDocumentSize = 8 * 1024 * 1024;

// Deepest nesting of arrays and objects in a received document. Real
// requests and answers nest about ten levels (answer, list, device, views,
// entity description, domain). Qt's parser recurses per level, so the bound
// also keeps its stack use far below any thread's stack.
constexpr int kMaxDocumentDepth = 64;

// Most values (array items and object members, at any depth) in one
// document. The largest real answers (a cell mask of width x height
// booleans, the descriptions of every entity of a device) hold a few ten
// thousand. Once parsed, Qt spends 16 bytes on a value and some hundred on
// each array or object, so this keeps any parsed document within about
// 20 MiB.
constexpr qint64 kMaxDocumentElements = 128 * 1024;

// A socket never hands more than this to a single readAll(); the rest
// waits in the kernel. This is also about what a connection whose reading
// is paused holds in user space (twice: in the socket and in the receive
// buffer).
constexpr qint64 kSocketReadChunk = 32 * 1024;

// Bound of the bytes one receive buffer holds at once. Buffers only keep an
// incomplete document between reads (and what arrived after it), so this
// leaves room for one socket read chunk on top of the largest document.
constexpr qint64 kReceiveBufferLimit = kMaxDocumentSize + kSocketReadChunk;

// Bytes held by all receive buffers of the process together. Room for three
// of the largest documents arriving at once beside ordinary traffic; a
// buffer that would push the total past it breaks its stream (the
// connection is closed), so many clients each sending part of a huge
// document cannot exhaust the memory of the service.
constexpr qint64 kTotalReceiveBudget = 4 * kMaxDocumentSize;

// Discovery and connection-info datagrams are a few hundred bytes; anything
// larger is dropped unread.
constexpr qint64 kMaxDatagramSize = 16 * 1024;

// A discovery datagram is one flat object of at most five members; later
// versions may add a few.
constexpr int kMaxDatagramDepth = 1;
constexpr qint64 kMaxDatagramElements = 64;

// Client connections a service accepts at once. Clients are a desktop
// application, a few command-line runs and scripts; far more than that at
// once is a fault or an attack. A connection that does not read holds at
// most one answer (a few hundred KiB, see kMaxAnswerBytes of the server)
// and two socket read chunks in the service, so the cap bounds the memory
// of all of them together. A client beyond it gets one refusal document and
// is closed.
constexpr int kMaxClientConnections = 64;

// Answers queued in the service (beyond what the kernel took) past which a
// client's requests are no longer read; the kernel then stops the client
// from sending. Reading resumes when the client has taken the queue down to
// half of this. Small, because the kernel's own buffers already hold a lot
// for a client that reads late: a client whose answers do not fit there
// does not read. One answer can be larger; it is always written whole.
constexpr qint64 kPauseUnsentBytes = 16 * 1024;

// Answers and notifications queued to a client beyond which the connection
// is closed when a notification is to be written: a subscriber that never
// reads its notifications. More than any single answer, so that answers
// alone never reach it.
constexpr qint64 kMaxUnsentBytes = 512 * 1024;

// A client whose reading is paused and that takes none of its queued
// answers for this long is closed, so that clients which never read do not
// keep their connection slot.
constexpr int kStalledClientMs = 30 * 1000;

// A connection being closed waits this long for its peer to take the last
// bytes written to it, and is then cut off.
constexpr int kCloseLingerMs = 10 * 1000;

// A client that stops sending in the middle of a document for this long is
// closed: the part it sent holds receive budget. No general idle limit:
// a subscriber legitimately sends nothing while it waits for notifications.
constexpr int kIncompleteDocumentIdleMs = 30 * 1000;

// Datagrams handled per readyRead before yielding back to the event loop,
// so a flood on the discovery port cannot starve other work.
constexpr int kMaxDatagramsPerRead = 64;

// The limits of documents on a connection and of discovery datagrams.
constexpr CVNDocumentLimits kStreamDocumentLimits{kMaxDocumentSize, kMaxDocumentDepth, kMaxDocumentElements};
constexpr CVNDocumentLimits kDatagramLimits{kMaxDatagramSize, kMaxDatagramDepth, kMaxDatagramElements};

} // namespace CVNComLimits

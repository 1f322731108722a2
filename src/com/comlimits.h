#pragma once

#include <QtGlobal>

// Limits of the communication layer. Everything arriving on a socket is
// untrusted, so every size is checked against these before parsing.
namespace CVNComLimits {

// UDP port on which a service answers discovery datagrams.
constexpr quint16 kDiscoveryPort = 45001;

// Interval of a client's discovery broadcast passes.
constexpr int kBroadcastIntervalMs = 2000;

// Largest single document accepted on a connection. A stream announcing a
// larger one can never be handled and is closed.
constexpr qint64 kMaxDocumentSize = 8 * 1024 * 1024;

// Bound of the bytes a receive buffer holds at once. Buffers only keep an
// incomplete document between reads, so this leaves room for one socket
// read chunk on top of the largest document.
constexpr qint64 kReceiveBufferLimit = 2 * kMaxDocumentSize;

// A socket never hands more than this to a single readAll(), which keeps a
// receive buffer below its bound for well-formed traffic.
constexpr qint64 kSocketReadChunk = 1024 * 1024;

// Discovery and connection-info datagrams are a few hundred bytes; anything
// larger is dropped unread.
constexpr qint64 kMaxDatagramSize = 16 * 1024;

// Datagrams handled per readyRead before yielding back to the event loop,
// so a flood on the discovery port cannot starve other work.
constexpr int kMaxDatagramsPerRead = 64;

} // namespace CVNComLimits

#pragma once

#include <QtGlobal>

// Limits of the web console. Browsers on the machine (and, when network
// access is allowed, on the network) are untrusted like any client: every
// request head and message is checked against these before it is parsed,
// and what one browser may hold of the service is bounded like a TCP
// session (the session's own guard bounds its answers and notifications).
namespace CVNConsoleLimits {

// Random bytes of the token in the console's address (hex in the URL).
constexpr int kTokenBytes = 32;

// Largest request head (request line and headers). Browsers send about
// 1 KiB; servers commonly refuse beyond 8 KiB.
constexpr qint64 kMaxRequestHeadBytes = 8 * 1024;

// Longest request target. The console's own paths are below 100 bytes.
constexpr int kMaxTargetLength = 2048;

// Header lines of one request; browsers send about fifteen.
constexpr int kMaxHeaderLines = 64;

// A connection that has not sent a whole request head by then is closed,
// so that slow or silent connections do not keep their place.
constexpr int kRequestHeadTimeoutMs = 10 * 1000;

// Connections still in their HTTP request (pages and WebSocket handshakes)
// at once; a page loads a handful of files in parallel.
constexpr int kMaxPendingRequests = 32;

// Browsers connected over the WebSocket at once (each is a session like a
// TCP client and counts against the service's client cap too).
constexpr int kMaxConsoleClients = 16;

// Largest WebSocket message (and frame) a browser may send. The console
// sends property writes and actions of a few hundred bytes; unlike a TCP
// stream, a WebSocket message is held whole before it is handed on, so this
// bounds what each browser holds while it sends.
constexpr quint64 kMaxMessageBytes = 1024 * 1024;

// Requests (converted to documents) waiting for their session while it does
// not read, because the browser leaves its answers untaken. A browser that
// sends this much more without reading is closed: a WebSocket cannot be
// left unread the way a TCP stream can.
constexpr qint64 kMaxQueuedRequestBytes = 2 * 1024 * 1024;

// Bytes a WebSocket reads from its socket at once.
constexpr qint64 kSocketReadChunk = 32 * 1024;

} // namespace CVNConsoleLimits

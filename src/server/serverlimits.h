#pragma once

// Limits of what one client request may ask for. Request documents come
// from the network, so every count is checked before work is done for it.
namespace CVNServerLimits {

// Actions handled per "actions" request; the rest are answered as refused.
constexpr int kMaxActionsPerRequest = 1024;

// Bytes of answers one request may produce. Once the answers of an
// "actions" request pass this, its remaining actions are not run but
// answered as refused; once the printed text of a "cli" request passes it,
// its remaining options are not run. A short request of many "devices_all"
// actions or "device-help" options would otherwise make the service build
// and queue answers of many MiB for one client (a client that does not read
// is paused only after a whole answer). The largest single answers
// (devices_all of four controllers, a settings image, a frame picture) are
// below 100 KiB, and one answer is always given whole.
constexpr qint64 kMaxAnswerBytes = 256 * 1024;

// Options taken from one "cli" request.
constexpr int kMaxCliOptions = 256;

// Values of one option and file operations of one option.
constexpr int kMaxOptionValues = 256;
constexpr int kMaxFileOperations = 16;

// Items of one "register" or "unregister" list.
constexpr int kMaxNotificationItems = 1024;

// Top-level request keys answered per document.
constexpr int kMaxRequestKeys = 64;

// Longest key or serial text looked up (longer texts never name anything).
constexpr int kMaxKeyLength = 256;

// Token text accepted by settoken (sent as an HTTP header).
constexpr int kMaxTokenLength = 4096;

// Portal checks running at once for one session.
constexpr int kMaxPendingTokenChecks = 64;

} // namespace CVNServerLimits

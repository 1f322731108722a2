#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// The head of one HTTP/1.x request (request line and header fields) as a
// browser sends it to the web console, read from the bytes received so far.
// Strict: anything a browser does not send (folded lines, bare line feeds,
// control characters, a body) makes it Broken with the status to refuse it
// with, so that nothing half-understood reaches the access checks.
struct CVNHttpRequest
{
    enum class Status { Incomplete, Complete, Broken };

    Status status = Status::Incomplete;
    int refusalStatus = 0;   // when Broken: 400, 431 or 505
    qint64 headSize = 0;     // bytes of the head with its blank line
    QByteArray method;
    QByteArray target;
    QByteArray version;
    QList<QPair<QByteArray, QByteArray>> headers;  // names in lower case, values trimmed

    // The value of the first field of that (lower-case) name; empty if none.
    QByteArray header(const QByteArray& name) const;
    int headerCount(const QByteArray& name) const;
    // Whether a comma-separated field holds `token` (case-insensitive).
    bool headerHasToken(const QByteArray& name, const QByteArray& token) const;

    // Reads the head at the front of `data` (what arrived so far).
    [[nodiscard]] static CVNHttpRequest parse(const QByteArray& data);
};

#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// The console's pages (HTML, CSS, JavaScript modules) compiled into the
// program as resources, and the HTTP answers that carry them. Every answer
// closes its connection and forbids caching, framing, sniffing, referrers
// and anything the page would load from elsewhere.
class CVNConsolePages
{
public:
    CVNConsolePages();

    // The file below the pages folder, or a null array when there is none.
    QByteArray file(const QString& path);
    static QByteArray contentType(const QString& path);

    // A whole response: status line, headers and (unless headOnly) body.
    static QByteArray response(int status, const QByteArray& contentType, const QByteArray& body, bool headOnly);
    // A short plain-text refusal.
    static QByteArray refusal(int status, const QByteArray& reason);
    static QByteArray reasonPhrase(int status);

private:
    QHash<QString, QByteArray> m_cache;
};

#include "webconsole/consolepages.h"

#include <QFile>

// Resources live in a static library: they must be pulled in by name.
static void initConsoleResources()
{
    Q_INIT_RESOURCE(webconsole);
}

namespace {
const QString kRoot = QStringLiteral(":/webconsole/pages/");
}

CVNConsolePages::CVNConsolePages()
{
    initConsoleResources();
}

QByteArray CVNConsolePages::file(const QString& path)
{
    auto cached = m_cache.constFind(path);
    if (cached != m_cache.constEnd())
        return *cached;
    QFile file(kRoot + path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    QByteArray bytes = file.readAll();
    if (bytes.isNull())
        bytes = QByteArray("");
    m_cache.insert(path, bytes);
    return bytes;
}

QByteArray CVNConsolePages::contentType(const QString& path)
{
    if (path.endsWith(QLatin1String(".html")))
        return "text/html; charset=utf-8";
    if (path.endsWith(QLatin1String(".css")))
        return "text/css; charset=utf-8";
    if (path.endsWith(QLatin1String(".js")))
        return "text/javascript; charset=utf-8";
    if (path.endsWith(QLatin1String(".svg")))
        return "image/svg+xml";
    if (path.endsWith(QLatin1String(".png")))
        return "image/png";
    return "application/octet-stream";
}

QByteArray CVNConsolePages::reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 400: return "Bad Request";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    case 505: return "HTTP Version Not Supported";
    default: return "Error";
    }
}

QByteArray CVNConsolePages::response(int status, const QByteArray& contentType, const QByteArray& body, bool headOnly)
{
    QByteArray out;
    out.reserve(512 + (headOnly ? 0 : body.size()));
    out += "HTTP/1.1 " + QByteArray::number(status) + ' ' + reasonPhrase(status) + "\r\n";
    out += "Content-Type: " + contentType + "\r\n";
    out += "Content-Length: " + QByteArray::number(body.size()) + "\r\n";
    out += "Cache-Control: no-store\r\n"
           "X-Content-Type-Options: nosniff\r\n"
           "X-Frame-Options: DENY\r\n"
           "Referrer-Policy: no-referrer\r\n"
           "Cross-Origin-Opener-Policy: same-origin\r\n"
           "Cross-Origin-Resource-Policy: same-origin\r\n"
           "Content-Security-Policy: default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; "
           "connect-src 'self'; base-uri 'none'; form-action 'none'; frame-ancestors 'none'\r\n";
    if (status == 405)
        out += "Allow: GET, HEAD\r\n";
    out += "Connection: close\r\n\r\n";
    if (!headOnly)
        out += body;
    return out;
}

QByteArray CVNConsolePages::refusal(int status, const QByteArray& reason)
{
    QByteArray body = QByteArray::number(status) + ' ' + reasonPhrase(status) + ": " + reason + "\n";
    if (status == 403)
        body += "Open the address that `CorvaneService --web-console` shows.\n";
    return response(status, "text/plain; charset=utf-8", body, false);
}

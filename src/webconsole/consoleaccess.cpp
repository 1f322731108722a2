#include "webconsole/consoleaccess.h"

#include "webconsole/consolelimits.h"
#include "webconsole/httprequest.h"

#include <QNetworkInterface>
#include <QRandomGenerator>

#include <array>

namespace {

CVNConsoleAccess::Decision refuse(int status, const char* reason)
{
    CVNConsoleAccess::Decision decision;
    decision.status = status;
    decision.reason = reason;
    return decision;
}

// Page file names: lower-case words, digits, '-', '_' and '.', in folders;
// never "..", never an empty segment.
bool isPagePath(const QByteArray& path)
{
    if (path.isEmpty() || path.size() > 128 || path.startsWith('/') || path.endsWith('/') || path.contains("//")
        || path.contains(".."))
        return false;
    for (char c : path) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == '/';
        if (!ok)
            return false;
    }
    return true;
}

} // namespace

CVNConsoleAccess::CVNConsoleAccess()
{
    std::array<quint32, CVNConsoleLimits::kTokenBytes / 4> words{};
    QRandomGenerator::system()->fillRange(words.data(), int(words.size()));
    m_token = QByteArray(reinterpret_cast<const char*>(words.data()), int(sizeof(words))).toHex();
}

CVNConsoleAccess::CVNConsoleAccess(const QByteArray& token)
    : m_token(token)
{
}

void CVNConsoleAccess::setAddress(quint16 port, bool networkAllowed)
{
    m_port = port;
    m_networkAllowed = networkAllowed;
    if (networkAllowed && m_localAddresses.isEmpty())
        m_localAddresses = QNetworkInterface::allAddresses();
}

bool CVNConsoleAccess::tokenMatches(const QByteArray& candidate) const
{
    if (m_token.isEmpty() || candidate.size() != m_token.size())
        return false;
    unsigned char difference = 0;
    for (int i = 0; i < m_token.size(); ++i)
        difference |= static_cast<unsigned char>(candidate.at(i) ^ m_token.at(i));
    return difference == 0;
}

bool CVNConsoleAccess::acceptsHostName(const QByteArray& name) const
{
    if (name == "localhost" || name == "127.0.0.1" || name == "[::1]")
        return true;
    if (!m_networkAllowed)
        return false;
    // Only literal addresses of this machine: a name could be anyone's.
    QByteArray literal = name;
    if (literal.startsWith('[') && literal.endsWith(']'))
        literal = literal.mid(1, literal.size() - 2);
    else if (literal.contains(':'))
        return false;  // IPv6 only in brackets
    QHostAddress address;
    if (literal.isEmpty() || !address.setAddress(QString::fromLatin1(literal)))
        return false;
    // QHostAddress also reads shorthands such as "2130706433"; only the
    // canonical spelling counts.
    if (address.protocol() == QAbstractSocket::IPv4Protocol && address.toString().toLatin1() != literal)
        return false;
    for (const QHostAddress& own : m_localAddresses) {
        if (own.isEqual(address, QHostAddress::ConvertV4MappedToIPv4))
            return true;
    }
    return false;
}

bool CVNConsoleAccess::acceptsHost(const QByteArray& host) const
{
    if (m_port == 0 || host.isEmpty() || host.size() > 256)
        return false;
    const int colon = host.lastIndexOf(':');
    if (colon <= 0 || host.endsWith(']'))
        return false;  // the console never runs on the default port: a port is named
    const QByteArray portText = host.mid(colon + 1);
    bool ok = false;
    const uint port = portText.toUInt(&ok, 10);
    if (!ok || port != m_port || portText.startsWith('0') || portText.startsWith('+'))
        return false;
    return acceptsHostName(host.left(colon).toLower());
}

bool CVNConsoleAccess::acceptsOrigin(const QByteArray& origin) const
{
    static const QByteArray scheme("http://");
    return origin.startsWith(scheme) && acceptsHost(origin.mid(scheme.size()));
}

CVNConsoleAccess::Decision CVNConsoleAccess::decide(const CVNHttpRequest& request) const
{
    if (request.status != CVNHttpRequest::Status::Complete)
        return refuse(400, "malformed request");
    if (request.method != "GET" && request.method != "HEAD")
        return refuse(405, "only GET and HEAD");
    if (request.headerCount("host") != 1 || !acceptsHost(request.header("host")))
        return refuse(403, "not the console's address");
    const int origins = request.headerCount("origin");
    if (origins > 1 || (origins == 1 && !acceptsOrigin(request.header("origin"))))
        return refuse(403, "request from another site");
    if (request.header("sec-fetch-site").toLower() == "cross-site")
        return refuse(403, "request from another site");

    // "/TOKEN/" then the page; a query is ignored.
    QByteArray path = request.target;
    const int query = path.indexOf('?');
    if (query >= 0)
        path.truncate(query);
    const int slash = path.indexOf('/', 1);
    if (slash < 0 || !tokenMatches(path.mid(1, slash - 1)))
        return refuse(403, "the address lacks the console's token");
    QByteArray page = path.mid(slash + 1);

    if (page == webSocketPath().toLatin1()) {
        if (request.method != "GET" || !request.headerHasToken("upgrade", "websocket")
            || !request.headerHasToken("connection", "upgrade") || request.headerCount("sec-websocket-key") != 1)
            return refuse(400, "not a WebSocket handshake");
        // Browsers always send an Origin with a WebSocket; without one
        // the peer is no browser page and has the TCP protocol.
        if (origins != 1)
            return refuse(403, "WebSocket without an origin");
        Decision decision;
        decision.kind = Kind::WebSocket;
        decision.status = 101;
        return decision;
    }
    if (page.isEmpty())
        page = "index.html";
    if (!isPagePath(page))
        return refuse(404, "no such page");
    Decision decision;
    decision.kind = Kind::Page;
    decision.status = 200;
    decision.path = QString::fromLatin1(page);
    return decision;
}

// Who the web console lets in: request heads read strictly and within
// bounds, the token, the Host and Origin checks against DNS rebinding and
// other sites, and the WebSocket handshake.

#include "webconsole/consoleaccess.h"
#include "webconsole/consolelimits.h"
#include "webconsole/httprequest.h"

#include <gtest/gtest.h>

namespace {

const QByteArray kToken = QByteArray(64, 'a');
constexpr quint16 kPort = 41234;

QByteArray head(const QByteArray& target, const QList<QByteArray>& fields, const QByteArray& method = "GET")
{
    QByteArray text = method + ' ' + target + " HTTP/1.1\r\n";
    for (const QByteArray& field : fields)
        text += field + "\r\n";
    return text + "\r\n";
}

CVNConsoleAccess localAccess()
{
    CVNConsoleAccess access(kToken);
    access.setAddress(kPort, false);
    return access;
}

} // namespace

TEST(ConsoleRequestHead, ReadsFieldsAndRefusesWhatBrowsersNeverSend)
{
    struct Case {
        const char* what;
        QByteArray bytes;
        CVNHttpRequest::Status status;
        int refusal;
    };
    const QByteArray big(int(CVNConsoleLimits::kMaxRequestHeadBytes), 'x');
    QList<QByteArray> manyFields;
    for (int i = 0; i <= CVNConsoleLimits::kMaxHeaderLines; ++i)
        manyFields.append("X-" + QByteArray::number(i) + ": 1");
    const Case cases[] = {
        {"a whole head", head("/t/", {"Host: 127.0.0.1:1"}), CVNHttpRequest::Status::Complete, 0},
        {"half a head", "GET / HTTP/1.1\r\nHost: a", CVNHttpRequest::Status::Incomplete, 0},
        {"no end within the bound", "GET /" + big, CVNHttpRequest::Status::Broken, 431},
        {"too many fields", head("/", manyFields), CVNHttpRequest::Status::Broken, 431},
        {"a folded line", "GET / HTTP/1.1\r\nHost: a\r\n  b\r\n\r\n", CVNHttpRequest::Status::Broken, 400},
        {"a bare line feed", "GET / HTTP/1.1\nHost: a\r\n\r\n", CVNHttpRequest::Status::Broken, 400},
        {"a NUL byte", QByteArray("GET /\0 HTTP/1.1\r\n\r\n", 20), CVNHttpRequest::Status::Broken, 400},
        {"a control character", head("/", {"Host: a\x01"}), CVNHttpRequest::Status::Broken, 400},
        {"a space in the target", "GET /a b HTTP/1.1\r\n\r\n", CVNHttpRequest::Status::Broken, 400},
        {"an absolute target", head("http://x/", {}), CVNHttpRequest::Status::Broken, 400},
        {"another version", "GET / HTTP/2.0\r\n\r\n", CVNHttpRequest::Status::Broken, 505},
        {"a body", head("/", {"Content-Length: 5"}), CVNHttpRequest::Status::Broken, 400},
        {"chunks", head("/", {"Transfer-Encoding: chunked"}), CVNHttpRequest::Status::Broken, 400},
        {"a field without a name", head("/", {": x"}), CVNHttpRequest::Status::Broken, 400},
    };
    for (const Case& c : cases) {
        const CVNHttpRequest request = CVNHttpRequest::parse(c.bytes);
        EXPECT_EQ(request.status, c.status) << c.what;
        EXPECT_EQ(request.refusalStatus, c.refusal) << c.what;
    }
    const QByteArray bytes = head("/t/x.js", {"HOST: 127.0.0.1:1", "Connection: keep-alive, Upgrade"});
    const CVNHttpRequest request = CVNHttpRequest::parse(bytes + "rest");
    EXPECT_EQ(request.header("host"), "127.0.0.1:1");
    EXPECT_TRUE(request.headerHasToken("connection", "upgrade"));
    EXPECT_EQ(request.headSize, bytes.size());
}

TEST(ConsoleAccess, HostMustNameTheConsoleItself)
{
    CVNConsoleAccess access = localAccess();
    struct Case {
        QByteArray host;
        bool local;
        bool network;  // with the network allowed and 192.168.7.2 an address of the machine
    };
    const Case cases[] = {
        {"127.0.0.1:41234", true, true},
        {"localhost:41234", true, true},
        {"LOCALHOST:41234", true, true},
        {"[::1]:41234", true, true},
        {"127.0.0.1:41235", false, false},      // another port
        {"127.0.0.1", false, false},            // no port
        {"127.0.0.1:041234", false, false},
        {"evil.example:41234", false, false},   // DNS rebinding
        {"localhost.evil.example:41234", false, false},
        {"2130706433:41234", false, false},     // 127.0.0.1 spelled as a number
        {"192.168.7.2:41234", false, true},
        {"192.168.7.3:41234", false, false},    // not this machine
        {"[fe80::1]:41234", false, false},
        {"", false, false},
    };
    CVNConsoleAccess network(kToken);
    network.setLocalAddresses({QHostAddress(QStringLiteral("127.0.0.1")), QHostAddress(QStringLiteral("192.168.7.2"))});
    network.setAddress(kPort, true);
    for (const Case& c : cases) {
        EXPECT_EQ(access.acceptsHost(c.host), c.local) << c.host.constData();
        EXPECT_EQ(network.acceptsHost(c.host), c.network) << c.host.constData();
    }
}

TEST(ConsoleAccess, DecidesPagesAndWebSocketsByTokenHostAndOrigin)
{
    const CVNConsoleAccess access = localAccess();
    const QByteArray host = "Host: 127.0.0.1:41234";
    const QByteArray own = "Origin: http://127.0.0.1:41234";
    const QList<QByteArray> upgrade{host, own, "Upgrade: websocket", "Connection: Upgrade",
                                    "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==", "Sec-WebSocket-Version: 13"};
    using Kind = CVNConsoleAccess::Kind;
    struct Case {
        const char* what;
        QByteArray bytes;
        Kind kind;
        int status;
        QString path;
    };
    const QByteArray t = "/" + kToken + "/";
    QList<QByteArray> foreign = upgrade;
    foreign[1] = "Origin: http://evil.example";
    QList<QByteArray> noOrigin = upgrade;
    noOrigin.removeAt(1);
    const Case cases[] = {
        {"the console's page", head(t, {host}), Kind::Page, 200, "index.html"},
        {"a module with a query", head(t + "js/main.js?v=1", {host, own}), Kind::Page, 200, "js/main.js"},
        {"HEAD", head(t + "console.css", {host}, "HEAD"), Kind::Page, 200, "console.css"},
        {"no token", head("/", {host}), Kind::Refused, 403, ""},
        {"no token, a page", head("/index.html", {host}), Kind::Refused, 403, ""},
        {"a wrong token", head("/" + QByteArray(64, 'b') + "/", {host}), Kind::Refused, 403, ""},
        {"the token cut short", head("/" + kToken.left(63) + "/", {host}), Kind::Refused, 403, ""},
        {"the token without its slash", head("/" + kToken, {host}), Kind::Refused, 403, ""},
        {"a rebound host name", head(t, {"Host: evil.example:41234"}), Kind::Refused, 403, ""},
        {"two hosts", head(t, {host, "Host: 127.0.0.1:41234"}), Kind::Refused, 403, ""},
        {"no host", head(t, {}), Kind::Refused, 403, ""},
        {"a page fetched by another site", head(t, {host, "Origin: http://evil.example"}), Kind::Refused, 403, ""},
        {"the origin null", head(t, {host, "Origin: null"}), Kind::Refused, 403, ""},
        {"a cross-site fetch", head(t, {host, "Sec-Fetch-Site: cross-site"}), Kind::Refused, 403, ""},
        {"POST", head(t, {host}, "POST"), Kind::Refused, 405, ""},
        {"a path out of the pages", head(t + "../index.html", {host}), Kind::Refused, 404, ""},
        {"an encoded path", head(t + "%2e%2e/x", {host}), Kind::Refused, 404, ""},
        {"the WebSocket", head(t + "ws", upgrade), Kind::WebSocket, 101, ""},
        {"the WebSocket from another site", head(t + "ws", foreign), Kind::Refused, 403, ""},
        {"the WebSocket without an origin", head(t + "ws", noOrigin), Kind::Refused, 403, ""},
        {"the WebSocket without the token", head("/ws", upgrade), Kind::Refused, 403, ""},
        {"the WebSocket address without an upgrade", head(t + "ws", {host, own}), Kind::Refused, 400, ""},
    };
    for (const Case& c : cases) {
        const CVNConsoleAccess::Decision decision = access.decide(CVNHttpRequest::parse(c.bytes));
        EXPECT_EQ(decision.kind, c.kind) << c.what;
        EXPECT_EQ(decision.status, c.status) << c.what;
        EXPECT_EQ(decision.path, c.path) << c.what;
    }
}

TEST(ConsoleAccess, TokensAreFreshAndLongAndComparedWhole)
{
    const CVNConsoleAccess first;
    const CVNConsoleAccess second;
    EXPECT_EQ(first.token().size(), CVNConsoleLimits::kTokenBytes * 2);
    EXPECT_NE(first.token(), second.token());
    EXPECT_TRUE(first.tokenMatches(first.token()));
    EXPECT_FALSE(first.tokenMatches(second.token()));
    EXPECT_FALSE(first.tokenMatches(QByteArray()));
    EXPECT_FALSE(CVNConsoleAccess(QByteArray()).tokenMatches(QByteArray()));
}

#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>

struct CVNHttpRequest;

// Who may use the web console. Its address carries a random token made at
// service start; every page and WebSocket request must name it. The Host
// header must name the console's own address (an attacker's domain that
// resolves to this machine, DNS rebinding, is refused), and an Origin, when
// a browser sends one, must be the console itself, so that no other site
// can drive a controller through a visitor's browser.
class CVNConsoleAccess
{
public:
    // What a request asks for, once it passed the checks.
    enum class Kind { Refused, Page, WebSocket };

    struct Decision
    {
        Kind kind = Kind::Refused;
        int status = 403;     // HTTP status when refused
        QByteArray reason;    // short text for the refusal page and the log
        QString path;         // the page file, below the token
    };

    // A fresh token from the system's random source.
    CVNConsoleAccess();
    // A given token (tests).
    explicit CVNConsoleAccess(const QByteArray& token);

    QByteArray token() const { return m_token; }
    // The port the console listens on, and whether clients on the network
    // are allowed (then the machine's own addresses count as the console's).
    void setAddress(quint16 port, bool networkAllowed);
    // The machine's addresses accepted when the network is allowed; by
    // default those of its network interfaces.
    void setLocalAddresses(const QList<QHostAddress>& addresses) { m_localAddresses = addresses; }
    quint16 port() const { return m_port; }

    // Decides a complete request head.
    [[nodiscard]] Decision decide(const CVNHttpRequest& request) const;

    // A Host header value ("127.0.0.1:PORT", "localhost:PORT", "[::1]:PORT",
    // or with the network allowed an address of this machine) naming the
    // console.
    [[nodiscard]] bool acceptsHost(const QByteArray& host) const;
    // An Origin header value: exactly "http://" and an accepted Host.
    [[nodiscard]] bool acceptsOrigin(const QByteArray& origin) const;
    // Compares in constant time.
    [[nodiscard]] bool tokenMatches(const QByteArray& candidate) const;

    // The path of the console's WebSocket below the token.
    static QString webSocketPath() { return QStringLiteral("ws"); }

private:
    [[nodiscard]] bool acceptsHostName(const QByteArray& name) const;

    QByteArray m_token;
    quint16 m_port = 0;
    bool m_networkAllowed = false;
    QList<QHostAddress> m_localAddresses;
};

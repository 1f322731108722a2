#pragma once

#include <QHostAddress>
#include <QString>
#include <QUrl>

// Names the remote end of a connection or a receiver: host (address text or
// host name), port (-1 when not given) and path. A plain value type.
class HostEndpoint
{
public:
    HostEndpoint() = default;
    HostEndpoint(const QHostAddress& address, quint16 port);
    HostEndpoint(const QString& host, int port, const QString& path = QString());

    // Parses "HOST", "HOST:PORT" or a URL; see hostendpoint.cpp for the rules.
    [[nodiscard]] static HostEndpoint fromText(const QString& text);

    QString host() const { return m_host; }
    int port() const { return m_port; }
    QString path() const { return m_path; }
    void setHost(const QString& host) { m_host = host; }
    void setPort(int port) { m_port = port; }
    void setPath(const QString& path) { m_path = path; }

    // The host read as an address; null when the host is a name.
    QHostAddress address() const;

    // host[:port][/path]; the port only when greater than 0.
    QString toString() const;
    QUrl toUrl() const;

    // Hosts compare as addresses in tolerant form (an IPv4 address equals
    // its IPv4-mapped IPv6 form); host names compare as text.
    bool operator==(const HostEndpoint& other) const;
    bool operator!=(const HostEndpoint& other) const { return !(*this == other); }

    // Whether the host is the given address (tolerant form; port and path
    // ignored). A host name or a null address never matches.
    bool matchesAddress(const QHostAddress& address) const;

private:
    QString m_host;
    int m_port = -1;
    QString m_path;
};

#include "com/hostendpoint.h"

#include <QRegularExpression>

namespace {

// "name:1234" is read by the URL parser as scheme "name" with path "1234";
// such a text means a host and a port.
bool looksLikeNameAndPort(const QString& text)
{
    static const QRegularExpression kNamePort(QStringLiteral("^[A-Za-z][A-Za-z0-9.+-]*:[0-9]+$"));
    return kNamePort.match(text).hasMatch();
}

HostEndpoint splitAtLastColon(const QString& text)
{
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon < 0)
        return HostEndpoint();
    bool ok = false;
    int port = text.midRef(colon + 1).toInt(&ok, 10);
    if (!ok)
        port = 0;
    return HostEndpoint(text.left(colon), port);
}

bool sameAddress(const QHostAddress& a, const QHostAddress& b)
{
    return a.isEqual(b, QHostAddress::TolerantConversion);
}

} // namespace

HostEndpoint::HostEndpoint(const QHostAddress& address, quint16 port)
    : m_host(address.toString())
    , m_port(port)
{
}

HostEndpoint::HostEndpoint(const QString& host, int port, const QString& path)
    : m_host(host)
    , m_port(port)
    , m_path(path)
{
}

HostEndpoint HostEndpoint::fromText(const QString& text)
{
    const QUrl url(text, QUrl::TolerantMode);
    if (!url.isValid() || (url.host().isEmpty() && looksLikeNameAndPort(text)))
        return splitAtLastColon(text);

    HostEndpoint endpoint;
    endpoint.m_host = url.host().isEmpty() ? url.path() : url.host();
    endpoint.m_port = url.port(-1);
    endpoint.m_path = url.path();
    return endpoint;
}

QHostAddress HostEndpoint::address() const
{
    return QHostAddress(m_host);
}

QString HostEndpoint::toString() const
{
    QString text = m_host;
    if (m_port > 0)
        text += QLatin1Char(':') + QString::number(m_port);
    if (!m_path.isEmpty())
        text += QLatin1Char('/') + m_path;
    return text;
}

QUrl HostEndpoint::toUrl() const
{
    return QUrl::fromUserInput(toString());
}

bool HostEndpoint::operator==(const HostEndpoint& other) const
{
    if (m_port != other.m_port || m_path != other.m_path)
        return false;
    const QHostAddress mine = address();
    const QHostAddress theirs = other.address();
    if (mine.isNull() || theirs.isNull())
        return m_host.compare(other.m_host, Qt::CaseInsensitive) == 0;
    return sameAddress(mine, theirs);
}

bool HostEndpoint::matchesAddress(const QHostAddress& address) const
{
    const QHostAddress mine = this->address();
    if (mine.isNull() || address.isNull())
        return false;
    return sameAddress(mine, address);
}

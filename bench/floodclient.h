#pragma once

// A client that floods the service with the heaviest requests there are and
// never reads an answer, for the load programs under bench/. When the
// service closes it (it gives up on clients that take none of their
// answers), it connects again at once, as an attacker would. Header-only:
// every .cpp in bench/ is a program of its own.

#include "com/binaryjson.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QList>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace Flood {

inline QByteArray actions(const QJsonArray& list)
{
    return CVNBinaryJson::encodeDocument(QJsonObject{{"actions", QJsonObject{{"list", list}}}});
}

// devices_all a thousand times over, device-help as often as a command line
// may hold it, reads of every controller, a ping.
inline QList<QByteArray> heaviestRequests(const QStringList& serials)
{
    QJsonArray devicesAll;
    QJsonArray reads;
    for (int i = 0; i < 1024; ++i)
        devicesAll.append(QJsonObject{{"key", "devices_all"}, {"id", i}});
    for (const QString& serial : serials) {
        for (const char* key : {"gain", "th", "dserial", "dbuild"})
            reads.append(QJsonObject{{"key", key}, {"id", 1}, {"device", serial}});
    }
    QJsonArray parser;
    for (int i = 0; i < 256; ++i)
        parser.append(QJsonObject{{"option", "device-help"}, {"dash", 2}, {"values", QJsonArray()}});
    return {
        actions(devicesAll),
        CVNBinaryJson::encodeDocument(QJsonObject{{"cli", QJsonObject{{"parser", parser}}}}),
        actions(reads),
        actions(QJsonArray{QJsonObject{{"key", "ping"}, {"id", 1}}}),
    };
}

// A blocking connect to the service on loopback; -1 on failure.
inline int connectTo(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Sends requests back to back and never reads.
class FloodClient
{
public:
    FloodClient(quint16 port, const QList<QByteArray>* requests, int first)
        : m_port(port)
        , m_requests(requests)
        , m_next(first)
    {
        open();
    }
    ~FloodClient()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FloodClient(const FloodClient&) = delete;
    FloodClient& operator=(const FloodClient&) = delete;

    int fd() const { return m_fd; }
    qint64 sent() const { return m_sent; }
    int closedByService() const { return m_closed; }

    // Writes until the kernel takes no more.
    void write()
    {
        if (m_fd < 0 && !open())
            return;
        for (;;) {
            const QByteArray& request = m_requests->at(m_next % m_requests->size());
            const ssize_t written = ::send(m_fd, request.constData() + m_offset, size_t(request.size() - m_offset),
                                           MSG_NOSIGNAL | MSG_DONTWAIT);
            if (written < 0) {
                if (errno != EAGAIN && errno != EWOULDBLOCK) {
                    ++m_closed;  // closed by the service: come back
                    ::close(m_fd);
                    m_fd = -1;
                }
                return;
            }
            m_sent += written;
            m_offset += written;
            if (m_offset == request.size()) {
                m_offset = 0;
                ++m_next;
            }
        }
    }

private:
    bool open()
    {
        m_fd = connectTo(m_port);
        m_offset = 0;
        return m_fd >= 0;
    }

    quint16 m_port;
    const QList<QByteArray>* m_requests;
    int m_next;
    int m_fd = -1;
    qint64 m_offset = 0;
    qint64 m_sent = 0;
    int m_closed = 0;
};

} // namespace Flood

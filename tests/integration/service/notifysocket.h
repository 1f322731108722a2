#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// The receiving end of sd_notify, as systemd offers it.
class NotifySocket
{
public:
    static constexpr int kNotifyWaitMs = 10000;

    NotifySocket()
    {
        m_path = m_dir.filePath(QStringLiteral("notify")).toLocal8Bit();
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", m_path.constData());
        m_bound = m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }
    ~NotifySocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool bound() const { return m_bound; }
    QString path() const { return QString::fromLocal8Bit(m_path); }
    // The next message, empty when none came in time.
    QByteArray next() const
    {
        pollfd entry { m_fd, POLLIN, 0 };
        if (::poll(&entry, 1, kNotifyWaitMs) != 1)
            return {};
        char buffer[512];
        const ssize_t size = ::recv(m_fd, buffer, sizeof(buffer), 0);
        return size > 0 ? QByteArray(buffer, int(size)) : QByteArray();
    }

private:
    QTemporaryDir m_dir;
    QByteArray m_path;
    int m_fd = -1;
    bool m_bound = false;
};

#include "device/platform/sim/simlinesocket.h"

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <unistd.h>

CVNSimLineSocket::~CVNSimLineSocket()
{
    closeFd();
}

bool CVNSimLineSocket::connectTo(const QString& socketPath, int receiveTimeoutMs)
{
    const QByteArray path = socketPath.toLocal8Bit();
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || path.size() >= static_cast<int>(sizeof(address.sun_path)))
        return false;
    std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));

    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    if (receiveTimeoutMs > 0) {
        timeval tv {};
        tv.tv_sec = receiveTimeoutMs / 1000;
        tv.tv_usec = (receiveTimeoutMs % 1000) * 1000;
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        ::close(fd);
        return false;
    }
    std::lock_guard<std::mutex> lock(m_fdMutex);
    m_fd = fd;
    m_shutdown = false;
    return true;
}

bool CVNSimLineSocket::writeLine(const QByteArray& line)
{
    QByteArray data = line;
    data.append('\n');
    const int fd = m_fd;
    if (fd < 0 || m_shutdown)
        return false;
    qsizetype offset = 0;
    while (offset < data.size()) {
        const ssize_t sent
            = ::send(fd, data.constData() + offset, static_cast<size_t>(data.size() - offset), MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        offset += sent;
    }
    return true;
}

bool CVNSimLineSocket::readLine(QByteArray& line)
{
    char chunk[4096];
    for (;;) {
        const int newline = m_buffer.indexOf('\n');
        if (newline >= 0) {
            line = m_buffer.left(newline);
            m_buffer.remove(0, newline + 1);
            return true;
        }
        if (m_buffer.size() > MaxLineLength) {
            shutdown();
            return false;
        }
        const int fd = m_fd;
        if (fd < 0 || m_shutdown)
            return false;
        const ssize_t got = ::recv(fd, chunk, sizeof(chunk), 0);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        m_buffer.append(chunk, static_cast<int>(got));
    }
}

bool CVNSimLineSocket::exchange(const QByteArray& request, QByteArray& answer)
{
    return writeLine(request) && readLine(answer);
}

void CVNSimLineSocket::shutdown()
{
    std::lock_guard<std::mutex> lock(m_fdMutex);
    m_shutdown = true;
    if (m_fd >= 0)
        ::shutdown(m_fd, SHUT_RDWR);
}

bool CVNSimLineSocket::isConnected() const
{
    std::lock_guard<std::mutex> lock(m_fdMutex);
    return m_fd >= 0 && !m_shutdown;
}

void CVNSimLineSocket::closeFd()
{
    std::lock_guard<std::mutex> lock(m_fdMutex);
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

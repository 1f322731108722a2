#pragma once

#include <QByteArray>
#include <QString>

#include <atomic>
#include <mutex>

// A blocking line connection to the simulator's Unix socket. Usable from any
// thread without an event loop. Lines longer than MaxLineLength end the
// connection: the peer is not trusted to bound them.
class CVNSimLineSocket
{
public:
    static constexpr int MaxLineLength = 1 << 20; // same bound as the simulator
    static constexpr int NoTimeout = 0;

    CVNSimLineSocket() = default;
    ~CVNSimLineSocket();
    CVNSimLineSocket(const CVNSimLineSocket&) = delete;
    CVNSimLineSocket& operator=(const CVNSimLineSocket&) = delete;

    [[nodiscard]] bool connectTo(const QString& socketPath, int receiveTimeoutMs);
    [[nodiscard]] bool writeLine(const QByteArray& line);
    // One line without its "\n"; false on end of stream, error, timeout or
    // an overlong line (the connection is then shut down).
    [[nodiscard]] bool readLine(QByteArray& line);
    // Request and answer in one go.
    [[nodiscard]] bool exchange(const QByteArray& request, QByteArray& answer);
    // Wakes a blocked reader and makes every later call fail. Any thread.
    void shutdown();
    bool isConnected() const;

private:
    void closeFd();

    std::atomic<int> m_fd { -1 };
    std::atomic<bool> m_shutdown { false };
    QByteArray m_buffer;
    mutable std::mutex m_fdMutex; // guards m_fd against close/shutdown races
};

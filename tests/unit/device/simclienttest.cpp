// The simulator client against a scripted peer on a Unix socket: whatever
// the peer sends, a transfer fails cleanly or succeeds with checked data.
#include "device/platform/sim/siminterfacefields.h"
#include "device/platform/sim/simlinesocket.h"
#include "device/platform/sim/simusbplatform.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace
{

// Answers each request line with script(line); an answer without a final
// "\n" is sent as is, "<close>" closes the connection.
class ScriptedPeer
{
public:
    using Script = std::function<QByteArray(const QByteArray& line)>;

    explicit ScriptedPeer(Script script)
        : m_script(std::move(script))
    {
        m_listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        const QByteArray path = socketPath().toLocal8Bit();
        std::memcpy(address.sun_path, path.constData(), static_cast<size_t>(path.size()));
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        ::listen(m_listener, 8);
        m_thread = std::thread([this] { acceptLoop(); });
    }
    ~ScriptedPeer()
    {
        ::shutdown(m_listener, SHUT_RDWR);
        ::close(m_listener);
        m_thread.join();
        std::lock_guard<std::mutex> lock(m_mutex);
        for (std::thread& t : m_connections)
            t.join();
    }
    QString socketPath() const { return m_dir.path() + QStringLiteral("/peer.sock"); }

private:
    void acceptLoop()
    {
        for (;;) {
            const int fd = ::accept(m_listener, nullptr, nullptr);
            if (fd < 0)
                return;
            std::lock_guard<std::mutex> lock(m_mutex);
            m_connections.emplace_back([this, fd] { serve(fd); });
        }
    }
    void serve(int fd)
    {
        QByteArray buffer;
        char chunk[4096];
        for (;;) {
            const int newline = buffer.indexOf('\n');
            if (newline < 0) {
                const ssize_t got = ::recv(fd, chunk, sizeof(chunk), 0);
                if (got <= 0)
                    break;
                buffer.append(chunk, static_cast<int>(got));
                continue;
            }
            const QByteArray line = buffer.left(newline);
            buffer.remove(0, newline + 1);
            const QByteArray answer = m_script(line);
            if (answer == "<close>")
                break;
            if (::send(fd, answer.constData(), static_cast<size_t>(answer.size()), MSG_NOSIGNAL) < 0)
                break;
        }
        ::close(fd);
    }

    QTemporaryDir m_dir;
    Script m_script;
    int m_listener = -1;
    std::thread m_thread;
    std::mutex m_mutex;
    std::vector<std::thread> m_connections;
};

const QByteArray HidFields
    = "path=sim#vid_3c2e&pid_0002#0200000001a3#hid kind=hid vid=3c2e pid=0002 rel=0205 "
      "serial=0200000001A3 usagepage=ff00 usage=0000 class=3 subclass=0 protocol=0 eps=81:int";

} // namespace

TEST(SimInterfaceFields, ReadsEveryField)
{
    CVNUsbInterfaceInfo info;
    ASSERT_TRUE(CVNSimInterfaceFields::parse(HidFields, info));
    EXPECT_EQ(info.path, QStringLiteral("sim#vid_3c2e&pid_0002#0200000001a3#hid"));
    EXPECT_EQ(info.vendorId, 0x3C2E);
    EXPECT_EQ(info.productId, 2);
    EXPECT_EQ(info.releaseNumber, 0x0205);
    EXPECT_EQ(info.serial, QStringLiteral("0200000001A3"));
    EXPECT_EQ(info.usagePage, 0xFF00);
    EXPECT_TRUE(info.isHid());
    ASSERT_EQ(info.endpoints.size(), 1);
    EXPECT_TRUE(info.endpoints.at(0).isIn());
    EXPECT_EQ(info.endpoints.at(0).type, CVNUsbEndpointType::Interrupt);

    ASSERT_TRUE(
        CVNSimInterfaceFields::parse("path=p class=255 subclass=1 protocol=1 eps=81:bulk,01:bulk", info));
    EXPECT_EQ(info.endpoints.size(), 2);
    EXPECT_FALSE(info.endpoints.at(1).isIn());
    ASSERT_TRUE(CVNSimInterfaceFields::parse("path=p eps=-", info));
    EXPECT_TRUE(info.endpoints.isEmpty());
}

TEST(SimInterfaceFields, RejectsMalformedDescriptions)
{
    CVNUsbInterfaceInfo info;
    for (const QByteArray& bad : { QByteArray("vid=3c2e"), QByteArray("path=p vid=zz"),
             QByteArray("path=p vid=123456"), QByteArray("path=p class=300"), QByteArray("path=p eps=81:foo"),
             QByteArray("path=p eps=81"), QByteArray("path=p eps=1ff:bulk"), QByteArray("path=p novalue") })
        EXPECT_FALSE(CVNSimInterfaceFields::parse(bad, info)) << bad.constData();
}

TEST(SimClient, EnumerationSkipsMalformedLines)
{
    ScriptedPeer peer([](const QByteArray& line) -> QByteArray {
        if (line != "list")
            return "error\n";
        return "iface " + HidFields
            + "\niface path=x vid=zz\nsomething else\niface path=sim#vid_3c2e&pid_0004#b#hid\nend\n";
    });
    CVNSimUsbPlatform platform(peer.socketPath());
    const QVector<CVNUsbInterfaceInfo> list = platform.enumerate();
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list.at(1).path, QStringLiteral("sim#vid_3c2e&pid_0004#b#hid"));

    CVNSimUsbPlatform absent(peer.socketPath() + QStringLiteral(".none"));
    EXPECT_TRUE(absent.enumerate().isEmpty());
    EXPECT_EQ(absent.open(QStringLiteral("sim#x")), nullptr);
}

TEST(SimClient, TransfersCheckWhatThePeerAnswers)
{
    std::atomic<int> mode { 0 };
    ScriptedPeer peer([&](const QByteArray& line) -> QByteArray {
        if (line.startsWith("open "))
            return line.endsWith("#refused") ? "error no such interface\n" : "ok\n";
        if (line.startsWith("setfeature "))
            return "ok\n";
        switch (mode.load()) {
        case 0:
            return "ok 15" + QByteArray(72, '0').replace(0, 4, "6869") + "\n"; // a proper answer
        case 1:
            return "ok zz\n"; // not hexadecimal
        case 2:
            return "ok " + QByteArray(80, 'a').toHex() + "\n"; // longer than asked
        case 3:
            return "fail\n";
        case 4:
            return "what\n";
        case 5:
            return QByteArray(CVNSimLineSocket::MaxLineLength + 10, 'a'); // never ends
        default:
            return "<close>";
        }
    });
    CVNSimUsbPlatform platform(peer.socketPath());
    EXPECT_EQ(platform.open(QStringLiteral("sim#refused")), nullptr);
    auto handle = platform.open(QStringLiteral("sim#hid"));
    ASSERT_NE(handle, nullptr);
    EXPECT_TRUE(handle->setFeature(QByteArray(73, '\x15')));

    QByteArray report(73, '\0');
    report[0] = 21;
    ASSERT_TRUE(handle->getFeature(report));
    EXPECT_EQ(report.size(), 73);
    EXPECT_EQ(report.at(0), 0x15);
    for (int m = 1; m <= 4; ++m) {
        mode = m;
        EXPECT_FALSE(handle->getFeature(report)) << m;
    }
    mode = 5; // an endless line ends the connection: nothing more goes through
    EXPECT_FALSE(handle->getFeature(report));
    mode = 0;
    EXPECT_FALSE(handle->getFeature(report));

    auto second = platform.open(QStringLiteral("sim#hid"));
    ASSERT_NE(second, nullptr);
    mode = 6; // the peer hangs up
    EXPECT_FALSE(second->getFeature(report));
    EXPECT_FALSE(second->setFeature(report));
}

TEST(SimClient, WatchDeliversNoticesUntilStopped)
{
    std::mutex mutex;
    QStringList seen;
    ScriptedPeer peer([](const QByteArray& line) -> QByteArray {
        if (line == "watch")
            return "ok\narrived " + HidFields + "\narrived path=x vid=zz\nremoved path=sim#gone\n";
        return "error\n";
    });
    CVNSimUsbPlatform platform(peer.socketPath());
    ASSERT_TRUE(platform.startMonitoring(
        [&](const CVNUsbInterfaceInfo& info) {
            std::lock_guard<std::mutex> lock(mutex);
            seen << QStringLiteral("arrived ") + info.path;
        },
        [&](const QString& path) {
            std::lock_guard<std::mutex> lock(mutex);
            seen << QStringLiteral("removed ") + path;
        }));
    for (int i = 0; i < 500; ++i) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (seen.size() >= 2)
                break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    platform.stopMonitoring(); // returns although the peer keeps the connection open
    EXPECT_EQ(seen,
        QStringList({ QStringLiteral("arrived sim#vid_3c2e&pid_0002#0200000001a3#hid"),
            QStringLiteral("removed sim#gone") }));
}

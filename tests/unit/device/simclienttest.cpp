// The simulator client against a scripted peer on a Unix socket: whatever
// the peer sends, a transfer fails cleanly or succeeds with checked data.
#include "device/platform/sim/siminterfacefields.h"
#include "device/platform/sim/simlinesocket.h"
#include "device/platform/sim/simusbplatform.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace
{

// Answers each request line with script(line), sent as is; "<close>" hangs up.
class ScriptedPeer
{
public:
    explicit ScriptedPeer(std::function<QByteArray(const QByteArray& line)> script)
        : m_script(std::move(script))
    {
        m_listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        qstrncpy(address.sun_path, socketPath().toLocal8Bit().constData(), sizeof(address.sun_path));
        ::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        ::listen(m_listener, 8);
        m_thread = std::thread([this] {
            for (int fd; (fd = ::accept(m_listener, nullptr, nullptr)) >= 0;)
                m_connections.emplace_back([this, fd] { serve(fd); });
        });
    }
    ~ScriptedPeer()
    {
        ::shutdown(m_listener, SHUT_RDWR);
        ::close(m_listener);
        m_thread.join(); // after this only the destructor touches m_connections
        for (std::thread& t : m_connections)
            t.join();
    }
    QString socketPath() const { return m_dir.path() + QStringLiteral("/peer.sock"); }

private:
    void serve(int fd)
    {
        QByteArray buffer;
        char chunk[4096];
        for (ssize_t got = 1; got > 0;) {
            const int newline = buffer.indexOf('\n');
            if (newline < 0) {
                if ((got = ::recv(fd, chunk, sizeof(chunk), 0)) > 0)
                    buffer.append(chunk, static_cast<int>(got));
                continue;
            }
            const QByteArray answer = m_script(buffer.left(newline));
            buffer.remove(0, newline + 1);
            if (answer == "<close>")
                break;
            got = ::send(fd, answer.constData(), static_cast<size_t>(answer.size()), MSG_NOSIGNAL);
        }
        ::close(fd);
    }

    QTemporaryDir m_dir;
    std::function<QByteArray(const QByteArray&)> m_script;
    int m_listener = -1;
    std::thread m_thread;
    std::vector<std::thread> m_connections;
};

} // namespace

TEST(SimInterfaceFields, ReadsDescriptionsAndRejectsMalformedOnes)
{
    CVNUsbInterfaceInfo info;
    ASSERT_TRUE(
        CVNSimInterfaceFields::parse("path=p class=255 subclass=1 protocol=1 eps=81:bulk,01:bulk", info));
    ASSERT_EQ(info.endpoints.size(), 2);
    EXPECT_EQ(info.endpoints.at(0).type, CVNUsbEndpointType::Bulk);
    EXPECT_TRUE(info.endpoints.at(0).isIn());
    EXPECT_FALSE(info.endpoints.at(1).isIn());
    ASSERT_TRUE(CVNSimInterfaceFields::parse("path=p eps=-", info));
    EXPECT_TRUE(info.endpoints.isEmpty());

    for (const char* bad : { "vid=3c2e", "path=p vid=zz", "path=p vid=123456", "path=p class=300",
             "path=p eps=81:foo", "path=p eps=81", "path=p eps=1ff:bulk", "path=p novalue" })
        EXPECT_FALSE(CVNSimInterfaceFields::parse(bad, info)) << bad;
}

TEST(SimClient, ListingAndTransfersCheckWhatThePeerAnswers)
{
    std::atomic<int> mode { 0 };
    const QByteArray answers[] = {
        "ok 15" + QByteArray(144, '0').replace(0, 4, "6869") + "\n", // a proper answer, all 73 bytes
        "ok zz\n", // not hexadecimal
        "ok " + QByteArray(80, 'a').toHex() + "\n", // longer than asked
        "ok " + QByteArray(10, 'a').toHex() + "\n", // shorter than asked
        "fail\n", "what\n", QByteArray(CVNSimLineSocket::MaxLineLength + 10, 'a'), // never ends
        "<close>", // the peer hangs up
    };
    ScriptedPeer peer([&](const QByteArray& line) -> QByteArray {
        if (line == "list")
            return "iface path=sim#a#hid\niface path=x vid=zz\nsomething else\niface path=sim#b#hid\nend\n";
        if (line.startsWith("open "))
            return line.endsWith("#refused") ? "error no such interface\n" : "ok\n";
        return line.startsWith("setfeature ") ? QByteArray("ok\n") : answers[mode.load()];
    });
    CVNSimUsbPlatform platform(peer.socketPath());
    const QVector<CVNUsbInterfaceInfo> list = platform.enumerate(); // malformed lines skipped
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list.at(1).path, QStringLiteral("sim#b#hid"));
    CVNSimUsbPlatform absent(peer.socketPath() + QStringLiteral(".none"));
    EXPECT_TRUE(absent.enumerate().isEmpty());
    EXPECT_EQ(absent.open(QStringLiteral("sim#x")), nullptr);

    EXPECT_EQ(platform.open(QStringLiteral("sim#refused")), nullptr);
    auto handle = platform.open(QStringLiteral("sim#hid"));
    ASSERT_NE(handle, nullptr);
    EXPECT_TRUE(handle->setFeature(QByteArray(73, '\x15')));
    QByteArray report(73, '\0');
    report[0] = 21;
    ASSERT_TRUE(handle->getFeature(report));
    EXPECT_EQ(report.size(), 73);
    EXPECT_EQ(report.at(0), 0x15);
    for (int m = 1; m <= 5; ++m) {
        mode = m;
        EXPECT_FALSE(handle->getFeature(report)) << m;
    }
    mode = 6; // an endless line ends the connection: nothing more goes through
    EXPECT_FALSE(handle->getFeature(report));
    mode = 0;
    EXPECT_FALSE(handle->getFeature(report));

    auto second = platform.open(QStringLiteral("sim#hid"));
    ASSERT_NE(second, nullptr);
    mode = 7;
    EXPECT_FALSE(second->getFeature(report));
    EXPECT_FALSE(second->setFeature(report));
}

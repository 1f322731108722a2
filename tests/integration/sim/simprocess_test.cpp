// Runs the real corvane-sim program on a private socket and talks to it the
// way the service and scripts do: command line, watch, handle connections.
#include "../../unit/sim/qstringprinter.h"
#include "eventwait.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr int WaitMs = 5000;
const QString Vasta = QStringLiteral("vasta:0200000001A3:2.005");
const QString VastaPath = QStringLiteral("sim#vid_3c2e&pid_0002#0200000001a3#hid");
const QString LynPath = QStringLiteral("sim#vid_3c2e&pid_0004#0400000000b1#hid");

struct SimRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// One connection speaking the line protocol.
class LineClient {
public:
    bool connectTo(const QString& path)
    {
        m_socket.connectToServer(path);
        return m_socket.waitForConnected(WaitMs);
    }
    QString readLine()
    {
        const QDeadlineTimer deadline(WaitMs);
        while (!m_socket.canReadLine() && !deadline.hasExpired()) {
            if (!m_socket.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
                break;
        }
        return m_socket.canReadLine() ? QString::fromUtf8(m_socket.readLine()).trimmed() : QString();
    }
    QString request(const QByteArray& line) { send(line + '\n'); return readLine(); }
    void send(const QByteArray& bytes) { m_socket.write(bytes); m_socket.flush(); }
    bool waitClosed()
    {
        return m_socket.state() == QLocalSocket::UnconnectedState || m_socket.waitForDisconnected(WaitMs);
    }

private:
    QLocalSocket m_socket;
};

QByteArray setFeature(const QByteArray& word, const QByteArray& value = {})
{
    QByteArray report(73, '\0');
    report[0] = 21;
    return "setfeature " + report.replace(1, word.size(), word).replace(9, value.size(), value).toHex();
}

// The answer text of a command exchange on an open handle.
QString command(LineClient* handle, const QByteArray& word, const QByteArray& value = {})
{
    const QString set = handle->request(setFeature(word, value));
    const QString get = set == "ok" ? handle->request("getfeature 21 73") : QString();
    if (!get.startsWith("ok "))
        return QStringLiteral("<exchange failed: %1 %2>").arg(set, get);
    return QString::fromLatin1(QByteArray::fromHex(get.mid(3).toLatin1()).mid(9).split('\0').first());
}

class SimProcess : public ::testing::Test {
protected:
    void TearDown() override
    {
        if (m_sim.state() != QProcess::NotRunning) {
            m_sim.kill();
            m_sim.waitForFinished(WaitMs);
        }
    }
    void start(const QStringList& devices)
    {
        ASSERT_TRUE(m_dir.isValid());
        QStringList args = {"--socket", m_socket};
        for (const QString& d : devices)
            args << "--device" << d;
        m_sim.start(QStringLiteral(CORVANE_BIN_DIR "/corvane-sim"), args);
        ASSERT_TRUE(m_sim.waitForStarted(WaitMs));
        ASSERT_TRUE(waitUntil([this] { return QFile::exists(m_socket); }, WaitMs));
    }
    // One run of the program as a client (or a second server) on the socket.
    SimRun cli(const QStringList& args)
    {
        QProcess p;
        p.start(QStringLiteral(CORVANE_BIN_DIR "/corvane-sim"), QStringList{"--socket", m_socket} + args);
        if (!p.waitForFinished(WaitMs))
            return {}; // killed on destruction
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
    void connect(LineClient* client, const QByteArray& first)
    {
        ASSERT_TRUE(client->connectTo(m_socket));
        ASSERT_EQ(client->request(first), QStringLiteral("ok"));
    }

    QTemporaryDir m_dir;
    QString m_socket = m_dir.filePath("sim.sock");
    QProcess m_sim;
};

}  // namespace

// Fault commands, set and get, and the traffic log are proven by the device,
// server and end-to-end tests that drive the service against the simulator.
TEST_F(SimProcess, ListingAndExchangeOverTheSocket)
{
    start({Vasta, "lyn:0400000000B1:2.004", "twinpoint:0C00000000C2:2.002", "tarso55:2000000000D3:1.000"});
    const SimRun list = cli({"list"});
    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    EXPECT_TRUE(list.out.contains("iface path=" + VastaPath + " kind=hid vid=3c2e pid=0002 rel=0205"));
    for (const char* pid : {"pid=0004", "pid=000c", "pid=0020"})
        EXPECT_TRUE(list.out.contains(QLatin1String(pid))) << pid;
    EXPECT_EQ(list.out.count("iface "), 4);

    LineClient handle;
    connect(&handle, "open " + VastaPath.toUtf8());
    EXPECT_EQ(command(&handle, "gain"), QStringLiteral("3"));
    EXPECT_EQ(command(&handle, "dbuild").size(), 40);
    EXPECT_EQ(command(&handle, "thbound", "5 100"), QStringLiteral("5 100"));
    EXPECT_TRUE(command(&handle, "nosuch").contains("error"));
    const QString touch = handle.request("getinput 13 64");
    EXPECT_TRUE(touch.startsWith("ok 0d") && touch.size() == 3 + 2 * 64) << touch.toStdString();
    EXPECT_TRUE(handle.request("setfeature zz").startsWith("error"));
    EXPECT_EQ(handle.request("bulkread 129 64 10"), QStringLiteral("fail"));
}

TEST_F(SimProcess, PlugUnplugAndCleanStop)
{
    start({});
    LineClient watcher;
    connect(&watcher, "watch");
    const SimRun plug = cli({"plug", "lyn:0400000000B1:2.004,gain=9"});
    ASSERT_EQ(plug.exitCode, 0) << plug.err.toStdString();
    EXPECT_TRUE(watcher.readLine().startsWith("arrived path=" + LynPath + " kind=hid"));

    LineClient handle;
    connect(&handle, "open " + LynPath.toUtf8());
    EXPECT_EQ(command(&handle, "gain"), QStringLiteral("9")) << "the preset makes the probe fail";

    EXPECT_NE(cli({"plug", "lyn:0400000000B1:2.004"}).exitCode, 0) << "same serial";
    ASSERT_EQ(cli({"unplug", "0400000000B1"}).exitCode, 0);
    EXPECT_EQ(watcher.readLine(), "removed path=" + LynPath);
    EXPECT_TRUE(handle.waitClosed());
    const SimRun again = cli({"unplug", "0400000000B1"});
    EXPECT_NE(again.exitCode, 0);
    EXPECT_TRUE(again.err.contains("error"));

    LineClient stale;
    ASSERT_TRUE(stale.connectTo(m_socket));
    EXPECT_TRUE(stale.request("open " + LynPath.toUtf8()).startsWith("error"));

    // A stop signal ends the program cleanly and removes the socket.
    m_sim.terminate();
    ASSERT_TRUE(m_sim.waitForFinished(WaitMs));
    EXPECT_EQ(m_sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_sim.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(m_socket));
}

TEST_F(SimProcess, BadInputIsRefusedWithAMessage)
{
    for (const auto& c : QList<QPair<QString, QString>>{{"vasta:0200000001A3:2.5", "firmware"}, {Vasta + ",nosuch=1", "nosuch"}}) {
        const SimRun run = cli({"--device", c.first});
        EXPECT_NE(run.exitCode, 0);
        EXPECT_TRUE(run.err.contains(c.second)) << run.err.toStdString();
    }
    EXPECT_FALSE(QFile::exists(m_socket));

    start({Vasta});
    const SimRun badPlug = cli({"plug", "vasta:short:2.005"});
    EXPECT_NE(badPlug.exitCode, 0);
    EXPECT_TRUE(badPlug.err.contains("serial"));
    EXPECT_NE(cli({"set", "0200000001A3", "nosuch", "1"}).exitCode, 0);
    LineClient raw;
    ASSERT_TRUE(raw.connectTo(m_socket));
    EXPECT_TRUE(raw.request("plug nonsense").startsWith("error"));
    EXPECT_TRUE(raw.request("fail 0200000001A3 many").startsWith("error"));
    EXPECT_TRUE(raw.request("open " + VastaPath.toUtf8()).startsWith("error")) << "role is fixed";

    LineClient flood;
    ASSERT_TRUE(flood.connectTo(m_socket));
    flood.send(QByteArray(1024 * 1024 + 16, 'x'));
    EXPECT_TRUE(flood.waitClosed()) << "a line over 1 MiB closes the connection";

    EXPECT_NE(cli({}).exitCode, 0) << "the socket is in use";
    EXPECT_EQ(cli({"list"}).exitCode, 0) << "and the first simulator keeps it";
}

TEST_F(SimProcess, BulkInterfaceAndSecondPathOfOneController)
{
    start({});
    LineClient watcher;
    connect(&watcher, "watch");
    const QString base = QStringLiteral("sim#vid_3c2e&pid_0002#0200000001a3#");
    ASSERT_EQ(cli({"plug", Vasta + ",bulk=1,paths=2"}).exitCode, 0);
    EXPECT_EQ(watcher.readLine(), "arrived path=" + base + "bulk kind=bulk vid=3c2e pid=0002 rel=0205 "
                                  "serial=0200000001A3 class=255 subclass=1 protocol=1 eps=81:bulk,01:bulk");
    EXPECT_TRUE(watcher.readLine().startsWith("arrived path=" + base + "hid kind=hid"));
    EXPECT_TRUE(watcher.readLine().startsWith("arrived path=" + base + "hid2 kind=hid"));

    // The bulk interface answers records on its pipes and has no HID reports.
    // A get of "gain", id 7, in its one 64-byte packet; the answer carries 3.
    LineClient bulk;
    connect(&bulk, "open " + base.toUtf8() + "bulk");
    const QByteArray get = QByteArray::fromHex("0a00" "0107000000" "6761696e00").leftJustified(64, '\0');
    EXPECT_EQ(bulk.request("bulkwrite 1 0102"), QStringLiteral("fail")) << "not a 64-byte first packet";
    EXPECT_EQ(bulk.request("bulkwrite 01 " + get.toHex()), QStringLiteral("ok 64"));
    EXPECT_EQ(bulk.request("bulkread 81 64 10"),
              QString::fromLatin1("ok " + QByteArray::fromHex("0f00" "0107000000" "6761696e00" "0603000000")
                                                 .leftJustified(64, '\0').toHex()));
    EXPECT_EQ(bulk.request("bulkread 81 64 10"), QStringLiteral("fail")) << "nothing more to read";
    EXPECT_TRUE(bulk.request("bulkread 129 64 10").startsWith("error")) << "the endpoint is two hex digits";
    EXPECT_EQ(bulk.request(setFeature("gain")), QStringLiteral("fail"));
    EXPECT_TRUE(bulk.request("bulkfly").startsWith("error"));

    // Both HID paths reach the same controller.
    LineClient first;
    LineClient second;
    connect(&first, "open " + base.toUtf8() + "hid");
    connect(&second, "open " + base.toUtf8() + "hid2");
    EXPECT_EQ(command(&first, "gain", "6"), QStringLiteral("6"));
    EXPECT_EQ(command(&second, "gain"), QStringLiteral("6"));

    ASSERT_EQ(cli({"unplug", "0200000001A3"}).exitCode, 0);
    for (const char* suffix : {"bulk", "hid", "hid2"})
        EXPECT_EQ(watcher.readLine(), "removed path=" + base + suffix);
    EXPECT_TRUE(bulk.waitClosed());
    EXPECT_TRUE(first.waitClosed());
    EXPECT_TRUE(second.waitClosed());
}

// Runs the real corvane-sim program on a private socket and talks to it the
// way the service and scripts do: command line, watch, handle connections.
#include "../../unit/sim/qstringprinter.h"

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

QString simProgram()
{
    return QStringLiteral(CORVANE_BIN_DIR "/corvane-sim");
}

struct SimRun {
    int exitCode = -1;
    QString out;
    QString err;
};

SimRun runSim(const QStringList& args)
{
    QProcess p;
    p.start(simProgram(), args);
    SimRun r;
    if (!p.waitForFinished(WaitMs)) {
        p.kill();
        p.waitForFinished(WaitMs);
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

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
    QString request(const QString& line)
    {
        m_socket.write(line.toUtf8() + '\n');
        m_socket.flush();
        return readLine();
    }
    void send(const QByteArray& bytes)
    {
        m_socket.write(bytes);
        m_socket.flush();
    }
    bool waitClosed()
    {
        if (m_socket.state() == QLocalSocket::UnconnectedState)
            return true;
        return m_socket.waitForDisconnected(WaitMs);
    }

private:
    QLocalSocket m_socket;
};

QString commandHex(const QByteArray& word, const QByteArray& value = {})
{
    QByteArray report(73, '\0');
    report[0] = 21;
    report.replace(1, word.size(), word);
    report.replace(9, value.size(), value);
    return QString::fromLatin1(report.toHex());
}

// The answer text of a command exchange on an open handle.
QString command(LineClient* handle, const QByteArray& word, const QByteArray& value = {})
{
    const QString set = handle->request(QStringLiteral("setfeature ") + commandHex(word, value));
    if (set != QLatin1String("ok"))
        return QStringLiteral("<setfeature: %1>").arg(set);
    const QString get = handle->request(QStringLiteral("getfeature 21 73"));
    if (!get.startsWith(QLatin1String("ok ")))
        return QStringLiteral("<getfeature: %1>").arg(get);
    const QByteArray answer = QByteArray::fromHex(get.mid(3).toLatin1()).mid(9);
    return QString::fromLatin1(answer.left(answer.indexOf('\0') < 0 ? answer.size() : answer.indexOf('\0')));
}

class SimProcess : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_socket = m_dir.filePath(QStringLiteral("sim.sock"));
        m_traffic = m_dir.filePath(QStringLiteral("traffic.log"));
    }
    void TearDown() override
    {
        if (m_sim.state() != QProcess::NotRunning) {
            m_sim.kill();
            m_sim.waitForFinished(WaitMs);
        }
    }
    void start(const QStringList& devices)
    {
        QStringList args = {QStringLiteral("--socket"), m_socket, QStringLiteral("--traffic"), m_traffic};
        for (const QString& d : devices)
            args << QStringLiteral("--device") << d;
        m_sim.start(simProgram(), args);
        ASSERT_TRUE(m_sim.waitForStarted(WaitMs));
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(m_socket), WaitMs);
    }
    SimRun cli(const QStringList& args) { return runSim(QStringList{QStringLiteral("--socket"), m_socket} + args); }
    QString trafficLog() const
    {
        QFile f(m_traffic);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }
    void openHandle(LineClient* handle, const QString& path)
    {
        ASSERT_TRUE(handle->connectTo(m_socket));
        ASSERT_EQ(handle->request(QStringLiteral("open ") + path), QStringLiteral("ok"));
    }

    QTemporaryDir m_dir;
    QString m_socket;
    QString m_traffic;
    QProcess m_sim;
};

}  // namespace

TEST_F(SimProcess, ProbeExchangeOverTheSocketIsLogged)
{
    start({Vasta});
    const SimRun list = cli({QStringLiteral("list")});
    ASSERT_EQ(list.exitCode, 0) << list.err.toStdString();
    EXPECT_TRUE(list.out.contains(QStringLiteral("iface path=") + VastaPath + QStringLiteral(" kind=hid vid=3c2e pid=0002 rel=0205")));

    LineClient handle;
    openHandle(&handle, VastaPath);
    const QString gain = command(&handle, "gain");
    EXPECT_EQ(gain, QStringLiteral("3"));
    EXPECT_EQ(command(&handle, "dbuild").size(), 40);
    EXPECT_EQ(command(&handle, "dserial"), QStringLiteral("0200000001A3"));
    EXPECT_EQ(command(&handle, "thbound", "5 100"), QStringLiteral("5 100"));
    EXPECT_TRUE(command(&handle, "nosuch").contains(QLatin1String("error")));

    const QString touch = handle.request(QStringLiteral("getfeature 13 161"));
    ASSERT_TRUE(touch.startsWith(QLatin1String("ok 0d")));
    EXPECT_EQ(touch.size(), 3 + 2 * 161);
    EXPECT_TRUE(handle.request(QStringLiteral("setfeature zz")).startsWith(QLatin1String("error")));
    EXPECT_EQ(handle.request(QStringLiteral("bulkread 129 64 10")), QStringLiteral("fail"));

    const QString log = trafficLog();
    EXPECT_TRUE(log.contains(QStringLiteral("0200000001A3 gain  -> 3\n")));
    EXPECT_TRUE(log.contains(QStringLiteral("0200000001A3 thbound 5 100 -> 5 100\n")));
    EXPECT_TRUE(log.contains(QStringLiteral("0200000001A3 nosuch  -> error")));
}

TEST_F(SimProcess, SeveralFamiliesWithTheirProductIds)
{
    start({Vasta, QStringLiteral("lyn:0400000000B1:2.004"), QStringLiteral("twinpoint:0C00000000C2:2.002"),
           QStringLiteral("tarso55:2000000000D3:1.000")});
    const SimRun list = cli({QStringLiteral("list")});
    ASSERT_EQ(list.exitCode, 0);
    for (const char* pid : {"pid=0002", "pid=0004", "pid=000c", "pid=0020"})
        EXPECT_TRUE(list.out.contains(QLatin1String(pid))) << pid;
    EXPECT_EQ(list.out.count(QStringLiteral("iface ")), 4);
    const SimRun tarsoTh = cli({QStringLiteral("get"), QStringLiteral("2000000000D3"), QStringLiteral("th")});
    EXPECT_NE(tarsoTh.exitCode, 0) << "early firmware has no thresholds";
    const SimRun twinGlass = cli({QStringLiteral("get"), QStringLiteral("0C00000000C2"), QStringLiteral("fsglass")});
    EXPECT_EQ(twinGlass.exitCode, 0);
}

TEST_F(SimProcess, PlugAndUnplugWhileRunning)
{
    start({});
    LineClient watcher;
    ASSERT_TRUE(watcher.connectTo(m_socket));
    ASSERT_EQ(watcher.request(QStringLiteral("watch")), QStringLiteral("ok"));

    const SimRun plug = cli({QStringLiteral("plug"), QStringLiteral("lyn:0400000000B1:2.004,gain=9")});
    ASSERT_EQ(plug.exitCode, 0) << plug.err.toStdString();
    const QString lynPath = QStringLiteral("sim#vid_3c2e&pid_0004#0400000000b1#hid");
    EXPECT_TRUE(watcher.readLine().startsWith(QStringLiteral("arrived path=") + lynPath + QStringLiteral(" kind=hid")));

    LineClient handle;
    openHandle(&handle, lynPath);
    EXPECT_EQ(command(&handle, "gain"), QStringLiteral("9")) << "the preset makes the probe fail";

    EXPECT_NE(cli({QStringLiteral("plug"), QStringLiteral("lyn:0400000000B1:2.004")}).exitCode, 0) << "same serial";
    ASSERT_EQ(cli({QStringLiteral("unplug"), QStringLiteral("0400000000B1")}).exitCode, 0);
    EXPECT_EQ(watcher.readLine(), QStringLiteral("removed path=") + lynPath);
    EXPECT_TRUE(handle.waitClosed());
    const SimRun again = cli({QStringLiteral("unplug"), QStringLiteral("0400000000B1")});
    EXPECT_NE(again.exitCode, 0);
    EXPECT_TRUE(again.err.contains(QLatin1String("error")));

    LineClient stale;
    ASSERT_TRUE(stale.connectTo(m_socket));
    EXPECT_TRUE(stale.request(QStringLiteral("open ") + lynPath).startsWith(QLatin1String("error")));
}

TEST_F(SimProcess, FaultsOnDemand)
{
    start({Vasta});
    LineClient watcher;
    ASSERT_TRUE(watcher.connectTo(m_socket));
    ASSERT_EQ(watcher.request(QStringLiteral("watch")), QStringLiteral("ok"));
    LineClient handle;
    openHandle(&handle, VastaPath);

    ASSERT_EQ(cli({QStringLiteral("fail"), QStringLiteral("0200000001A3"), QStringLiteral("1")}).exitCode, 0);
    EXPECT_EQ(handle.request(QStringLiteral("setfeature ") + commandHex("gain")), QStringLiteral("fail"));
    EXPECT_EQ(command(&handle, "gain"), QStringLiteral("3"));

    ASSERT_EQ(cli({QStringLiteral("set"), QStringLiteral("0200000001A3"), QStringLiteral("gain"), QStringLiteral("9")}).exitCode, 0);
    EXPECT_EQ(command(&handle, "gain"), QStringLiteral("9"));
    const SimRun get = cli({QStringLiteral("get"), QStringLiteral("0200000001A3"), QStringLiteral("gain")});
    EXPECT_EQ(get.out.trimmed(), QStringLiteral("ok 9"));
    EXPECT_NE(cli({QStringLiteral("set"), QStringLiteral("0200000001A3"), QStringLiteral("nosuch"), QStringLiteral("1")}).exitCode, 0);

    ASSERT_EQ(cli({QStringLiteral("garbage"), QStringLiteral("0200000001A3"), QStringLiteral("1")}).exitCode, 0);
    EXPECT_NE(command(&handle, "dserial"), QStringLiteral("0200000001A3"));
    EXPECT_EQ(command(&handle, "dserial"), QStringLiteral("0200000001A3"));

    ASSERT_EQ(cli({QStringLiteral("vanish"), QStringLiteral("0200000001A3")}).exitCode, 0);
    EXPECT_EQ(handle.request(QStringLiteral("getfeature 13 161")), QStringLiteral("fail"));
    EXPECT_TRUE(handle.waitClosed());
    EXPECT_EQ(watcher.readLine(), QStringLiteral("removed path=") + VastaPath);
    EXPECT_FALSE(cli({QStringLiteral("list")}).out.contains(VastaPath));
}

TEST_F(SimProcess, BadInputIsRefusedWithAMessage)
{
    const SimRun bad = runSim({QStringLiteral("--socket"), m_socket, QStringLiteral("--device"), QStringLiteral("vasta:0200000001A3:2.5")});
    EXPECT_NE(bad.exitCode, 0);
    EXPECT_TRUE(bad.err.contains(QLatin1String("firmware"))) << bad.err.toStdString();
    EXPECT_FALSE(QFile::exists(m_socket));

    const SimRun unknownPreset = runSim({QStringLiteral("--socket"), m_socket, QStringLiteral("--device"), Vasta + QStringLiteral(",nosuch=1")});
    EXPECT_NE(unknownPreset.exitCode, 0);
    EXPECT_TRUE(unknownPreset.err.contains(QLatin1String("nosuch")));

    start({Vasta});
    const SimRun badPlug = cli({QStringLiteral("plug"), QStringLiteral("vasta:short:2.005")});
    EXPECT_NE(badPlug.exitCode, 0);
    EXPECT_TRUE(badPlug.err.contains(QLatin1String("serial")));
    LineClient raw;
    ASSERT_TRUE(raw.connectTo(m_socket));
    EXPECT_TRUE(raw.request(QStringLiteral("plug nonsense")).startsWith(QLatin1String("error")));
    EXPECT_TRUE(raw.request(QStringLiteral("fail 0200000001A3 many")).startsWith(QLatin1String("error")));
    EXPECT_TRUE(raw.request(QStringLiteral("open ") + VastaPath).startsWith(QLatin1String("error"))) << "role is fixed";

    LineClient flood;
    ASSERT_TRUE(flood.connectTo(m_socket));
    flood.send(QByteArray(1024 * 1024 + 16, 'x'));
    EXPECT_TRUE(flood.waitClosed()) << "a line over 1 MiB closes the connection";

    const SimRun second = runSim({QStringLiteral("--socket"), m_socket});
    EXPECT_NE(second.exitCode, 0) << "the socket is in use";
    EXPECT_EQ(cli({QStringLiteral("list")}).exitCode, 0) << "and the first simulator keeps it";
}

TEST_F(SimProcess, StopSignalEndsCleanlyAndRemovesTheSocket)
{
    start({Vasta});
    m_sim.terminate();
    ASSERT_TRUE(m_sim.waitForFinished(WaitMs));
    EXPECT_EQ(m_sim.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_sim.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(m_socket));
}

// TUIO from the real service on a simulated controller, read by decoders
// nobody here wrote: oscdump (liblo-tools), python3-liblo and osc.js (npm).
// One session of touches feeds them all at once: a finger that moves and
// lifts, a second finger and a pen, then sixty fingers at once (frames
// larger than one datagram), then the receivers are stopped.
#include "simprocess.h"
#include "tuiostream.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <memory>

namespace {

const QString kVasta = QStringLiteral("0200000001A3");
const QString kService = QStringLiteral(CORVANE_BIN_DIR "/CorvaneService");
const QString kHere = QStringLiteral(CORVANE_SOURCE_DIR "/tests/integration/tuio");
const QString kOscJsDir = QStringLiteral(CORVANE_BIN_DIR "/../npm-osc");
constexpr int kMaxDatagram = 1472;
constexpr int kManyFingers = 60;

quint16 freePort()
{
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
    return probe.localPort();
}

// osc.js in a folder under the build directory, where scripts/test installs
// it with npm (a test must not wait on the network). Empty when it is there,
// else why not.
QString prepareOscJs()
{
    if (QFile::exists(kOscJsDir + QStringLiteral("/node_modules/osc/package.json")))
        return QString();
    if (QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty())
        return QStringLiteral("node is not installed");
    return QStringLiteral("osc.js is not installed in %1 (scripts/oscjs installs it)").arg(kOscJsDir);
}

struct Decoder {
    QString name;
    quint16 port = 0;
    std::unique_ptr<QProcess> process;
    QString outputFile;
    QString output;
    bool started = false;
};

// Everything one session of touches produced.
struct Session {
    bool ran = false;
    QString failure;
    QList<QByteArray> raw; // what a plain socket received
    Decoder oscdump;
    Decoder liblo;
    Decoder oscjs;
    QString oscJsSkip;
};

Session* g_session = nullptr;

class Runner
{
public:
    Runner()
    {
        m_sim = std::make_unique<SimProcess>(QStringList { "vasta:" + kVasta + ":2.005,timeline=off" });
    }
    ~Runner()
    {
        if (m_service.state() != QProcess::NotRunning) {
            m_service.terminate();
            if (!m_service.waitForFinished(10000))
                m_service.kill();
        }
    }

    void run(Session& s)
    {
        if (!m_sim->isRunning() || !m_config.isValid() || !startService())
            return void(s.failure = QStringLiteral("the service did not start on the simulator"));
        if (!m_raw.bind(QHostAddress(QHostAddress::LocalHost), 0))
            return void(s.failure = QStringLiteral("no socket"));
        startDecoder(s.oscdump, QStringLiteral("oscdump"), { "-L", QString::number(s.oscdump.port = freePort()) });
        startDecoder(s.liblo, QStringLiteral("/usr/bin/python3"),
            { kHere + "/liblo_receiver.py", QString::number(s.liblo.port = freePort()), "120" });
        s.oscJsSkip = prepareOscJs();
        if (s.oscJsSkip.isEmpty())
            startDecoder(s.oscjs, QStringLiteral("node"),
                { kHere + "/oscjs_receiver.js", kOscJsDir, QString::number(s.oscjs.port = freePort()) });
        pump(500); // oscdump says nothing when it is ready

        QStringList endpoints { QStringLiteral("127.0.0.1:%1").arg(m_raw.localPort()) };
        for (const Decoder* d : { &s.oscdump, &s.liblo, &s.oscjs }) {
            if (d->started)
                endpoints.append(QStringLiteral("127.0.0.1:%1").arg(d->port));
        }
        const QString started = tool(QStringList { "--device", kVasta, "--tuio", "start" } + endpoints);
        if (!started.contains(QStringLiteral("Has started")))
            return void(s.failure = QStringLiteral("tuio start answered: ") + started);

        sim({ "touch", kVasta, "1", "1000", "1000" });
        pump(200);
        sim({ "touch", kVasta, "1", "1400", "1200" });
        sim({ "touch", kVasta, "2", "3000", "3000", "800" });
        sim({ "pen", kVasta, "10", "2000", "2000" });
        pump(300);
        sim({ "lift", kVasta, "1" });
        pump(300);
        sim({ "lift", kVasta, "all" });
        pump(800); // the empty alive and the idle frame
        for (int i = 0; i < kManyFingers; ++i)
            sim({ "touch", kVasta, QString::number(100 + i), QString::number(60 * i + 100), QString::number(30 * i + 200) });
        pumpUntil([this] { return m_largestRaw >= 3 * kManyFingers; }, 10000);
        pump(200);
        sim({ "lift", kVasta, "all" });
        pump(800);
        tool(QStringList { "--device", kVasta, "--tuio", "stop" } + endpoints);
        pump(300);

        for (Decoder* d : { &s.oscdump, &s.liblo, &s.oscjs }) {
            if (!d->started)
                continue;
            d->process->terminate();
            d->process->waitForFinished(5000);
            d->output = readOutput(*d);
        }
        drain();
        s.raw = m_rawDatagrams;
        s.ran = true;
    }

private:
    bool startService()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_config.path());
        env.insert(QStringLiteral("CORVANE_SIM_SOCKET"), m_sim->socketPath());
        m_env = env;
        m_service.setProcessEnvironment(env);
        m_service.setProcessChannelMode(QProcess::ForwardedChannels);
        m_service.start(kService, { QStringLiteral("-e") });
        if (!m_service.waitForStarted(10000))
            return false;
        QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired()) {
            if (tool({ QStringLiteral("--device-list") }).contains(kVasta))
                return true;
            QTest::qWait(100);
        }
        return false;
    }
    QString tool(const QStringList& arguments)
    {
        QProcess process;
        process.setProcessEnvironment(m_env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(kService, arguments);
        // Keep receiving while the tool runs: the socket buffers are finite.
        QDeadlineTimer deadline(20000);
        while (!process.waitForFinished(20) && !deadline.hasExpired())
            drain();
        return QString::fromUtf8(process.readAll());
    }
    void sim(const QStringList& arguments)
    {
        (void)m_sim->control(arguments);
        drain();
    }
    // A decoder writes into a file: a pipe that this process, busy in a
    // control command, leaves unread for a moment would stop the decoder,
    // and the datagrams sent meanwhile would overflow its socket.
    void startDecoder(Decoder& d, const QString& program, const QStringList& arguments)
    {
        d.name = program;
        d.process = std::make_unique<QProcess>();
        d.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        d.outputFile = m_config.filePath(QFileInfo(program).fileName() + QStringLiteral(".out"));
        d.process->setStandardOutputFile(d.outputFile);
        d.process->start(program, arguments);
        d.started = d.process->waitForStarted(5000);
        Decoder* decoder = &d;
        if (d.started && program != QLatin1String("oscdump"))
            d.started = pumpUntil([decoder] { return readOutput(*decoder).contains(QLatin1String("ready")); }, 10000);
    }
    static QString readOutput(const Decoder& d)
    {
        QFile file(d.outputFile);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }
    void drain()
    {
        while (m_raw.state() == QAbstractSocket::BoundState && m_raw.hasPendingDatagrams()) {
            QByteArray datagram(int(m_raw.pendingDatagramSize()), '\0');
            m_raw.readDatagram(datagram.data(), datagram.size());
            m_rawDatagrams.append(datagram);
            m_largestRaw = qMax(m_largestRaw, aliveBytes(datagram));
        }
    }
    // Roughly the bytes of ids in a cursor alive: enough to see the many fingers arrive.
    static int aliveBytes(const QByteArray& datagram)
    {
        const int at = datagram.indexOf("alive");
        return datagram.contains("/tuio/2Dcur") && at > 0 ? datagram.indexOf("/tuio/2Dcur", at) - at : 0;
    }
    bool pumpUntil(const std::function<bool()>& done, int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!done() && !deadline.hasExpired())
            pump(10);
        return done();
    }
    void pump(int ms)
    {
        QDeadlineTimer deadline(ms);
        do {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            drain();
            QThread::msleep(2);
        } while (!deadline.hasExpired());
    }

    std::unique_ptr<SimProcess> m_sim;
    QTemporaryDir m_config;
    QProcess m_service;
    QProcessEnvironment m_env;
    QUdpSocket m_raw;
    QList<QByteArray> m_rawDatagrams;
    int m_largestRaw = 0;
};

class TuioInterop : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        g_session = new Session;
        Runner runner;
        runner.run(*g_session);
    }
    static void TearDownTestSuite()
    {
        delete g_session;
        g_session = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(g_session->ran) << qPrintable(g_session->failure); }

    // The rules, and what the session must have shown, for one decoder's view.
    static void expectSessionSeen(const QList<TuioBundle>& bundles, const QString& decoder)
    {
        SCOPED_TRACE(decoder.toStdString());
        const TuioStreamFacts facts = checkTuioStream(bundles);
        EXPECT_TRUE(facts.violations.isEmpty()) << qPrintable(facts.violations.join('\n'));
        // Fingers 1 and 2, the pen, then sixty fingers: each one identifier for its whole stay.
        EXPECT_EQ(facts.cursorIds.size(), 3 + kManyFingers);
        EXPECT_EQ(facts.tuio2Ids.size(), 3 + kManyFingers);
        EXPECT_EQ(facts.cursorIds.value(0), 101001);
        EXPECT_TRUE(facts.cursorIds.contains(601001)) << "the pen";
        EXPECT_EQ(facts.largestAlive, kManyFingers);
        EXPECT_GT(facts.splitFrames, 0) << "sixty contacts do not fit one TUIO 2.0 datagram";
        EXPECT_TRUE(facts.lastCursorAliveEmpty) << "the empty alive follows the last lift";
        EXPECT_TRUE(facts.lastTuio2AliveEmpty);
        EXPECT_GT(facts.cursorFrames, 20);
    }
};

} // namespace

TEST_F(TuioInterop, EveryDatagramFitsAndDecodesWithOscpackRules)
{
    ASSERT_GT(g_session->raw.size(), 60);
    int largest = 0;
    for (const QByteArray& datagram : g_session->raw) {
        largest = qMax(largest, int(datagram.size()));
        EXPECT_TRUE(datagram.startsWith(QByteArray("#bundle\0", 8)));
    }
    EXPECT_LE(largest, kMaxDatagram) << "a datagram over 1500 bytes on the wire";
}

TEST_F(TuioInterop, OscdumpReadsTheStream)
{
    ASSERT_TRUE(g_session->oscdump.started) << "oscdump (liblo-tools) did not start";
    const QList<TuioBundle> bundles = parseOscdump(g_session->oscdump.output);
    EXPECT_EQ(bundles.size(), g_session->raw.size()) << "every bundle decoded";
    expectSessionSeen(bundles, QStringLiteral("oscdump"));
}

TEST_F(TuioInterop, PythonLibloReadsTheStream)
{
    ASSERT_TRUE(g_session->liblo.started) << "python3-liblo did not start";
    const QList<TuioBundle> bundles = parseLiblo(g_session->liblo.output);
    EXPECT_EQ(bundles.size(), g_session->raw.size()) << "every bundle decoded";
    expectSessionSeen(bundles, QStringLiteral("python3-liblo"));
}

TEST_F(TuioInterop, OscJsReadsTheStream)
{
    if (!g_session->oscJsSkip.isEmpty())
        GTEST_SKIP() << "osc.js decoder skipped: " << qPrintable(g_session->oscJsSkip);
    ASSERT_TRUE(g_session->oscjs.started) << "node with osc.js did not start";
    QStringList errors;
    const QList<TuioBundle> bundles = parseOscJs(g_session->oscjs.output, &errors);
    EXPECT_TRUE(errors.isEmpty()) << qPrintable(errors.join('\n'));
    EXPECT_EQ(bundles.size(), g_session->raw.size()) << "every datagram decoded";
    for (const TuioBundle& b : bundles)
        EXPECT_LE(b.size, kMaxDatagram);
    expectSessionSeen(bundles, QStringLiteral("osc.js"));
}

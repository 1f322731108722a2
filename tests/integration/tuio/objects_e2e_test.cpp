// Tangible objects end to end: corvane-sim places objects, the real service
// recognises them, the tool and request documents configure it, and a
// receiver reads the TUIO it sends: a class-203 triangle recognised, locked
// after the time-lock, moved, lifted; quads of both or-specs; stray
// fingers rejected inside a locked object; or-conf replies kept over a restart.
#include "simprocess.h"
#include "tuiostream.h"

#include "../../unit/tuio/oscread.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include <functional>

namespace {

const QString kVasta = QStringLiteral("0200000001A3");
const QString kService = QStringLiteral(CORVANE_BIN_DIR "/CorvaneService");
const QString kRequest = QStringLiteral(CORVANE_BIN_DIR "/corvane-request");
constexpr double kSensor = 4095.0; // the simulated logical size

// One TUIO 1.1 frame as received: objects (s_id -> class and position) and cursors.
struct Frame {
    QMap<int, int> classes;
    QMap<int, QPointF> positions;
    QList<int> cursors;
};

class ObjectSession
{
public:
    ObjectSession()
        : m_sim(QStringList{ "vasta:" + kVasta + ":2.005,timeline=off" })
    {
    }
    ~ObjectSession() { stop(); }

    bool start()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_CONFIG_HOME", m_config.path());
        env.insert("CORVANE_SIM_SOCKET", m_sim.socketPath());
        m_env = env;
        m_service.setProcessEnvironment(env);
        m_service.setProcessChannelMode(QProcess::ForwardedChannels);
        m_service.start(kService, { "-e" });
        m_bundles.clear(); // a new process begins its frame numbers anew
        return m_sim.isRunning() && m_service.waitForStarted(10000)
            && until([&] { return tool({ "--device-list" }).contains(kVasta); }, 30000);
    }
    void stop()
    {
        if (m_service.state() == QProcess::NotRunning)
            return;
        m_service.terminate();
        if (!m_service.waitForFinished(10000))
            m_service.kill();
        drain(); // its last idle frames
    }
    bool listen()
    {
        if (!m_receiver.bind(QHostAddress(QHostAddress::LocalHost), 0))
            return false;
        return tool({ "--device", kVasta, "--tuio", "start", QStringLiteral("127.0.0.1:%1").arg(m_receiver.localPort()) })
            .contains("Has started");
    }
    // The tool's answer to one option of the controller, without the selection line.
    QString orConf(const QStringList& words)
    {
        const QString out = tool(QStringList{ "--device", kVasta, "--or-conf" } + words);
        const int at = out.indexOf("or-conf: ");
        return at < 0 ? out : out.mid(at + 9).section('\n', 0, 0);
    }
    QString tool(const QStringList& arguments) { return run(kService, arguments); }
    // One action on the controller's entity by request document; its value.
    QJsonValue act(const QString& key, const QJsonValue& value = QJsonValue::Undefined)
    {
        QJsonObject action{ { "key", key }, { "device", kVasta } };
        if (!value.isUndefined())
            action.insert("value", value);
        const QJsonObject document{ { "actions", QJsonObject{ { "list", QJsonArray{ action } } } } };
        const QString out = run(kRequest, { QJsonDocument(document).toJson(QJsonDocument::Compact) });
        return QJsonDocument::fromJson(out.toUtf8())["reactions"]["list"][0]["value"];
    }
    bool sim(const QStringList& words)
    {
        const bool ok = m_sim.control(words);
        drain();
        return ok;
    }
    bool until(const std::function<bool()>& condition, int timeoutMs = 10000)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!condition()) {
            if (deadline.hasExpired())
                return false;
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            drain();
            QThread::msleep(3);
        }
        return true;
    }
    QString run(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.setProcessEnvironment(m_env);
        process.start(program, arguments);
        // Keep receiving while it runs: the socket buffers are finite.
        QDeadlineTimer deadline(20000);
        while (!process.waitForFinished(20) && !deadline.hasExpired())
            drain();
        return QString::fromUtf8(process.readAllStandardOutput());
    }
    // Frames received since the last call, and all of them.
    QList<Frame> take() { drain(); return std::exchange(m_fresh, {}); }
    const QList<Frame>& frames() const { return m_frames; }
    const QList<TuioBundle>& bundles() const { return m_bundles; }
    // The TUIO 2.0 type of a session id in the latest frame that sent it (0 if none).
    int typeOf(int sessionId) const { return m_tuio2Types.value(sessionId); }

private:
    void drain()
    {
        while (m_receiver.state() == QAbstractSocket::BoundState && m_receiver.hasPendingDatagrams()) {
            QByteArray datagram(int(m_receiver.pendingDatagramSize()), '\0');
            m_receiver.readDatagram(datagram.data(), datagram.size());
            const OscBundle bundle = readBundle(datagram);
            TuioBundle plain;
            for (const OscMessage& m : bundle.messages)
                plain.messages.append({ m.address, m.types, m.arguments });
            m_bundles.append(plain);
            takeBundle(bundle);
        }
    }
    void takeBundle(const OscBundle& bundle)
    {
        if (bundle.messages.isEmpty())
            return;
        const QString address = bundle.messages.first().address;
        if (address == "/tuio2/frm") {
            for (const OscMessage& m : bundle.messages) {
                if (m.address == "/tuio2/ptr")
                    m_tuio2Types.insert(m.arguments.value(0).toInt(), m.arguments.value(1).toInt());
            }
            return;
        }
        Frame frame;
        for (const OscMessage& m : bundle.messages) {
            const QString word = m.arguments.value(0).toString();
            if (word == "set" && address == "/tuio/2Dobj") {
                const int id = m.arguments.value(1).toInt();
                frame.classes.insert(id, m.arguments.value(2).toInt());
                frame.positions.insert(id, QPointF(m.arguments.value(3).toFloat(), m.arguments.value(4).toFloat()));
            } else if (word == "set")
                frame.cursors.append(m.arguments.value(1).toInt());
        }
        if (address == "/tuio/2Dcur") {
            m_cursors = frame.cursors;
            return;
        }
        frame.cursors = m_cursors; // the cursor bundle of the same poll came first
        m_frames.append(frame);
        m_fresh.append(frame);
    }

    SimProcess m_sim;
    QTemporaryDir m_config;
    QProcess m_service;
    QProcessEnvironment m_env;
    QUdpSocket m_receiver;
    QList<Frame> m_frames;
    QList<Frame> m_fresh;
    QList<TuioBundle> m_bundles;
    QList<int> m_cursors;
    QMap<int, int> m_tuio2Types;
};

class ObjectsEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(s.start()) << "the service did not start on the simulator";
        ASSERT_TRUE(s.listen());
    }
    void TearDown() override
    {
        const TuioStreamFacts facts = checkTuioStream(s.bundles());
        EXPECT_TRUE(facts.violations.isEmpty()) << qPrintable(facts.violations.join('\n'));
    }
    void recognition(int orSpec)
    {
        ASSERT_EQ(s.act("touches", QJsonObject{ { "or-spec", orSpec } })["or-spec"], orSpec);
    }
    // The session id of the first object of this class that a frame shows (0: none in time).
    int seen(int classId, int timeoutMs = 5000)
    {
        int id = 0;
        s.until([&] {
            for (const Frame& f : s.take()) {
                for (auto it = f.classes.begin(); it != f.classes.end() && !id; ++it)
                    id = it.value() == classId ? it.key() : 0;
            }
            return id != 0;
        }, timeoutMs);
        return id;
    }
    ObjectSession s;
};

} // namespace

TEST_F(ObjectsEndToEnd, TriangleRecognisedLockedMovedAndLifted)
{
    recognition(1);
    EXPECT_EQ(s.orConf({ "time-lock", "600" }), "time-lock: 600ms");
    EXPECT_EQ(s.orConf({ "idle", "8" }), "idle: 8");
    ASSERT_TRUE(s.tool({ "--device", kVasta, "--tuio", "report-locked", "true" }).contains(kVasta));

    QElapsedTimer placed; // started before the feet are down: it can only run ahead
    placed.start();
    ASSERT_TRUE(s.sim({ "object", kVasta, "tri", "203", "2000", "1500", "30" }));
    // Recognised at once (the touch stream shows it with its three feet), sent once locked.
    QJsonValue triangle;
    ASSERT_TRUE(s.until([&] { return (triangle = s.act("touches")["entities"][0]).isObject(); }));
    EXPECT_EQ(triangle["type"], 2);
    EXPECT_EQ(triangle["identifier"].toInt() / 1000, 203);
    EXPECT_EQ(triangle["nested_entities"].toArray().size(), 3);
    EXPECT_EQ(triangle["nested_entities"][0]["type"], 1);
    const int id = seen(203);
    ASSERT_NE(id, 0);
    EXPECT_GE(placed.elapsed(), 598) << "sent before the time-lock passed (whole ms on both clocks)";
    EXPECT_EQ(id, triangle["identifier"].toInt());
    EXPECT_EQ(s.typeOf(id), 203) << "TUIO 2.0 type of the object";
    EXPECT_NEAR(s.frames().last().positions.value(id).x(), 2000 / kSensor, 0.001);

    ASSERT_TRUE(s.sim({ "object", kVasta, "tri", "203", "2600", "1800", "30" }));
    ASSERT_TRUE(s.until([&] {
        const QList<Frame> fresh = s.take();
        return !fresh.isEmpty() && std::abs(fresh.last().positions.value(id).x() - 2600 / kSensor) < 0.001;
    })) << "moved under the same identifier";

    ASSERT_TRUE(s.sim({ "lift", kVasta, "tri" }));
    (void)s.take();
    ASSERT_TRUE(s.until([&] { return !s.frames().isEmpty() && s.frames().last().classes.isEmpty(); }));
    int lingering = 0;
    for (const Frame& f : s.take())
        lingering += f.classes.contains(id) ? 1 : 0;
    EXPECT_GE(lingering, 6) << "kept for the keep-alive count of 8 polls";
    EXPECT_LE(lingering, 9);
}

TEST_F(ObjectsEndToEnd, QuadsOfBothOrSpecs)
{
    recognition(1);
    ASSERT_TRUE(s.sim({ "object", kVasta, "q", "301", "1500", "1500", "75" }));
    const int quad = seen(301);
    EXPECT_NE(quad, 0);
    EXPECT_EQ(s.typeOf(quad), 301);
    ASSERT_TRUE(s.sim({ "lift", kVasta, "all" }));

    recognition(2);
    ASSERT_TRUE(s.sim({ "object", kVasta, "centre", "509", "1200", "1200", "200" }));
    ASSERT_TRUE(s.sim({ "object", kVasta, "opposite", "516", "3000", "2800", "10" }));
    EXPECT_NE(seen(509), 0);
    const int opposite = seen(516);
    EXPECT_NE(opposite, 0);
    EXPECT_EQ(s.typeOf(opposite), 516);
    const QJsonValue json = s.act("touches")["entities"][1];
    EXPECT_EQ(json["type"], 5);
    EXPECT_EQ(json["nested_entities"][0]["nested_entities"].toArray().size(), 3) << "its triangle's feet";
}

TEST_F(ObjectsEndToEnd, StrayFingerInsideALockedObjectIsRejected)
{
    recognition(1);
    EXPECT_EQ(s.orConf({ "time-lock", "200" }), "time-lock: 200ms");
    EXPECT_EQ(s.orConf({ "point-rejection", "100" }), "point-rejection: 100% of radius");
    ASSERT_TRUE(s.sim({ "object", kVasta, "tri", "204", "2000", "2000" }));
    ASSERT_NE(seen(204), 0);
    QTest::qWait(400); // locked now
    ASSERT_TRUE(s.sim({ "touch", kVasta, "5", "2010", "1990" })); // inside
    ASSERT_TRUE(s.sim({ "touch", kVasta, "6", "3500", "3500" })); // far off
    (void)s.take();
    ASSERT_TRUE(s.until([&] { return !s.take().isEmpty() && s.frames().last().cursors.size() == 1; }));
    QList<Frame> later;
    ASSERT_TRUE(s.until([&] { later += s.take(); return later.size() >= 10; }));
    for (const Frame& f : later)
        EXPECT_EQ(f.cursors.size(), 1) << "only the finger outside";

    EXPECT_EQ(s.orConf({ "point-rejection", "0" }), "point-rejection: 0% of radius");
    ASSERT_TRUE(s.until([&] { const QList<Frame> f = s.take(); return !f.isEmpty() && f.last().cursors.size() == 2; }))
        << "without rejection the finger inside is a finger";
}

TEST_F(ObjectsEndToEnd, OrConfRepliesAndTheirStoreOverARestart)
{
    EXPECT_EQ(s.orConf({ "base-diff", "5" }), "Object recognition is disabled");
    recognition(2);
    EXPECT_EQ(s.orConf({}), "Invalid arguments");
    EXPECT_EQ(s.orConf({ "angle-range", "201", "200", "100" }), "angle-range: 201 (100, 200) degrees");
    EXPECT_EQ(s.orConf({ "angle-range", "999" }), "angle-range not supported for this type");
    EXPECT_EQ(s.orConf({ "point-rejection", "5" }), "point-rejection: 5% of radius");
    EXPECT_EQ(s.orConf({ "idle", "x" }), "Invalid parameter");
    (void)s.act("or_conf", QJsonObject{ { "max-distance-v2", 1700 } });

    s.stop();
    ASSERT_TRUE(s.start());
    EXPECT_EQ(s.orConf({ "angle-range", "201" }), "angle-range: 201 (100, 200) degrees");
    EXPECT_EQ(s.orConf({ "idle" }), "idle: 3");
    EXPECT_EQ(s.act("or_conf")["point-rejection"], 5);
    EXPECT_EQ(s.orConf({ "max-distance" }), "max-distance: 1700");
    EXPECT_EQ(s.orConf({ "default" }), "Default parameters applied");
    EXPECT_EQ(s.orConf({ "max-distance" }), "max-distance: 1500");
}

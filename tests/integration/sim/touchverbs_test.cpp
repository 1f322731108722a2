// corvane-sim playing touches: a script from a file, fingers and pens put
// down and lifted from its command line, all read back as the touch and pen
// input reports a host reads.
#include "../../unit/sim/qstringprinter.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

constexpr int WaitMs = 5000;
const QString Sim = QStringLiteral(CORVANE_BIN_DIR "/corvane-sim");

struct CliRun {
    int exitCode = -1;
    QString out;
    QString err;
};

class TouchVerbs : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QProcess sim;
    QLocalSocket handle;

    QString socket() const { return dir.path() + "/sim.sock"; }
    void SetUp() override
    {
        QFile script(dir.path() + "/strokes.txt");
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("# a finger that stays, a pen with its eraser\nloop 0\n"
                     "finger 9 0 100000 111 222 pressure=333\npen 12 0 100000 40 50 eraser=1 color=139\n");
        script.close();
        QFile bad(dir.path() + "/bad.txt");
        ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
        bad.write("finger 1 0 10 1 1\npen 5 0 10 1 1\n");
        bad.close();
        sim.start(Sim, {"--socket", socket(), "--device", "vasta:0200000001A3:2.005,timeline=" + dir.path() + "/strokes.txt",
                        "--device", "lyn:0400000000B1:2.005,timeline=off"});
        ASSERT_TRUE(sim.waitForStarted(WaitMs));
        QDeadlineTimer deadline(WaitMs);
        while (!QFile::exists(socket()) && !deadline.hasExpired())
            sim.waitForFinished(20);
        ASSERT_TRUE(QFile::exists(socket()));
    }
    void TearDown() override
    {
        sim.terminate();
        sim.waitForFinished(WaitMs);
    }
    CliRun cli(const QStringList& words)
    {
        QProcess p;
        p.start(Sim, QStringList{"--socket", socket()} + words);
        p.waitForFinished(WaitMs);
        return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()).trimmed(),
                QString::fromUtf8(p.readAllStandardError()).trimmed()};
    }
    QString request(const QByteArray& line)
    {
        handle.write(line + '\n');
        handle.flush();
        QDeadlineTimer deadline(WaitMs);
        while (!handle.canReadLine() && !deadline.hasExpired())
            handle.waitForReadyRead(50);
        return QString::fromUtf8(handle.readLine()).trimmed();
    }
    QByteArray input(const QByteArray& path, int id, int length)
    {
        if (handle.state() != QLocalSocket::ConnectedState) {
            handle.connectToServer(socket());
            EXPECT_TRUE(handle.waitForConnected(WaitMs));
            EXPECT_EQ(request("open " + path), "ok");
        }
        const QString answer = request("getinput " + QByteArray::number(id) + ' ' + QByteArray::number(length));
        EXPECT_TRUE(answer.startsWith("ok ")) << answer.toStdString();
        return QByteArray::fromHex(answer.mid(3).toLatin1());
    }
};

quint16 le16(const QByteArray& b, int at)
{
    return quint16(quint8(b[at]) | (quint8(b[at + 1]) << 8));
}

} // namespace

TEST_F(TouchVerbs, ScriptFromFileServedAsTouchAndPenReports)
{
    const QByteArray first = input("sim#vid_3c2e&pid_0002#0200000001a3#hid", 13, 64);
    ASSERT_EQ(first.size(), 64);
    EXPECT_EQ(quint8(first[0]), 13);
    EXPECT_EQ(quint8(first[61]), 1);
    EXPECT_EQ(quint8(first[62]), 3) << "pens waiting";
    EXPECT_EQ(quint8(first[2]), 9);
    EXPECT_EQ(le16(first, 3), 111);
    EXPECT_EQ(le16(first, 5), 222);
    EXPECT_EQ(le16(first, 9), 333);
    const QByteArray pens = input("", 14, 53);
    ASSERT_EQ(pens.size(), 53);
    EXPECT_EQ(quint8(pens[0]), 14);
    EXPECT_EQ(quint8(pens[1]), 12);
    EXPECT_EQ(quint8(pens[2]), 0x08);
    EXPECT_EQ(le16(pens, 3), 40);
    EXPECT_EQ(quint8(pens[13]), 139);
    EXPECT_EQ(quint8(pens[14]), 0) << "one pen only";
}

TEST_F(TouchVerbs, FingersAndPensFromTheCommandLine)
{
    struct Case {
        QStringList words;
        int exit;
        QString text;
    };
    for (const Case& c : {
             Case{{"touch", "0400000000B1", "3", "100", "200"}, 0, "ok"},
             Case{{"touch", "0400000000B1", "3", "150", "250", "900"}, 0, "ok"},
             Case{{"touch", "0400000000B1", "4", "300", "400"}, 0, "ok"},
             Case{{"pen", "0400000000B1", "127", "5", "6"}, 0, "ok"},
             Case{{"touch", "0400000000B1", "255", "1", "1"}, 1, "error usage: touch SERIAL ID X Y [PRESSURE] (ID 0..254"},
             Case{{"pen", "0400000000B1", "9", "1", "1"}, 1, "error usage: pen SERIAL ID X Y [PRESSURE] (ID 10..127"},
             Case{{"touch", "0400000000B1", "1", "1", "70000"}, 1, "error usage:"},
             Case{{"touch", "0400000000ZZ", "1", "1", "1"}, 1, "error no controller with serial 0400000000ZZ"},
             Case{{"touch", "0400000000B1", "1", "1"}, 2, "corvane-sim: usage: corvane-sim --socket PATH touch SERIAL ID X Y [PRESSURE]"},
             Case{{"lift", "0400000000B1", "4"}, 0, "ok"},
             Case{{"lift", "0400000000B1", "4"}, 1, "error nothing placed as 4"},
             Case{{"lift", "0400000000B1", "someone"}, 1, "error nothing placed as someone"},
         }) {
        const CliRun run = cli(c.words);
        EXPECT_EQ(run.exitCode, c.exit) << c.words.join(' ').toStdString();
        EXPECT_TRUE((run.out + run.err).startsWith(c.text)) << c.words.join(' ').toStdString() << ": " << (run.out + run.err).toStdString();
    }
    const QByteArray report = input("sim#vid_3c2e&pid_0004#0400000000b1#hid", 13, 64);
    EXPECT_EQ(quint8(report[61]), 1);
    EXPECT_EQ(quint8(report[2]), 3);
    EXPECT_EQ(le16(report, 3), 150) << "moved";
    EXPECT_EQ(le16(report, 9), 900);
    EXPECT_EQ(quint8(input("", 14, 53)[1]), 127);
    EXPECT_EQ(cli({"get", "0400000000B1", "tccount"}).out, "ok 1");

    EXPECT_EQ(cli({"lift", "0400000000B1", "all"}).exitCode, 0);
    const QByteArray quiet = input("", 13, 64);
    EXPECT_EQ(quint8(quiet[61]), 0);
    EXPECT_EQ(quint8(quiet[62]), 1);
}

TEST_F(TouchVerbs, ScriptThatDoesNotParseRefusesThePlug)
{
    const CliRun run = cli({"plug", "twinpoint:0C00000002B7:2.005,timeline=" + dir.path() + "/bad.txt"});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.err.contains("timeline line 2: pen id must be 10..127")) << run.err.toStdString();
    const CliRun missing = cli({"plug", "twinpoint:0C00000002B7:2.005,timeline=" + dir.path() + "/none.txt"});
    EXPECT_TRUE(missing.err.contains("cannot read timeline")) << missing.err.toStdString();
    EXPECT_EQ(cli({"plug", "twinpoint:0C00000002B7:2.005,timeline=off"}).exitCode, 0);
}

TEST_F(TouchVerbs, ObjectsPlacedMovedAndLiftedByName)
{
    const QString lyn = "0400000000B1";
    for (const CliRun& c : {
             CliRun{0, "ok", "touch 131 50 60"}, CliRun{0, "ok", "object puck 203 1000 1000"},
             CliRun{0, "ok", "object puck 203 1200 1100 90"}, CliRun{0, "ok", "object quad 516 3000 3000 -45"},
             CliRun{1, "error usage: object SERIAL NAME CLASS X Y", "object 17 203 1000 1000"},
             CliRun{1, "error usage:", "object all 203 1000 1000"}, CliRun{1, "error usage:", "object x 205 1000 1000"},
             CliRun{1, "error usage:", "object x 203 1000 1000 east"},
             CliRun{1, "error object x would stand off the sensor", "object x 203 10 10"},
             CliRun{0, "ok", "lift puck"}, CliRun{1, "error nothing placed as puck", "lift puck"},
         }) {
        QStringList words = c.err.split(' ');
        words.insert(1, lyn);
        const CliRun run = cli(words);
        EXPECT_EQ(run.exitCode, c.exitCode) << c.err.toStdString();
        EXPECT_TRUE((run.out + run.err).startsWith(c.out)) << c.err.toStdString() << ": " << (run.out + run.err).toStdString();
    }
    // The finger 131 and the quad's feet, which skipped the finger's id.
    const QByteArray report = input("sim#vid_3c2e&pid_0004#0400000000b1#hid", 13, 64);
    ASSERT_EQ(quint8(report[61]), 5);
    EXPECT_EQ(quint8(report[2]), 131);
    EXPECT_EQ(quint8(report[12]), 132);
    EXPECT_EQ(quint8(report[42]), 135);
}

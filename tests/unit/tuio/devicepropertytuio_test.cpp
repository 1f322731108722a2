#include "touch/devicepropertytouches.h"
#include "touch/touchentity.h"
#include "tuio/devicepropertytuio.h"
#include "tuio/tuio1client.h"

#include "../touch/touchrig.h"
#include "oscread.h"

#include <QJsonArray>
#include <QSettings>
#include <QTest>
#include <QUdpSocket>
#include <gtest/gtest.h>

namespace
{

// A UDP receiver on loopback that keeps every datagram.
struct Receiver {
    QUdpSocket socket;
    QList<QByteArray> datagrams;
    Receiver() { EXPECT_TRUE(socket.bind(QHostAddress(QHostAddress::LocalHost), 0)); }
    quint16 port() const { return socket.localPort(); }
    QString endpoint() const { return QStringLiteral("127.0.0.1:%1").arg(port()); }
    void drain()
    {
        while (socket.hasPendingDatagrams()) {
            QByteArray datagram(int(socket.pendingDatagramSize()), '\0');
            socket.readDatagram(datagram.data(), datagram.size());
            datagrams.append(datagram);
        }
    }
    // Addresses of the messages received so far, bundle by bundle.
    QList<OscBundle> bundles()
    {
        drain();
        QList<OscBundle> list;
        for (const QByteArray& d : datagrams)
            list.append(readBundle(d));
        return list;
    }
};

struct TuioProperty : ::testing::Test {
    std::unique_ptr<TouchRig> rig;
    DevicePropertyTuio* tuio = nullptr;
    DevicePropertyTouches* touches = nullptr;

    void SetUp() override
    {
        QSettings(QStringLiteral("Corvane"), QStringLiteral("CorvaneService")).clear();
        rig = std::make_unique<TouchRig>();
        tuio = rig->entity<DevicePropertyTuio>(QStringLiteral("tuio"));
        touches = rig->entity<DevicePropertyTouches>(QStringLiteral("touches"));
        ASSERT_TRUE(tuio && touches);
    }
    QString run(const QStringList& words)
    {
        CVNEntityContext context;
        context.arguments = words;
        return tuio->execute(context);
    }
};

} // namespace

TEST_F(TuioProperty, CommandTexts)
{
    struct Case {
        QStringList words;
        QString answer;
    };
    for (const Case& c : {
             Case { {}, "No addresses in tuio list" },
             Case { { "report-locked" }, "report locked: false" },
             Case { { "report-locked", "YES" }, "" },
             Case { { "report-locked" }, "report locked: true" },
             Case { { "report-locked", "maybe" }, "Invalid argument" },
             Case { { "report-locked", "0" }, "" },
             Case { { "report-locked" }, "report locked: false" },
             Case { { "start", "10.0.0.5:0" }, "No valid ip address" },
             Case { { "start", "10.0.0.5" }, "Invalid arguments" },
             Case { { "start", "10.0.0.5:3333", "nohost:1" }, "Invalid arguments" },
             Case { { "start", "10.0.0.5:70000" }, "Invalid arguments" },
             Case { { "begin", "10.0.0.5:3333" }, "Invalid arguments" },
             Case { {}, "No addresses in tuio list" },
             Case { { "start", "127.0.0.1:3333" }, "Has started 127.0.0.1:3333 ip address to tuio client" },
             Case { { "start", "127.0.0.1:3333", "127.0.0.2:3334", "127.0.0.3:0" },
                 "Has started 127.0.0.1:3333 127.0.0.2:3334 127.0.0.3:0 ip addresses to tuio client" },
             Case { { "status" }, "\nActive addresses\n1. 127.0.0.1:3333\n2. 127.0.0.2:3334\n" },
             Case { { "stop", "127.0.0.9:1" }, "Was stopped 127.0.0.9:1 ip address from tuio client" },
             Case { { "stop", "127.0.0.1:3333", "127.0.0.2:3334" },
                 "Was stopped 127.0.0.1:3333 127.0.0.2:3334 ip addresses from tuio client" },
         }) {
        EXPECT_EQ(run(c.words), c.answer) << qPrintable(c.words.join(' '));
    }
    EXPECT_TRUE(tuio->receivers().isEmpty());
    EXPECT_FALSE(touches->isPolling()) << "the last receiver gone, the stream stops";
}

TEST_F(TuioProperty, JsonValueWriteAndSettings)
{
    tuio->setValue(QJsonObject{ { "start", QJsonObject{ { "ip", "127.0.0.1" }, { "port", 4444 } } } });
    tuio->setValue(QJsonObject{ { "start", QJsonObject{ { "ip", "not an address" }, { "port", 1 } } } });
    tuio->setValue(QJsonObject{ { "start", QJsonObject{ { "ip", "127.0.0.2" }, { "port", 0 } } } });
    tuio->setValue(QJsonObject{ { "start", QJsonObject{ { "ip", "127.0.0.3" }, { "port", 5555 } } }, { "report_locked", true } });
    EXPECT_TRUE(touches->isPolling());
    const QJsonObject expected{ { "address",
                                    QJsonArray{ QJsonObject{ { "ip", "127.0.0.1" }, { "port", 4444 } },
                                        QJsonObject{ { "ip", "127.0.0.3" }, { "port", 5555 } } } },
        { "report_locked", true } };
    EXPECT_EQ(tuio->value().toObject(), expected);
    tuio->setValue(QJsonObject{ { "stop", QJsonObject{ { "ip", "127.0.0.3" }, { "port", 5555 } } } });
    EXPECT_EQ(tuio->receivers().size(), 1);

    // What was stored comes back with a new interface, started.
    rig.reset();
    TouchRig again;
    QSettings settings(QStringLiteral("Corvane"), QStringLiteral("CorvaneService"));
    settings.beginGroup(QStringLiteral("ApplicationServer"));
    EXPECT_EQ(settings.value("devices/0200000001A3/tuio/addresses").toStringList(), QStringList({ "127.0.0.1:4444" }));
    again.iface->loadSettings(settings);
    auto* loaded = again.entity<DevicePropertyTuio>(QStringLiteral("tuio"));
    EXPECT_EQ(loaded->value().toObject(), QJsonObject({ { "address", QJsonArray{ QJsonObject{ { "ip", "127.0.0.1" }, { "port", 4444 } } } }, { "report_locked", true } }));
    EXPECT_TRUE(again.entity<DevicePropertyTouches>(QStringLiteral("touches"))->isPolling());

    // A single text counts as a one-element list; bad entries start nothing.
    settings.setValue("devices/0200000001A3/tuio/addresses", "127.0.0.7:7777");
    TouchRig single;
    single.iface->loadSettings(settings);
    EXPECT_EQ(single.entity<DevicePropertyTuio>(QStringLiteral("tuio"))->receivers().size(), 1);
    settings.setValue("devices/0200000001A3/tuio/addresses", QStringList({ "garbage", "127.0.0.1", "127.0.0.1:99999" }));
    TouchRig bad;
    bad.iface->loadSettings(settings);
    EXPECT_TRUE(bad.entity<DevicePropertyTuio>(QStringLiteral("tuio"))->receivers().isEmpty());
}

TEST_F(TuioProperty, FramesToEveryReceiverIdleOnStopAndUnreachableCostsNothing)
{
    Receiver near;
    Receiver other;
    QUdpSocket closed;
    ASSERT_TRUE(closed.bind(QHostAddress(QHostAddress::LocalHost), 0));
    const quint16 closedPort = closed.localPort();
    closed.close(); // nobody listens there
    rig->surface().putFinger(3, 2048, 1024, 500);
    ASSERT_EQ(run({ "start", near.endpoint(), other.endpoint(), QStringLiteral("127.0.0.1:%1").arg(closedPort) }).left(12), "Has started ");
    QTRY_VERIFY_WITH_TIMEOUT(near.bundles().size() >= 9, 5000);
    QList<OscBundle> bundles = near.bundles();
    // Per poll: the cursor bundle, the object bundle, the TUIO 2.0 bundle.
    ASSERT_TRUE(bundles[0].ok && bundles[1].ok && bundles[2].ok);
    EXPECT_EQ(bundles[0].messages[0].arguments, QVariantList({ "source", "Vasta 0200000001A3" }));
    EXPECT_EQ(bundles[0].messages[1].arguments, QVariantList({ "alive", 101001 }));
    EXPECT_EQ(bundles[0].messages[2].arguments[2].toFloat(), 2048.0f / 4095.0f);
    EXPECT_EQ(bundles[1].messages[1].address, "/tuio/2Dobj");
    EXPECT_EQ(bundles[2].messages[0].address, "/tuio2/frm");
    EXPECT_EQ(bundles[2].messages[1].arguments[0], 101001);
    EXPECT_EQ(bundles[3].messages.last().arguments, QVariantList({ "fseq", 2 }));
    QTRY_VERIFY_WITH_TIMEOUT(other.bundles().size() >= 9, 5000);

    // Stopping one receiver sends it the idle frames alone.
    const int before = near.bundles().size();
    other.bundles();
    const int otherBefore = other.datagrams.size();
    run({ "stop", near.endpoint() });
    const QList<OscBundle> after = near.bundles().mid(before);
    ASSERT_EQ(after.size(), 3);
    EXPECT_EQ(after[0].messages[1].arguments, QVariantList({ "alive" }));
    EXPECT_EQ(after[1].messages[1].arguments, QVariantList({ "alive" }));
    EXPECT_EQ(after[2].messages[0].arguments[0], 0) << "frame id 0";
    EXPECT_EQ(after[2].messages[1].types, "");
    QTRY_VERIFY_WITH_TIMEOUT(other.bundles().size() > otherBefore + 3, 5000);
    QTest::qWait(100);
    EXPECT_EQ(near.bundles().size(), before + 3) << "nothing more to a stopped receiver";
}

TEST_F(TuioProperty, ReportLockedSendsOnlyLockedTouches)
{
    Receiver receiver;
    run({ "report-locked", "true" });
    rig->surface().putFinger(3, 100, 100, 500);
    run({ "start", receiver.endpoint() });
    QTRY_VERIFY_WITH_TIMEOUT(receiver.bundles().size() >= 6, 5000);
    for (const OscBundle& b : receiver.bundles()) {
        if (b.messages.first().address == "/tuio/2Dcur")
            EXPECT_EQ(b.messages[1].arguments, QVariantList({ "alive" })) << "not locked within the first second";
    }
    // A lock forced on the finger lets it through.
    ASSERT_EQ(touches->tracker().entities().size(), 1);
    touches->tracker().entities()[0]->setLockForced(true);
    QTRY_VERIFY_WITH_TIMEOUT(receiver.bundles().constLast().messages.size() > 2
            && receiver.bundles().constLast().messages[1].arguments.value(0) == 101001,
        5000);
}

TEST(TuioClient, IdleFrameHalfASecondAfterTheLastTouchAndAtTheEnd)
{
    Receiver receiver;
    auto client = std::make_unique<Tuio1Client>();
    client->setSource(QStringLiteral("src"));
    client->addReceiver(QHostAddress::LocalHost, receiver.port());
    CVNRawContact record;
    record.id = 1;
    TouchPointer finger(record, nullptr);
    client->sendFrame({ &finger }, false, 0);
    QTRY_VERIFY_WITH_TIMEOUT(receiver.bundles().size() == 2, 2000);
    QTRY_VERIFY_WITH_TIMEOUT(receiver.bundles().size() == 4, 2000);
    const QList<OscBundle> bundles = receiver.bundles();
    EXPECT_EQ(bundles[2].messages[1].arguments, QVariantList({ "alive" }));
    EXPECT_EQ(bundles[2].messages[2].arguments, QVariantList({ "fseq", 1 })) << "the idle frame keeps the counter";
    client->sendFrame({}, false, 0);
    QTRY_VERIFY_WITH_TIMEOUT(receiver.bundles().size() == 6, 2000);
    EXPECT_EQ(receiver.bundles()[5].messages[2].arguments, QVariantList({ "fseq", 2 })) << "counted even when idle";
    client.reset();
    QTRY_VERIFY_WITH_TIMEOUT(receiver.bundles().size() == 8, 2000);
}

// The simulator's bulk function on its own: setup keys, packets taken and
// offered, request records performed on the register table with typed
// replies, several records in one message, and the metadata answers.
#include "bulkcontroller.h"
#include "bulkpackets.h"
#include "controllersetup.h"
#include "registercatalog.h"
#include "virtualcontroller.h"

#include "qstringprinter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace corvanesim;

namespace {

QByteArray text(const char* t)
{
    return QByteArray(t) + '\0';
}

QByteArray u32(quint32 v)
{
    QByteArray b;
    for (int i = 0; i < 4; ++i)
        b.append(char((v >> (8 * i)) & 0xFF));
    return b;
}

// A request record as a host writes it; `rest` follows the name.
QByteArray record(quint8 type, quint32 id, const char* name, const QByteArray& rest = {})
{
    return QByteArray(1, char(type)) + u32(id) + text(name) + rest;
}

QByteArray callArguments(const QList<const char*>& words)
{
    QByteArray b = u32(quint32(words.size()));
    for (const char* w : words)
        b += QByteArray(1, char(bulktag::Text)) + text(w);
    return b;
}

std::unique_ptr<CVNVirtualController> controller(const QString& setupText)
{
    ControllerSetup setup;
    QString error;
    EXPECT_TRUE(parseControllerSetup(setupText, &setup, &error)) << qPrintable(error);
    return CVNVirtualController::create(setup, &error);
}

// The metadata answer to a call with these words, as JSON.
QJsonObject metadata(CVNVirtualController* c, const QList<const char*>& words, QString* error = nullptr)
{
    const QByteArray packet = bulkPackets(record(bulkrecord::Call, 1, "metadata", callArguments(words))).first();
    EXPECT_EQ(c->bulkWrite(CVNBulkController::OutEndpoint, packet).status, TransferResult::Status::Ok);
    QByteArray answer;
    TransferResult r;
    while ((r = c->bulkRead(CVNBulkController::InEndpoint, BulkLargestPacket)).status == TransferResult::Status::Ok) {
        const int left = quint8(r.data[0]) | (quint8(r.data[1]) << 8);
        answer += r.data.mid(2, left);
    }
    const QByteArray head = record(bulkrecord::Call, 1, "metadata");
    if (answer.startsWith(QByteArray(1, char(bulkrecord::Error)) + u32(1))) {
        if (error)
            *error = QString::fromLatin1(answer.mid(head.size()).chopped(1));
        return {};
    }
    EXPECT_TRUE(answer.startsWith(head + char(bulktag::Text)));
    return QJsonDocument::fromJson(answer.mid(head.size() + 1).chopped(1)).object();
}

} // namespace

TEST(BulkSetup, BulkOnlyAndOwnEntities)
{
    struct Case {
        const char* text;
        bool ok;
        QStringList suffixes;
        bool own;
    };
    const QList<Case> cases = {
        { "vasta:0200000001A3:2.005,bulk=only", true, { "#bulk" }, false },
        { "vasta:0200000001A3:2.005,bulk=only,paths=2", true, { "#bulk" }, false },
        { "4660:1234000000A1:1.000,bulk=only,entities=own", true, { "#bulk" }, true },
        { "vasta:0200000001A3:2.005,entities=product", true, { "#hid" }, false },
        { "vasta:0200000001A3:2.005,entities=mine", false, {}, false },
        { "vasta:0200000001A3:2.005,bulk=ONLY", false, {}, false },
    };
    for (const Case& c : cases) {
        ControllerSetup setup;
        QString error;
        ASSERT_EQ(parseControllerSetup(c.text, &setup, &error), c.ok) << c.text;
        if (!c.ok) {
            EXPECT_FALSE(error.isEmpty());
            continue;
        }
        EXPECT_TRUE(setup.presets.isEmpty()) << c.text;
        auto v = CVNVirtualController::create(setup, &error);
        ASSERT_TRUE(v);
        QStringList suffixes;
        for (const UsbInterface& i : v->interfaces())
            suffixes.append(i.path.mid(i.path.lastIndexOf('#')));
        EXPECT_EQ(suffixes, c.suffixes) << c.text;
        EXPECT_EQ(v->registers().has("tscale"), c.own) << c.text;
        EXPECT_TRUE(v->registers().has("gain")) << c.text;
    }
}

TEST(BulkSim, RecordsOfOneMessageAreAnsweredInOneMessageWithTypedValues)
{
    auto c = controller("vasta:0200000001A3:2.005,bulk=only");
    QStringList traffic;
    c->setTrafficSink([&traffic](const QString& line) { traffic.append(line); });
    const QByteArray request = record(bulkrecord::Get, 1, "thbound")
        + record(bulkrecord::Set, 2, "cfo", QByteArray::fromHex("830300000006010000000602000000803300"))
        + record(bulkrecord::Set, 3, "gain", QByteArray::fromHex("0609000000"))
        + record(bulkrecord::Call, 4, "ssave", u32(0)) + QByteArray(2, '\0'); // zero bytes end the records
    const QByteArray expected = record(bulkrecord::Get, 1, "thbound", QByteArray::fromHex("0e0a000000c8000000"))
        + record(bulkrecord::Set, 2, "cfo", QByteArray::fromHex("8303000000060100000006020000000603000000"))
        + record(bulkrecord::Error, 3, "gain", text("error: out of range"))
        + record(bulkrecord::Call, 4, "ssave", QByteArray(1, char(bulktag::Text)) + text("ok"));

    for (const QByteArray& p : bulkPackets(request))
        ASSERT_EQ(c->bulkWrite(CVNBulkController::OutEndpoint, p).status, TransferResult::Status::Ok);
    QByteArray answer;
    for (const QByteArray& p : bulkPackets(expected)) {
        const TransferResult r = c->bulkRead(CVNBulkController::InEndpoint, p.size());
        ASSERT_EQ(r.status, TransferResult::Status::Ok);
        answer += r.data;
    }
    QByteArray wanted;
    for (const QByteArray& p : bulkPackets(expected))
        wanted += p;
    EXPECT_EQ(QString::fromLatin1(answer.toHex()), QString::fromLatin1(wanted.toHex()));
    EXPECT_EQ(c->bulkRead(CVNBulkController::InEndpoint, BulkLargestPacket).status, TransferResult::Status::Fail);
    EXPECT_EQ(traffic, (QStringList { "0200000001A3 thbound  -> 10 200", "0200000001A3 cfo 1 2 3 -> 1 2 3",
                           "0200000001A3 gain 9 -> error: out of range", "0200000001A3 ssave  -> ok" }));
}

TEST(BulkSim, PipesRefuseWhatDoesNotFit)
{
    auto c = controller("vasta:0200000001A3:2.005,bulk=1");
    const QByteArray request = bulkPackets(record(bulkrecord::Get, 1, "th")).first();
    // The wrong pipe, a packet of the wrong length, nothing waiting.
    EXPECT_EQ(c->bulkWrite(CVNBulkController::InEndpoint, request).status, TransferResult::Status::Fail);
    EXPECT_EQ(c->bulkWrite(CVNBulkController::OutEndpoint, request.left(40)).status, TransferResult::Status::Fail);
    EXPECT_EQ(c->bulkRead(CVNBulkController::InEndpoint, 64).status, TransferResult::Status::Fail);
    // A read too short for the waiting packet leaves it waiting.
    ASSERT_EQ(c->bulkWrite(CVNBulkController::OutEndpoint, request).status, TransferResult::Status::Ok);
    EXPECT_EQ(c->bulkRead(CVNBulkController::InEndpoint, 32).status, TransferResult::Status::Fail);
    EXPECT_EQ(c->bulkRead(CVNBulkController::OutEndpoint, 64).status, TransferResult::Status::Fail);
    // A new request replaces the answer not yet read.
    ASSERT_EQ(c->bulkWrite(CVNBulkController::OutEndpoint, bulkPackets(record(bulkrecord::Get, 2, "gain")).first()).status,
        TransferResult::Status::Ok);
    const TransferResult r = c->bulkRead(CVNBulkController::InEndpoint, 64);
    ASSERT_EQ(r.status, TransferResult::Status::Ok);
    EXPECT_EQ(r.data.mid(2, 10), record(bulkrecord::Get, 2, "gain").left(10));
    // A cut record is answered with one error record.
    ASSERT_EQ(c->bulkWrite(CVNBulkController::OutEndpoint, bulkPackets(record(bulkrecord::Set, 3, "th", "\x06\x01")).first()).status,
        TransferResult::Status::Ok);
    const TransferResult cut = c->bulkRead(CVNBulkController::InEndpoint, 64);
    EXPECT_EQ(cut.data.mid(2, 5), QByteArray(1, char(bulkrecord::Error)) + u32(3));
    EXPECT_TRUE(cut.data.contains("error: malformed request (record cut short)"));
    // Faults apply to the pipes as to the reports.
    c->faults().failNext(1);
    EXPECT_EQ(c->bulkWrite(CVNBulkController::OutEndpoint, request).status, TransferResult::Status::Fail);
}

TEST(BulkSim, MetadataDescribesTheControllersOwnWords)
{
    auto c = controller("4660:1234000000A1:1.000,bulk=only,entities=own");
    const QJsonObject all = metadata(c.get(), { "view", "all" });
    EXPECT_EQ(all.value("name").toString(), "all");
    QStringList names;
    for (const QJsonValue& v : all.value("entities").toArray())
        names.append(v.toString());
    EXPECT_EQ(names, c->registers().words());

    EXPECT_EQ(metadata(c.get(), { "tscale" }),
        QJsonDocument::fromJson(R"({"name": "tscale", "type": "float", "command": "tscale", "access_mode": "read_write",
            "description": "Touch size scale", "domain": {"begin": 0, "end": 4}})").object());
    EXPECT_EQ(metadata(c.get(), { "view", "list" }).value("list").toArray(),
        (QJsonArray { "all", "basic", "corvane_link", "tuning" }));

    QString error;
    EXPECT_TRUE(metadata(c.get(), { "view", "nosuch" }, &error).isEmpty());
    EXPECT_EQ(error, "error: unknown view");
    EXPECT_TRUE(metadata(c.get(), { "nosuch" }, &error).isEmpty());
    EXPECT_EQ(error, "error: unknown command");
    EXPECT_TRUE(metadata(c.get(), { "a", "b", "c" }, &error).isEmpty());
    EXPECT_EQ(error, "error: invalid argument");

    // A controller of a known product describes its register table.
    auto vasta = controller("vasta:0200000001A3:2.005,bulk=only");
    EXPECT_EQ(metadata(vasta.get(), { "thbound" }).value("type").toString(), "(int, int)");
}

// The simulated settings flash as a host meets it: block transfers and
// their refusals, and what a reboot brings back from flash.
#include "commandreport.h"
#include "simlimits.h"
#include "virtualcontroller.h"

#include "qstringprinter.h"

#include <gtest/gtest.h>

using namespace corvanesim;

namespace {

std::unique_ptr<CVNVirtualController> controller(const QString& setupText)
{
    ControllerSetup setup;
    QString error;
    EXPECT_TRUE(parseControllerSetup(setupText, &setup, &error)) << error.toStdString();
    return CVNVirtualController::create(setup, &error);
}

// One command: the 64 answer bytes.
QByteArray exchange(CVNVirtualController* c, const QByteArray& word, const QByteArray& value = {})
{
    QByteArray report(CommandReportSize, '\0');
    report[0] = char(CommandReportId);
    report.replace(1, word.size(), word);
    report.replace(9, value.size(), value);
    EXPECT_EQ(c->setFeature(report).status, TransferResult::Status::Ok);
    return c->getFeature(CommandReportId, CommandReportSize).data.mid(9);
}

QString text(CVNVirtualController* c, const QByteArray& word, const QByteArray& value = {})
{
    return fieldText(exchange(c, word, value));
}

}  // namespace

TEST(SettingsFlash, VeilTransfersAndTheirRefusals)
{
    auto vasta = controller("vasta:0200000001A3:2.005,sbl=100,sbk=K1");
    const QList<QPair<QByteArray, QString>> beforeBegin = {
        {"sbg0", "error: no block transfer"}, {"sbs0", "error: no block transfer"}, {"sbl", "100"},
        {"sbk", "K1"}, {"sversion", "2.5"}, {"sbsb0000", "error: unknown command"}, {"sbgx", "error: unknown command"}};
    for (const auto& c : beforeBegin)
        EXPECT_EQ(text(vasta.get(), c.first), c.second) << c.first.constData();

    EXPECT_EQ(text(vasta.get(), "sbb"), "ok");
    EXPECT_TRUE(exchange(vasta.get(), "sbg0").startsWith("gain=3\nth=40\n"));
    for (const char* word : {"sbg2", "sbg01", "sbs2"})
        EXPECT_EQ(text(vasta.get(), word), "error: block out of range") << word;

    // A write needs every block, the controller's key and its length.
    EXPECT_EQ(text(vasta.get(), "sbs0", "th=99\n"), "ok");
    EXPECT_EQ(text(vasta.get(), "sbe", "K1 100"), "error: incomplete configuration");
    const QList<QPair<QByteArray, QString>> closings = {{"K2 100", "error: key mismatch"},
                                                        {"K1 64", "error: length mismatch"},
                                                        {"K1 100", "ok"}};
    for (const auto& c : closings) {
        EXPECT_EQ(text(vasta.get(), "sbb"), "ok");
        EXPECT_EQ(text(vasta.get(), "sbs0", "th=99\n"), "ok");
        EXPECT_EQ(text(vasta.get(), "sbs1", QByteArray(64, '\0')), "ok");
        EXPECT_EQ(text(vasta.get(), "sbe", c.first), c.second) << c.first.constData();
    }
    QString th;
    ASSERT_TRUE(vasta->value("th", &th));
    EXPECT_EQ(th, "99");

    // Lines the controller cannot hold are refused as a whole.
    EXPECT_EQ(text(vasta.get(), "sbb"), "ok");
    EXPECT_EQ(text(vasta.get(), "sbs0", "th=98\ngain=12\n"), "ok");
    EXPECT_EQ(text(vasta.get(), "sbs1", QByteArray(64, '\0')), "ok");
    EXPECT_EQ(text(vasta.get(), "sbe", "K1 100"), "error: invalid configuration");
    ASSERT_TRUE(vasta->value("th", &th));
    EXPECT_EQ(th, "99");
}

TEST(SettingsFlash, RebootBringsBackWhatFlashHolds)
{
    auto vasta = controller("vasta:0200000001A3:2.005,th=70");
    QString th;
    EXPECT_EQ(text(vasta.get(), "dreset"), "ok"); // flash never touched: registers stay
    ASSERT_TRUE(vasta->value("th", &th));
    EXPECT_EQ(th, "70");
    EXPECT_EQ(text(vasta.get(), "ssave"), "ok");
    EXPECT_EQ(text(vasta.get(), "th", "80"), "80");
    EXPECT_EQ(text(vasta.get(), "dreset"), "ok");
    ASSERT_TRUE(vasta->value("th", &th));
    EXPECT_EQ(th, "70");
    EXPECT_EQ(text(vasta.get(), "serase"), "ok");
    EXPECT_EQ(text(vasta.get(), "dreset"), "ok");
    ASSERT_TRUE(vasta->value("th", &th));
    EXPECT_EQ(th, "40");

    // Older firmware has no settings commands at all.
    auto old = controller("vasta:0200000001A3:2.001");
    EXPECT_EQ(text(old.get(), "sbb"), "error: unknown command");
    QString error;
    EXPECT_FALSE(old->preset("sbl", "0", &error));
}

TEST(SettingsFlash, TarsoLoadWaitsThenFinishes)
{
    auto tarso = controller("20:1400000001D1:2.005,sbl=70,swait=1");
    EXPECT_EQ(text(tarso.get(), "sblt0000"), "error: no block transfer");
    EXPECT_EQ(text(tarso.get(), "sbb"), "error: unknown command");
    EXPECT_EQ(text(tarso.get(), "sblb0000"), "ok");
    EXPECT_EQ(text(tarso.get(), "sblw064"), "error: block out of range");
    EXPECT_EQ(text(tarso.get(), "sblw0128"), "error: block out of range");
    EXPECT_EQ(text(tarso.get(), "sblw0000", "gain=6\n"), "ok");
    EXPECT_EQ(text(tarso.get(), "sblt0000"), "Wait");
    EXPECT_EQ(text(tarso.get(), "sblt0000"), "error: incomplete configuration");
    EXPECT_EQ(text(tarso.get(), "sblw0064", QByteArray(64, '\0')), "ok");
    EXPECT_EQ(text(tarso.get(), "sble"), "Wait");
    EXPECT_EQ(text(tarso.get(), "sble"), "Finished");
    EXPECT_EQ(text(tarso.get(), "sble"), "error: no block transfer");
    QString gain;
    ASSERT_TRUE(tarso->value("gain", &gain));
    EXPECT_EQ(gain, "6");
}

// The simulated settings flash's own refusals and what a reboot brings back
// from flash (the transfers themselves are proven through the service).
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

TEST(SettingsFlash, AWriteIsAppliedWholeOrNotAtAll)
{
    auto vasta = controller("vasta:0200000001A3:2.005,sbl=100,sbk=K1");
    EXPECT_EQ(text(vasta.get(), "sbs0"), "error: no block transfer");
    const QList<QPair<QByteArray, QString>> writes = {{"th=98\ngain=12\n", "error: invalid configuration"},
                                                      {"th=98\nnosuchword=1\n", "error: invalid configuration"},
                                                      {"th=99\ngain=5\nth", "ok"}};
    for (const auto& write : writes) {
        EXPECT_EQ(text(vasta.get(), "sbb"), "ok");
        EXPECT_EQ(text(vasta.get(), "sbs0", write.first), "ok");
        EXPECT_EQ(text(vasta.get(), "sbe", "K1 100"), "error: incomplete configuration");
        EXPECT_EQ(text(vasta.get(), "sbb"), "ok");
        EXPECT_EQ(text(vasta.get(), "sbs0", write.first), "ok");
        EXPECT_EQ(text(vasta.get(), "sbs1", QByteArray(64, '\0')), "ok");
        EXPECT_EQ(text(vasta.get(), "sbe", "K1 100"), write.second) << write.first.constData();
    }
    QString th, gain;
    ASSERT_TRUE(vasta->value("th", &th) && vasta->value("gain", &gain));
    EXPECT_EQ(th + ' ' + gain, "99 5");
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

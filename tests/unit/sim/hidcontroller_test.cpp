#include "commandreport.h"
#include "simlimits.h"
#include "virtualcontroller.h"

#include "qstringprinter.h"

#include <gtest/gtest.h>

using namespace corvanesim;

namespace {

QByteArray commandReport(const QByteArray& word, const QByteArray& value = {})
{
    QByteArray report(CommandReportSize, '\0');
    report[0] = char(CommandReportId);
    report.replace(1, qMin(word.size(), CommandWordSize), word.left(CommandWordSize));
    report.replace(9, value.size(), value);
    return report;
}

// One command as the host performs it: set-feature, then get-feature.
QByteArray exchange(CVNVirtualController* c, const QByteArray& word, const QByteArray& value = {})
{
    EXPECT_EQ(c->setFeature(commandReport(word, value)).status, TransferResult::Status::Ok);
    const TransferResult answer = c->getFeature(CommandReportId, CommandReportSize);
    EXPECT_EQ(answer.status, TransferResult::Status::Ok);
    return answer.data;
}

QString answerText(CVNVirtualController* c, const QByteArray& word, const QByteArray& value = {})
{
    return fieldText(exchange(c, word, value).mid(9));
}

// One Vasta whose traffic lines are kept.
struct HidController : ::testing::Test {
    std::unique_ptr<CVNVirtualController> c;
    QStringList lines;
    HidController()
    {
        ControllerSetup setup;
        QString error;
        EXPECT_TRUE(parseControllerSetup(QStringLiteral("vasta:0200000001A3:2.005"), &setup, &error));
        c = CVNVirtualController::create(setup, &error);
        c->setTrafficSink([this](const QString& line) { lines.append(line); });
    }
};

}  // namespace

// Queries, presets, faults and the traffic log are proven through the
// process; here the report layout, read-only words and malformed reports.
TEST_F(HidController, AnswerReportEchoesTheWordAndCarriesZeroPaddedText)
{
    const QByteArray answer = exchange(c.get(), "dserial");
    ASSERT_EQ(answer.size(), CommandReportSize);
    EXPECT_EQ(quint8(answer[0]), CommandReportId);
    EXPECT_EQ(answer.mid(1, 8), QByteArray("dserial\0", 8));
    EXPECT_EQ(answer.mid(9, 12), QByteArray("0200000001A3"));
    EXPECT_EQ(answer.mid(21), QByteArray(CommandReportSize - 21, '\0'));
    // A 64-character value fills the field with no terminating zero.
    const QByteArray longText(64, 'a');
    const QByteArray written = exchange(c.get(), "dmode", longText);
    EXPECT_EQ(written.mid(1, 8), QByteArray("dmode\0\0\0", 8));
    EXPECT_EQ(written.mid(9), longText);
    EXPECT_EQ(exchange(c.get(), "dmode").mid(9), longText);

    EXPECT_EQ(answerText(c.get(), "dmode", "two\nlines"), QStringLiteral("two\nlines"));
    EXPECT_TRUE(answerText(c.get(), "gainmax", "3").contains(QLatin1String("error")));
    EXPECT_EQ(answerText(c.get(), "dreset"), QStringLiteral("ok"));
    EXPECT_EQ(lines.mid(3, 2), (QStringList{"0200000001A3 dmode two.lines -> two.lines",
                                            "0200000001A3 gainmax 3 -> error: read only"}));
}

TEST_F(HidController, MalformedReportsAndFailedTransfersPerformNoCommand)
{
    QByteArray wrongId = commandReport("gain", "6");
    wrongId[0] = 22;
    EXPECT_EQ(c->setFeature(wrongId).status, TransferResult::Status::Fail);
    EXPECT_EQ(c->setFeature(commandReport("gain", "6") + '\0').status, TransferResult::Status::Fail);
    EXPECT_EQ(c->getFeature(99, 10).status, TransferResult::Status::Fail);
    EXPECT_EQ(c->getInput(CommandReportId, CommandReportSize).status, TransferResult::Status::Fail);
    // A short get-feature is cut, a long one zero padded.
    EXPECT_EQ(c->getFeature(CommandReportId, 5).data.size(), 5);
    EXPECT_EQ(c->getInput(TouchInputReportId, 200).data.size(), 200);
    EXPECT_EQ(c->getFeature(TouchInputReportId, 64).status, TransferResult::Status::Fail) << "touches are input reports";

    c->faults().failNext(1);
    EXPECT_EQ(c->setFeature(commandReport("gain", "6")).status, TransferResult::Status::Fail);
    EXPECT_TRUE(lines.isEmpty());
    c->faults().garbageNext(1);
    EXPECT_EQ(c->setFeature(commandReport("gain", "6")).status, TransferResult::Status::Ok) << "garbage spares writes";
    EXPECT_EQ(lines, QStringList{"0200000001A3 gain 6 -> 6"});
}

TEST_F(HidController, ShortAnswersKeepIdWordAndOneByte)
{
    (void)exchange(c.get(), "th", "45");
    c->faults().shortNext(1);
    EXPECT_EQ(c->setFeature(commandReport("th")).status, TransferResult::Status::Ok) << "short spares writes";
    const TransferResult cut = c->getFeature(CommandReportId, CommandReportSize);
    ASSERT_EQ(cut.status, TransferResult::Status::Ok);
    EXPECT_EQ(cut.data, commandReport("th", "4").left(10)) << "a plausible, wrong answer";
    EXPECT_EQ(c->getFeature(CommandReportId, CommandReportSize).data.size(), CommandReportSize);
    c->faults().shortNext(1);
    EXPECT_EQ(c->getInput(TouchInputReportId, TouchInputReportSize).data.size(), 10);
}

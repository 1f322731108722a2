#include "device/hidcommandreport.h"
#include "device/hidtouchreports.h"

#include "fakeusb.h"

#include <gtest/gtest.h>

TEST(HidCommandReport, LayoutAndAnswerCutAt64CharactersWithoutTerminator)
{
    const QByteArray report = CVNHidCommandReport::make(QStringLiteral("th"), QString(80, QLatin1Char('v')));
    ASSERT_EQ(report.size(), 73);
    EXPECT_EQ(static_cast<quint8>(report.at(0)), 21);
    EXPECT_EQ(report.mid(1, 8), QByteArray("th\0\0\0\0\0\0", 8));
    EXPECT_EQ(report.mid(9), QByteArray(64, 'v'));
    EXPECT_EQ(CVNHidCommandReport::make(QStringLiteral("th"), QString()).mid(9), QByteArray(64, '\0')); // a query

    QByteArray answer = CVNHidCommandReport::answerBuffer();
    ASSERT_EQ(answer.size(), 73);
    EXPECT_EQ(static_cast<quint8>(answer.at(0)), 21);
    answer.replace(9, 64, QByteArray(64, 'z'));
    EXPECT_EQ(CVNHidCommandReport::answerText(answer), QString(64, QLatin1Char('z')));
    QByteArray raw(64, '\0');
    raw[3] = 7;
    raw[63] = 9;
    answer.replace(9, 64, raw);
    EXPECT_EQ(CVNHidCommandReport::answerBlock(answer), raw);
    EXPECT_EQ(CVNHidCommandReport::answerBlock(answer.left(20)).size(), 64); // short report, no overrun
}

namespace
{

// One touch input report: id 13, `records` records numbered from `first`,
// the count byte and the flags byte.
QByteArray touchInput(int first, int records, quint8 count, quint8 flags)
{
    QByteArray report(64, '\0');
    report[0] = 13;
    for (int k = 0; k < records; ++k)
        report[1 + 10 * k + 1] = char(first + k);
    report[61] = char(count);
    report[62] = char(flags);
    return report;
}

QByteArray penInput()
{
    QByteArray report(53, '\x5a');
    report[0] = 14;
    return report;
}

} // namespace

TEST_F(HidFixture, TouchFrameReadsCountOverSixPlusOneReports)
{
    struct Case {
        int count;
        int reports;
    };
    for (const Case c : { Case { 0, 1 }, Case { 5, 1 }, Case { 6, 2 }, Case { 7, 2 }, Case { 60, 11 }, Case { 255, 43 } }) {
        controller->inputReports.clear();
        controller->inputIdsAsked.clear();
        controller->inputReports.append(touchInput(1, qMin(6, c.count), quint8(c.count), 1));
        for (int i = 1; i < c.reports; ++i)
            controller->inputReports.append(touchInput(1 + 6 * i, qBound(0, c.count - 6 * i, 6), 0, 1));
        controller->inputReports.append(touchInput(99, 6, 0, 1)); // the next frame, not to be read
        QByteArray block;
        ASSERT_TRUE(CVNHidTouchReports::read(*hid, &block)) << c.count;
        EXPECT_EQ(block.size(), 64 * c.reports) << c.count;
        EXPECT_EQ(controller->inputReports.size(), 1) << c.count;
        EXPECT_EQ(controller->inputIdsAsked, QVector<int>(c.reports, 13).toList()) << c.count;
    }
}

TEST_F(HidFixture, PenReportJoinsAsFiveHundredByteBlock)
{
    controller->inputReports = { touchInput(1, 6, 7, 3), touchInput(7, 1, 0, 1), penInput() };
    QByteArray block;
    ASSERT_TRUE(CVNHidTouchReports::read(*hid, &block));
    ASSERT_EQ(block.size(), 500);
    EXPECT_EQ(controller->inputIdsAsked, QList<int>({ 13, 13, 14 }));
    EXPECT_EQ(block.mid(0, 128), touchInput(1, 6, 7, 3) + touchInput(7, 1, 0, 1));
    EXPECT_EQ(block.mid(128, 320), QByteArray(320, '\0'));
    EXPECT_EQ(block.mid(448), QByteArray(52, '\x5a'));

    // Eight reports leave no room for the pen records: the pen report is not asked for.
    controller->inputIdsAsked.clear();
    controller->inputReports = { touchInput(1, 6, 42, 3) };
    for (int i = 1; i < 8; ++i)
        controller->inputReports.append(touchInput(1 + 6 * i, 6, 0, 1));
    ASSERT_TRUE(CVNHidTouchReports::read(*hid, &block));
    EXPECT_EQ(block.size(), 8 * 64);
    EXPECT_FALSE(controller->inputIdsAsked.contains(14));
}

TEST_F(HidFixture, TouchFrameNotReadWhole)
{
    QByteArray block("untouched");
    controller->inputReports = { touchInput(1, 6, 1, 1) };
    controller->inputReports[0][0] = 9; // not a touch report
    EXPECT_FALSE(CVNHidTouchReports::read(*hid, &block));
    EXPECT_EQ(block, QByteArray("untouched"));
    EXPECT_TRUE(parent->isOpen());

    // The continuation never comes: the frame fails, and only the command
    // channel decides whether the controller is gone.
    controller->inputReports = { touchInput(1, 6, 12, 1) };
    EXPECT_FALSE(CVNHidTouchReports::read(*hid, &block));
    EXPECT_EQ(block, QByteArray("untouched"));
    EXPECT_TRUE(parent->isOpen());
}

TEST(HidTouchReports, AssembleKeepsShortPenReportsOut)
{
    const QByteArray touches = touchInput(1, 2, 2, 3);
    EXPECT_EQ(CVNHidTouchReports::assemble(touches, QByteArray()), touches);
    EXPECT_EQ(CVNHidTouchReports::assemble(touches, penInput().left(20)), touches);
    EXPECT_EQ(CVNHidTouchReports::assemble(touches, penInput()).size(), 500);
}

#include "device/hidcommandreport.h"
#include "device/touchframe.h"

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

QByteArray touchReport(int contacts)
{
    QByteArray report(161, '\0');
    report[0] = 13;
    for (int i = 0; i < contacts; ++i) {
        // identifier, flags, x (2 bytes), y (2 bytes), third value (2 bytes)
        const char record[8] = { char(40 + i), 7, char(0x10 + i), 0x02, char(0x20 + i), 0x03, 0x55, 0x01 };
        report.replace(1 + i * 8, 8, record, 8);
    }
    return report;
}

} // namespace

TEST(TouchFrame, SevenContactsFillTwoReports)
{
    const QByteArray frame = CVNTouchFrame::fromTouchReport(touchReport(7));
    ASSERT_EQ(frame.size(), 256);
    EXPECT_EQ(frame.at(0), 13);
    EXPECT_EQ(frame.at(61), 7); // count
    EXPECT_EQ(frame.mid(62, 2), QByteArray("\x01\x00", 2));
    for (int k = 0; k < 6; ++k) {
        const char slot[10]
            = { 7, char(40 + k), char(0x10 + k), 0x02, char(0x20 + k), 0x03, 0x01, 0x01, 0x55, 0x01 };
        EXPECT_EQ(frame.mid(1 + 10 * k, 10), QByteArray(slot, 10)) << k;
    }
    // Second report: one contact, count 0, its other slots empty.
    EXPECT_EQ(frame.mid(64, 3), QByteArray("\x0d\x07\x2e", 3));
    EXPECT_EQ(frame.mid(64 + 61, 2), QByteArray("\x00\x01", 2));
    EXPECT_EQ(frame.mid(64 + 11, 50), QByteArray(50, '\0'));
    EXPECT_EQ(frame.mid(128), QByteArray(128, '\0'));
}

TEST(TouchFrame, EmptyShortAndFullReports)
{
    QByteArray first = touchReport(3);
    first[2] = 0; // flags 0 in the first record ends the list at once
    EXPECT_EQ(CVNTouchFrame::fromTouchReport(first), QByteArray(256, '\0'));
    EXPECT_EQ(CVNTouchFrame::fromTouchReport(QByteArray()), QByteArray(256, '\0'));
    EXPECT_EQ(CVNTouchFrame::fromTouchReport(touchReport(7).left(10)).at(61), 1); // truncated report

    const QByteArray full = CVNTouchFrame::fromTouchReport(touchReport(20));
    EXPECT_EQ(static_cast<quint8>(full.at(61)), 20);
    EXPECT_EQ(static_cast<quint8>(full.at(192)), 13);
    EXPECT_EQ(static_cast<quint8>(full.at(192 + 1 + 10 + 1)), 40 + 19);
    EXPECT_EQ(full.mid(192 + 21, 40), QByteArray(40, '\0'));
}

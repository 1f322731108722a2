#include "device/hidcommandreport.h"
#include "device/touchframe.h"

#include <gtest/gtest.h>

TEST(HidCommandReport, LayoutCutsWordAndValueWithoutTerminator)
{
    const QByteArray report
        = CVNHidCommandReport::make(QStringLiteral("abcdefghij"), QString(64, QLatin1Char('v')));
    ASSERT_EQ(report.size(), 73);
    EXPECT_EQ(static_cast<quint8>(report.at(0)), 21);
    EXPECT_EQ(report.mid(1, 8), QByteArray("abcdefgh"));
    EXPECT_EQ(report.mid(9), QByteArray(64, 'v'));

    const QByteArray query = CVNHidCommandReport::make(QStringLiteral("th"), QString());
    EXPECT_EQ(query.mid(1, 8), QByteArray("th\0\0\0\0\0\0", 8));
    EXPECT_EQ(query.mid(9), QByteArray(64, '\0'));

    const QByteArray longValue
        = CVNHidCommandReport::make(QStringLiteral("th"), QString(80, QLatin1Char('x')));
    EXPECT_EQ(longValue.size(), 73);
    EXPECT_EQ(longValue.mid(9), QByteArray(64, 'x'));
}

TEST(HidCommandReport, AnswerTextStopsAtZeroOrAfter64Characters)
{
    QByteArray report = CVNHidCommandReport::answerBuffer();
    ASSERT_EQ(report.size(), 73);
    EXPECT_EQ(static_cast<quint8>(report.at(0)), 21);
    EXPECT_TRUE(CVNHidCommandReport::answerText(report).isEmpty());

    report.replace(9, 5, "12 34");
    EXPECT_EQ(CVNHidCommandReport::answerText(report), QStringLiteral("12 34"));
    report.replace(9, 64, QByteArray(64, 'z'));
    EXPECT_EQ(CVNHidCommandReport::answerText(report), QString(64, QLatin1Char('z')));

    QByteArray raw(64, '\0');
    raw[3] = 7;
    raw[63] = 9;
    report.replace(9, 64, raw);
    EXPECT_EQ(CVNHidCommandReport::answerBlock(report), raw);
    EXPECT_EQ(CVNHidCommandReport::answerBlock(report.left(20)).size(), 64); // short report, no overrun
}

namespace
{

QByteArray touchReport(int contacts)
{
    QByteArray report(161, '\0');
    report[0] = 13;
    for (int i = 0; i < contacts; ++i) {
        char* record = report.data() + 1 + i * 8;
        record[0] = static_cast<char>(40 + i); // identifier
        record[1] = 7; // flags
        record[2] = static_cast<char>(0x10 + i); // x
        record[3] = 0x02;
        record[4] = static_cast<char>(0x20 + i); // y
        record[5] = 0x03;
        record[6] = 0x55; // third value
        record[7] = 0x01;
    }
    return report;
}

} // namespace

TEST(TouchFrame, SevenContactsFillTwoReports)
{
    const QByteArray frame = CVNTouchFrame::fromTouchReport(touchReport(7));
    ASSERT_EQ(frame.size(), 256);
    const auto byte = [&](int offset) { return static_cast<quint8>(frame.at(offset)); };

    EXPECT_EQ(byte(0), 13);
    EXPECT_EQ(byte(61), 7);
    EXPECT_EQ(byte(62), 1);
    EXPECT_EQ(byte(63), 0);
    for (int k = 0; k < 6; ++k) {
        const int slot = 1 + 10 * k;
        EXPECT_EQ(byte(slot), 7) << k;
        EXPECT_EQ(byte(slot + 1), 40 + k);
        EXPECT_EQ(byte(slot + 2), 0x10 + k);
        EXPECT_EQ(byte(slot + 3), 0x02);
        EXPECT_EQ(byte(slot + 4), 0x20 + k);
        EXPECT_EQ(byte(slot + 5), 0x03);
        EXPECT_EQ(byte(slot + 6), 0x01);
        EXPECT_EQ(byte(slot + 7), 0x01);
        EXPECT_EQ(byte(slot + 8), 0x55);
        EXPECT_EQ(byte(slot + 9), 0x01);
    }
    // Second report: one contact, count 0, its other slots empty.
    EXPECT_EQ(byte(64), 13);
    EXPECT_EQ(byte(64 + 1), 7);
    EXPECT_EQ(byte(64 + 2), 46);
    EXPECT_EQ(byte(64 + 61), 0);
    EXPECT_EQ(byte(64 + 62), 1);
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

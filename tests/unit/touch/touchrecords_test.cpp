#include "touch/touchrecords.h"

#include "touchblocks.h"

#include <gtest/gtest.h>

TEST(TouchRecords, CountOverSixPlusOneReportsInOrder)
{
    struct Case {
        int fingers;
        int size;
    };
    for (const Case c : { Case { 0, 64 }, Case { 6, 128 }, Case { 7, 128 }, Case { 20, 256 }, Case { 60, 704 } }) {
        QVector<FingerAt> fingers;
        for (int i = 0; i < c.fingers; ++i)
            fingers.append({ i + 1, 100 * i, 4000 - i, 200 + i });
        const QByteArray block = touchBlock(fingers);
        ASSERT_EQ(block.size(), c.size);
        const CVNTouchRecords records = CVNTouchRecords::decode(block);
        ASSERT_EQ(records.contacts.size(), c.fingers);
        EXPECT_TRUE(records.pens.isEmpty());
        for (int i = 0; i < c.fingers; ++i) {
            EXPECT_EQ(records.contacts[i].id, i + 1);
            EXPECT_EQ(records.contacts[i].x, 100 * i);
            EXPECT_EQ(records.contacts[i].y, 4000 - i);
            EXPECT_EQ(records.contacts[i].width, 11);
            EXPECT_EQ(records.contacts[i].height, 12);
            EXPECT_EQ(records.contacts[i].pressure, 200 + i);
            EXPECT_EQ(records.contacts[i].status, 1);
        }
    }
}

TEST(TouchRecords, PenBlockHoldsFourPensAfterSevenReports)
{
    const QByteArray block = touchBlock({ { 1, 5, 6 } }, { { 10, 1000, 2000, 700, 0x0A, 139 }, { 200, 1, 1 } });
    ASSERT_EQ(block.size(), 500);
    const CVNTouchRecords records = CVNTouchRecords::decode(block);
    ASSERT_EQ(records.contacts.size(), 1);
    ASSERT_EQ(records.pens.size(), 4); // all four taken; the tracker sorts out ids
    const CVNRawPen& pen = records.pens[0];
    EXPECT_EQ(pen.id, 10);
    EXPECT_EQ(pen.state, 0x0A);
    EXPECT_EQ(pen.x, 1000);
    EXPECT_EQ(pen.y, 2000);
    EXPECT_EQ(pen.pressure, 700);
    EXPECT_EQ(pen.tiltX, -2);
    EXPECT_EQ(pen.tiltY, 3);
    EXPECT_EQ(pen.rotation, 45);
    EXPECT_EQ(pen.color, 139);
    EXPECT_EQ(records.pens[1].id, 200);
    EXPECT_EQ(records.pens[2].id, 0);
}

TEST(TouchRecords, BadBlocksReadNothingPastTheirEnd)
{
    // Short blocks: no count byte, nothing.
    for (int size : { 0, 1, 61 })
        EXPECT_TRUE(CVNTouchRecords::decode(QByteArray(size, '\x07')).contacts.isEmpty()) << size;

    // A count above what the block holds: only the records present.
    QByteArray block = touchBlock({ { 1, 1, 1 }, { 2, 2, 2 } });
    block[61] = char(250);
    EXPECT_EQ(CVNTouchRecords::decode(block).contacts.size(), 6);
    QByteArray twelve = touchBlock({ { 1, 1, 1 }, { 2, 2, 2 }, { 3, 3, 3 }, { 4, 4, 4 }, { 5, 5, 5 }, { 6, 6, 6 },
        { 7, 7, 7 }, { 8, 8, 8 }, { 9, 9, 9 }, { 10, 1, 1 }, { 11, 1, 1 }, { 12, 1, 1 } });
    EXPECT_EQ(CVNTouchRecords::decode(twelve.left(94)).contacts.size(), 8) << "the ninth record would end at 95";

    // A pen block whose count claims more reports than fit before the pens:
    // the pen records are never read as contacts.
    QByteArray pens = touchBlock({ { 1, 1, 1 } }, { { 10, 1, 1 } });
    pens[61] = char(255);
    const CVNTouchRecords records = CVNTouchRecords::decode(pens);
    EXPECT_EQ(records.contacts.size(), 7 * 6);
    EXPECT_EQ(records.pens.size(), 4);

    // Oversized and garbage blocks decode within their bytes.
    QByteArray garbage(4096, '\xFF');
    EXPECT_EQ(CVNTouchRecords::decode(garbage).contacts.size(), 255);
    EXPECT_TRUE(CVNTouchRecords::decode(garbage).pens.isEmpty());
}

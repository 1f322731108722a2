// What one client may cost: reading paused while answers pile up, and
// clients given up that never read or stop inside a document.
#include "com/connectionguard.h"
#include "comtesthelpers.h"
#include "memoryconnection.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

struct GuardTest : ::testing::Test
{
    MemoryConnection connection;
    CVNConnectionGuard::Limits limits{100, 1000, 400, 300};
    CVNConnectionGuard guard{&connection, limits};
    QSignalSpy resumed{&guard, &CVNConnectionGuard::resumed};
    QSignalSpy gaveUp{&guard, &CVNConnectionGuard::gaveUp};

    QString reason() const { return gaveUp.isEmpty() ? QString() : gaveUp.last().at(0).toString(); }
};

} // namespace

TEST_F(GuardTest, AnswersPilingUpPauseReadingUntilHalfIsTaken)
{
    connection.unsent = 100;  // at the bound: reading goes on
    guard.answerWritten();
    EXPECT_FALSE(guard.readsPaused());

    connection.unsent = 300;
    guard.answerWritten();
    EXPECT_TRUE(guard.readsPaused());

    // Taking part of the queue, but not down to half: still paused, and the
    // progress keeps the client from being given up.
    for (int step = 0; step < 4; ++step) {
        QTest::qWait(30);
        connection.drain(step < 3 ? 60 : 10);  // 110 left at the end
    }
    EXPECT_TRUE(guard.readsPaused());
    EXPECT_TRUE(resumed.isEmpty());
    EXPECT_TRUE(gaveUp.isEmpty());

    connection.drain(70);  // 40 left
    EXPECT_FALSE(guard.readsPaused());
    EXPECT_EQ(resumed.size(), 1);
    QTest::qWait(limits.stalledClientMs + 20);
    EXPECT_TRUE(gaveUp.isEmpty());
}

TEST_F(GuardTest, ClientsThatDoNotReadOrStopInsideADocumentAreGivenUp)
{
    // Paused and taking nothing.
    connection.unsent = 300;
    guard.answerWritten();
    ASSERT_TRUE(guard.readsPaused());
    ASSERT_TRUE(gaveUp.wait(1000));
    EXPECT_TRUE(reason().startsWith("took none of its 300 bytes of answers")) << qPrintable(reason());
    EXPECT_FALSE(guard.mayWrite());

    // Notifications piling up.
    MemoryConnection subscriber;
    CVNConnectionGuard second(&subscriber, limits);
    QSignalSpy secondGaveUp(&second, &CVNConnectionGuard::gaveUp);
    subscriber.unsent = 1000;
    EXPECT_TRUE(second.mayWrite());
    subscriber.unsent = 1001;
    EXPECT_FALSE(second.mayWrite());
    ASSERT_EQ(secondGaveUp.size(), 1);
    EXPECT_EQ(secondGaveUp.first().at(0).toString(), "left 1001 bytes unsent");

    // Part of a document and then silence; a completed one stops the clock.
    MemoryConnection sender;
    CVNConnectionGuard third(&sender, limits);
    QSignalSpy thirdGaveUp(&third, &CVNConnectionGuard::gaveUp);
    third.received(10);
    QTest::qWait(limits.incompleteDocumentIdleMs / 2);
    third.received(20);  // more bytes: the clock starts again
    QTest::qWait(limits.incompleteDocumentIdleMs / 2 + 10);
    EXPECT_TRUE(thirdGaveUp.isEmpty());
    third.received(0);
    QTest::qWait(limits.incompleteDocumentIdleMs + 20);
    EXPECT_TRUE(thirdGaveUp.isEmpty());
    third.received(5);
    ASSERT_TRUE(thirdGaveUp.wait(1000));
    EXPECT_EQ(thirdGaveUp.first().at(0).toString(), "sent part of a document and then nothing for 300 ms");
}

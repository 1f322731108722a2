// Closing a handle while a transfer blocks: the closer never waits, the
// handle is released exactly once and only after the transfer left it.
#include "device/platform/handlegate.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <vector>

TEST(HandleGate, CloseDuringABlockedTransferReleasesWhenTheTransferEnds)
{
    std::atomic<int> releases { 0 };
    std::atomic<bool> inTransfer { false };
    std::atomic<bool> releasedDuringTransfer { false };
    CVNHandleGate gate([&] {
        releasedDuringTransfer = releasedDuringTransfer || inTransfer;
        ++releases;
    });
    std::promise<void> entered;
    std::promise<void> unblock;
    std::shared_future<void> unblocked = unblock.get_future().share();
    auto transfer = std::async(std::launch::async, [&] {
        return gate.run([&] {
            inTransfer = true;
            entered.set_value();
            unblocked.wait(); // a controller that does not answer
            inTransfer = false;
            return true;
        });
    });
    entered.get_future().wait();

    // Returns although the transfer holds the handle.
    auto closing = std::async(std::launch::async, [&] { gate.close(); });
    ASSERT_EQ(closing.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(releases, 0);
    EXPECT_TRUE(gate.isClosed());

    unblock.set_value();
    EXPECT_TRUE(transfer.get());
    EXPECT_EQ(releases, 1);
    EXPECT_FALSE(releasedDuringTransfer);

    // Nothing runs on a closed handle, and it is released only once.
    bool ran = false;
    EXPECT_FALSE(gate.run([&] { return ran = true; }));
    EXPECT_FALSE(ran);
    gate.close();
    EXPECT_EQ(releases, 1);
}

TEST(HandleGate, CloseWithoutTransferReleasesAtOnceAndDestructionReleasesAnOpenHandle)
{
    int releases = 0;
    {
        CVNHandleGate gate([&] { ++releases; });
        EXPECT_TRUE(gate.run([] { return true; }));
        gate.close();
        EXPECT_EQ(releases, 1);
    }
    EXPECT_EQ(releases, 1);
    {
        CVNHandleGate gate([&] { ++releases; });
    }
    EXPECT_EQ(releases, 2);
}

// Many closers racing many transfers: one release, never during a transfer.
TEST(HandleGate, RacingClosersAndTransfersReleaseOnce)
{
    for (int round = 0; round < 200; ++round) {
        std::atomic<int> releases { 0 };
        std::atomic<int> inside { 0 };
        std::atomic<bool> overlap { false };
        CVNHandleGate gate([&] {
            overlap = overlap || inside > 0;
            ++releases;
        });
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&] {
                for (int i = 0; i < 20; ++i)
                    (void)gate.run([&] {
                        ++inside;
                        std::this_thread::yield();
                        --inside;
                        return true;
                    });
            });
        }
        threads.emplace_back([&] { gate.close(); });
        threads.emplace_back([&] { gate.close(); });
        for (std::thread& thread : threads)
            thread.join();
        EXPECT_EQ(releases, 1) << round;
        EXPECT_FALSE(overlap) << round;
    }
}

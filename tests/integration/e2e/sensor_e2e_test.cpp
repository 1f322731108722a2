// The grid test as a user meets it: the foil of a simulated controller
// damaged with corvane-sim's verbs, the test started and read with the
// command-line tool against `CorvaneService -e`.
#include "runningservice.h"

#include <QElapsedTimer>
#include <QThread>
#include <gtest/gtest.h>

namespace
{

class SensorEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(service.start()); }
    void TearDown() override { EXPECT_EQ(service.stop(), 0); }

    QString grid(const QString& word) const
    {
        return service.tool({"--device", RunningService::kVasta, "--grid-test", word}).output;
    }

    // The status once the test no longer runs.
    QString finishedStatus() const
    {
        QElapsedTimer clock;
        clock.start();
        QString status = grid("status");
        while (status.contains("running") && clock.elapsed() < 15000) {
            QThread::msleep(200);
            status = grid("status");
        }
        return status;
    }

    RunningService service;
};

TEST_F(SensorEndToEnd, GridTestFindsTheDamageSetOnTheRunningSimulator)
{
    const QString vasta = RunningService::kVasta;
    const QString before = service.sim().registerValue(vasta, "gain") + service.sim().registerValue(vasta, "fmode");
    ASSERT_TRUE(service.sim().control({"damage", vasta, "col", "60"}));
    ASSERT_TRUE(service.sim().control({"damage", vasta, "row", "5"}));
    EXPECT_FALSE(service.sim().control({"damage", vasta, "col", "168"}));

    EXPECT_TRUE(grid("status").contains("grid-test: Please start the test first"));
    EXPECT_TRUE(grid("start").contains("grid-test: Grid Test started"));
    EXPECT_TRUE(finishedStatus().contains("grid-test: Damaged Cols: 60 Damaged Rows: 5 \n"));
    EXPECT_EQ(service.sim().registerValue(vasta, "gain") + service.sim().registerValue(vasta, "fmode"), before);

    ASSERT_TRUE(service.sim().control({"heal", vasta}));
    EXPECT_TRUE(grid("start").contains("Grid Test started"));
    EXPECT_TRUE(finishedStatus().contains("grid-test: Rows: OK, Cols: OK\n"));
    EXPECT_TRUE(service.tool({"--device", vasta, "--grid-test", "sideways"}).output.contains("Invalid arguments"));
}

} // namespace

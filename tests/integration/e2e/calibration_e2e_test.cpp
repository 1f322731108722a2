// Calibration and border settings as an installer sets them: the
// command-line tool against the real service on a simulated Vasta, checked
// by what the tool prints and by the blocks the controller received.
#include "../../unit/service/qtprinters.h"
#include "runningservice.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace
{

constexpr int kErrorExit = 4;
const QString kIdentityRows = QStringLiteral("              1      0      0\n"
                                             "              0      1      0\n"
                                             "              0      0      1\n");

class EndToEndCalibration : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(service.start()); }
    void TearDown() override { EXPECT_EQ(service.stop(), 0); }

    // Runs the tool; checks the exit code and gives the printed text.
    QString tool(const QStringList& arguments, int exitCode = 0)
    {
        const ToolRun run = service.tool(arguments);
        EXPECT_TRUE(run.finished) << qPrintable(arguments.join(' '));
        EXPECT_EQ(run.exitCode, exitCode) << qPrintable(arguments.join(' ') + ": " + run.output);
        return run.output;
    }
    // The Vasta's exchanges of one command word from line `from` on, without the serial.
    QStringList sent(const QString& word, int from = 0)
    {
        QStringList lines;
        const QString start = RunningService::kVasta + ' ' + word + ' ';
        for (const QString& line : service.sim().trafficLines().mid(from)) {
            if (line.startsWith(start))
                lines.append(line.mid(RunningService::kVasta.size() + 1));
        }
        return lines;
    }
    int trafficSize() { return service.sim().trafficLines().size(); }

    RunningService service;
};

} // namespace

TEST_F(EndToEndCalibration, ZonesEditedAndResetThroughTheTool)
{
    // A fresh Vasta holds four identity zones, the quadrants of its grid.
    const QString all = tool({"--geom-calibration"});
    EXPECT_TRUE(all.startsWith("geom-calibration: \nZone 0 Matrix: \n" + kIdentityRows
                               + "Zone 0 Rectangle: pt(0, 0) size(2048, 2048)\n\nZone 1 Matrix: \n"))
        << qPrintable(all);
    EXPECT_TRUE(all.endsWith("Zone 3 Rectangle: pt(2048, 2048) size(2048, 2048)\n\n")) << qPrintable(all);
    EXPECT_EQ(sent("cmatrix").size(), 4);

    // Zone 2's rectangle: the controller is cleared and given all four
    // zones again, zone 2 with its new corners.
    int from = trafficSize();
    EXPECT_EQ(tool({"--geom-calibration", "z2", "10", "20", "300", "200"}),
              "geom-calibration: \nZone 2 Matrix: \n" + kIdentityRows + "Zone 2 Rectangle: pt(10, 20) size(300, 200)\n\n");
    const QStringList writes = sent("cmatrix", from);
    ASSERT_EQ(writes.size(), 4);
    EXPECT_EQ(sent("cclear", from), QStringList{"cclear  -> ok"});
    // On the wire: the clear, then the four zones in order.
    const QStringList order = service.sim().trafficLines().mid(from).filter(QRegularExpression(" (cclear|cmatrix) "));
    ASSERT_EQ(order.size(), 5);
    EXPECT_TRUE(order.at(0).contains(" cclear "));
    const QString identity = "0000803f000000000000000000000000"
                             "0000803f000000000000000000000000"
                             "0000803f";
    const QString zone2 = "627320" + identity + "000000" + "0000"
                          + "0a001400" "35011400" "0a00db00" "3501db00" // (10,20) (309,20) (10,219) (309,219)
                          + "00000000";
    const QString stored2 = "627320" + identity + "000000" + "0200" // the slot the controller gave it
                            + "0a001400" "35011400" "0a00db00" "3501db00" + "00000000";
    EXPECT_EQ(writes.at(2), "cmatrix " + zone2 + " -> " + stored2);
    EXPECT_EQ(writes.at(0).section(' ', 1, 1),
              "627320" + identity + "000000" "0000" "00000000" "ff070000" "0000ff07" "ff07ff07" "00000000");

    // A nine-number matrix changes zone 0's transform and keeps its rectangle.
    from = trafficSize();
    EXPECT_EQ(tool({"--geom-calibration", "2", "0", "0", "0", "2", "0", "10", "20", "1"}),
              "geom-calibration: \nZone 0 Matrix: \n              2      0      0\n              0      2      0\n"
              "             10     20      1\nZone 0 Rectangle: pt(0, 0) size(2048, 2048)\n\n");
    EXPECT_TRUE(sent("cmatrix", from).value(0).startsWith("cmatrix 627320" "00000040" "00000000" "00000000"
                                                          "00000000" "00000040" "00000000"
                                                          "00002041" "0000a041" "0000803f"))
        << qPrintable(sent("cmatrix", from).value(0));

    // z4 on four zones: nothing is sent; z3 reset keeps zone 3's rectangle.
    from = trafficSize();
    EXPECT_EQ(tool({"--geom-calibration", "z4", "reset"}), "geom-calibration: Invalid zone index\n");
    EXPECT_EQ(trafficSize(), from);
    EXPECT_TRUE(tool({"--geom-calibration", "z3", "reset"}).endsWith("Zone 3 Rectangle: pt(2048, 2048) size(2048, 2048)\n\n"));

    // reset: one identity zone over the logical size the controller reports.
    ASSERT_TRUE(service.sim().control({"set", RunningService::kVasta, "flogs", "1920", "1080"}));
    EXPECT_EQ(tool({"--geom-calibration", "reset"}), "geom-calibration: Calibration clear\n");
    EXPECT_EQ(service.sim().registerValue(RunningService::kVasta, "csize"), "1");
    EXPECT_EQ(tool({"--geom-calibration"}),
              "geom-calibration: \nMatrix: \n       1      0      0\n       0      1      0\n       0      0      1\n"
              "Rectangle: pt(0, 0) size(1920, 1080)\n\n");

    // A rectangle beyond the grid: the controller refuses it after the
    // clear. The tool reports the error, and the service does not claim
    // the zone; the controller now holds none.
    EXPECT_EQ(tool({"--geom-calibration", "0", "0", "4000", "4000"}, kErrorExit),
              "geom-calibration: Calibration error: zone 0 of 1 not written (error: out of range)\n"
              "Unknown or not executed option(s): geom-calibration\n");
    EXPECT_EQ(tool({"--geom-calibration"}), "geom-calibration: No zones defined\n");
}

TEST_F(EndToEndCalibration, BorderSettingsPerSide)
{
    EXPECT_EQ(tool({"--tste", "top", "12"}), "tste: top 12\n");
    EXPECT_EQ(tool({"--tste", "left", "7"}), "tste: left 7\n");
    EXPECT_EQ(tool({"--tste"}), "tste: 12 20 20 7\n");
    EXPECT_EQ(tool({"--tste", "bottom"}), "tste: bottom 20\n");
    EXPECT_EQ(sent("tste").filter(QRegularExpression("^tste [tl] \\d")),
              (QStringList{"tste t 12 -> 12", "tste l 7 -> 7"}));
    EXPECT_EQ(tool({"--tste", "top", "5000"}, kErrorExit),
              "tste: error: out of range\nUnknown or not executed option(s): tste\n");
    EXPECT_EQ(tool({"--tste", "top"}), "tste: top 12\n");

    EXPECT_EQ(tool({"--cba", "left", "150", "120"}), "cba: left 150 120\n");
    EXPECT_EQ(tool({"--cba", "right", "90", "80"}), "cba: right 90 80\n");
    EXPECT_EQ(tool({"--cba"}), "cba: (100,100) (90,80) (100,100) (150,120)\n");
    EXPECT_EQ(tool({"--cba", "left", "a"}), "cba: left 100 100\n");
    EXPECT_TRUE(sent("cba").contains("cba l a -> 100 100"));
    EXPECT_EQ(tool({"--cba", "top", "x", "1"}), "cba: Invalid arguments\n");
}

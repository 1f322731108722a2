// A controller the service has never heard of: plugged into the running
// simulator with the vendor bulk interface only and an entity set of its
// own, it describes itself, is listed, its help printed, and its typed
// values read and written with the command-line tool.
#include "../../unit/service/qtprinters.h"
#include "runningservice.h"

#include <QRegularExpression>
#include <gtest/gtest.h>

namespace
{

const QString kOwn = QStringLiteral("1234000000A1");
const QString kSelected = QStringLiteral("The selected device is: 1234000000A1 selected\n");

class SelfDescribedEndToEnd : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(service.start()) << "the service did not come up with both controllers";
        ASSERT_TRUE(service.sim().control({ "plug", "4660:" + kOwn + ":1.000,bulk=only,entities=own" }));
        for (int attempt = 0; attempt < 50 && !listed.contains(kOwn); ++attempt)
            listed = service.tool({ "--device-list" }).output;
        ASSERT_TRUE(listed.contains(kOwn)) << qPrintable(listed);
    }
    void TearDown() override { EXPECT_EQ(service.stop(), 0); }

    QString tool(const QStringList& arguments) const
    {
        const ToolRun run = service.tool(arguments);
        EXPECT_TRUE(run.finished && run.exitCode == 0) << qPrintable(arguments.join(' ')) << run.exitCode;
        return run.output;
    }

    RunningService service;
    QString listed;
};

} // namespace

TEST_F(SelfDescribedEndToEnd, ListedWithHelpAndTypedValues)
{
    EXPECT_TRUE(QRegularExpression("\\n  2 Unknown +1234000000A1 Bulk +unlocked\\n").match(listed).hasMatch())
        << qPrintable(listed);
    EXPECT_TRUE(service.sim().trafficHas(kOwn + " metadata view all -> "));

    // The help of its "basic" view, from its own descriptions.
    const QString help = tool({ "--device", kOwn, "--device-help" });
    EXPECT_TRUE(help.startsWith(kSelected + "g:\n\"Unknown 1234000000A1 Bulk\" basic options\n")) << qPrintable(help);
    for (const char* line : { "\\n --tscale \\[0\\.\\.4\\] +Touch size scale\\n",
             "\\n --cmat \\[x1 \\.\\. x9\\] +Calibration transform, row by row\\n",
             "\\n --fmodes \\[touch \\| pen \\| object\\] +Input kinds reported\\n",
             "\\n --dkey \\['\\['b, b, \\.\\.\\.'\\]'\\] +Device key\\n", "\\n --dreset \\[dfu\\] +Restart the controller\\n" })
        EXPECT_TRUE(QRegularExpression(line).match(help).hasMatch()) << line << '\n' << qPrintable(help);

    // Written in one run, read back in the next session.
    EXPECT_EQ(tool({ "--device", kOwn, "--tscale", "3.3", "--tgamma", "0.45", "--cmat", "2", "0", "0", "0", "2", "0",
                  "4", "5", "1", "--fmodes", "pen", "object", "--cenable", "true", "--dlabel", "lab", "--th", "999" }),
        kSelected + "tscale: 3.3\ntgamma: 0.45\ncmat: \n2 0 0\n0 2 0\n4 5 1\nfmodes: pen, object\ncenable: true\n"
                    "dlabel: lab\nth: 255\n");
    EXPECT_EQ(tool({ "--device", kOwn, "--tscale", "--tgamma", "--cmat", "--fmodes", "--cenable", "--dlabel", "--th",
                  "--dkey", "--dversion" }),
        kSelected + "tscale: 3.3\ntgamma: 0.45\ncmat: \n2 0 0\n0 2 0\n4 5 1\nfmodes: pen, object\ncenable: true\n"
                    "dlabel: lab\nth: 255\ndkey: [-64,-1,-18,1,2,3,4,5]\ndversion: 1.000\n");
    for (const auto& held : { std::make_pair("tscale", "3.3"), std::make_pair("tgamma", "0.45"),
             std::make_pair("cmat", "2 0 0 0 2 0 4 5 1"), std::make_pair("fmodes", "pen object"),
             std::make_pair("dlabel", "lab") })
        EXPECT_EQ(service.sim().registerValue(kOwn, held.first), held.second) << held.first;

    // The controller's refusal reaches the tool in its words.
    const ToolRun refused = service.tool({ "--device", kOwn, "--cfo", "1", "2", "9" });
    EXPECT_EQ(refused.output, kSelected + "cfo: error: out of range\nUnknown or not executed option(s): cfo\n");
}

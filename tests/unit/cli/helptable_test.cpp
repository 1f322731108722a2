#include "cli/helptable.h"

#include <QTextStream>
#include <gtest/gtest.h>

TEST(HelpLine, NamesAndSyntaxPadToTheDescriptionColumnOrWrap)
{
    EXPECT_EQ(CVNHelp::line({ "x", "name" }, "[true|false]", "Switch it."),
              QString("  -x, --name=[true|false]").leftJustified(40) + "Switch it.");
    EXPECT_EQ(CVNHelp::line({ "h" }, "", "Help."), QString("  -h").leftJustified(40) + "Help.");
    EXPECT_EQ(CVNHelp::line({ "ping" }, "", "Ping."), QString("      --ping").leftJustified(40) + "Ping.");
    EXPECT_EQ(CVNHelp::line({ "a", "host" }, "HOST_IP [timeout]", "Connect."),
              QString("  -a, --host HOST_IP [timeout]").leftJustified(40) + "Connect.");
    // Exactly 40 characters without a trailing space still needs the space.
    const QString forty = "  -q, --" + QString(32, 'n');
    ASSERT_EQ(forty.size(), 40);
    EXPECT_EQ(CVNHelp::line({ "q", QString(32, 'n') }, "", "Described."), forty + " \n" + QString(82, ' ') + "Described.");
}

TEST(HelpTable, PrinterPutsTheFixedModulesFirstEvenWhenEmpty)
{
    CVNHelpTable table;
    table.insert("Zeta", { "z1" });
    table.insert("Session", { "s1", "s2" });
    table.insert("Alpha", { "a1" });
    table.insert("Service", { "v1" });
    QString text;
    QTextStream out(&text);
    CVNHelp::print(out, table);
    out.flush();
    EXPECT_EQ(text, "\nService:\nv1\n\nConnection:\n\nDevice:\n\nSession:\ns1\ns2\n\nAlpha:\na1\n\nZeta:\nz1\n");
}

TEST(HelpTable, JsonRoundTripAppendsToExistingModules)
{
    CVNHelpTable table;
    table.insert("Device", { "d1" });
    table.insert("Session", { "s1" });
    CVNHelpTable back;
    back.insert("Device", { "d0" });
    CVNHelp::appendFromJson(back, CVNHelp::toJson(table));
    EXPECT_EQ(back.value("Device"), (QStringList{ "d0", "d1" }));
    EXPECT_EQ(back.value("Session"), QStringList{ "s1" });
    CVNHelp::merge(back, table);
    EXPECT_EQ(back.value("Session"), (QStringList{ "s1", "s1" }));
}

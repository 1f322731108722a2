#include "cli/commandlineexecuter.h"
#include "cli/commandlineoptioncallback.h"
#include "cli/helptable.h"

#include <QTextStream>
#include <gtest/gtest.h>

TEST(HelpLine, ShortAndLongNameWithSyntaxPadsToTheDescriptionColumn)
{
    const QString line = CVNHelp::line({ "x", "name" }, "[true|false]", "Switch it.");
    const QString names = "  -x, --name=[true|false]";
    EXPECT_EQ(line, names + QString(40 - names.size(), ' ') + "Switch it.");
}

TEST(HelpLine, SingleNamesAndSpacedSyntax)
{
    EXPECT_EQ(CVNHelp::line({ "h" }, "", "Help."), QString("  -h").leftJustified(40) + "Help.");
    EXPECT_EQ(CVNHelp::line({ "ping" }, "", "Ping."), QString("      --ping").leftJustified(40) + "Ping.");
    EXPECT_EQ(CVNHelp::line({ "a", "host" }, "HOST_IP [timeout]", "Connect."),
              QString("  -a, --host HOST_IP [timeout]").leftJustified(40) + "Connect.");
}

TEST(HelpLine, LongNamesMoveTheDescriptionToARightAlignedLine)
{
    // Exactly 40 characters without a trailing space still needs the space.
    const QString forty = "  -q, --" + QString(32, 'n');
    ASSERT_EQ(forty.size(), 40);
    const QString line = CVNHelp::line({ "q", QString(32, 'n') }, "", "Described.");
    EXPECT_EQ(line, forty + " \n" + QString(92 - 10, ' ') + "Described.");
}

TEST(HelpTable, ExecuterHelpListsItsOptionsInOrder)
{
    CVNCommandLineExecuter executer("Connection", "Protocol Communication v1.0.0");
    executer.addOption(new CVNCommandLineOptionCallback({ "a", "host" }, "A", "X", CVNCommandLineOptionCallback::Function()));
    executer.addOption(new CVNCommandLineOptionCallback({ "ping" }, "P", "", CVNCommandLineOptionCallback::Function()));
    const CVNHelpTable table = executer.help();
    ASSERT_EQ(table.keys(), QStringList{ "Connection" });
    ASSERT_EQ(table.value("Connection").size(), 2);
    EXPECT_TRUE(table.value("Connection").at(0).startsWith("  -a, --host=X "));
    EXPECT_TRUE(table.value("Connection").at(1).startsWith("      --ping "));
    EXPECT_EQ(executer.version(), "Protocol Communication v1.0.0");
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
    const QJsonArray json = CVNHelp::toJson(table);
    ASSERT_EQ(json.size(), 2);
    CVNHelpTable back;
    back.insert("Device", { "d0" });
    CVNHelp::appendFromJson(back, json);
    EXPECT_EQ(back.value("Device"), (QStringList{ "d0", "d1" }));
    EXPECT_EQ(back.value("Session"), QStringList{ "s1" });

    CVNHelp::merge(back, table);
    EXPECT_EQ(back.value("Session"), (QStringList{ "s1", "s1" }));
}

#include "cli/optionresult.h"
#include "cli/pendingoption.h"

#include <QJsonObject>
#include <gtest/gtest.h>

namespace {
CVNPendingOptionList parsed(const QStringList& words, bool expectOk = true)
{
    CVNPendingOptionList list;
    const bool ok = list.parse(QStringList{ QStringLiteral("CorvaneService") } + words);
    EXPECT_EQ(ok, expectOk) << list.error().toStdString();
    return list;
}
}

TEST(PendingOptionParse, LongOptionWithEqualsTakesFirstValue)
{
    const CVNPendingOptionList list = parsed({ "--discover-network=false", "more" });
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list.first().dash, CVNPendingOption::Long);
    EXPECT_EQ(list.first().name, "discover-network");
    EXPECT_EQ(list.first().values, (QStringList{ "false", "more" }));
}

TEST(PendingOptionParse, NegativeNumbersAreValuesAndDashStartsNextOption)
{
    const CVNPendingOptionList list = parsed({ "-x", "a", "b", "-1", "-c", "--long", "-2.5" });
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list.options().at(0).name, "x");
    EXPECT_EQ(list.options().at(0).dash, CVNPendingOption::Short);
    EXPECT_EQ(list.options().at(0).values, (QStringList{ "a", "b", "-1" }));
    EXPECT_EQ(list.options().at(1).name, "c");
    EXPECT_TRUE(list.options().at(1).values.isEmpty());
    EXPECT_EQ(list.options().at(2).values, QStringList{ "-2.5" });
    EXPECT_EQ(list.names(), (QStringList{ "x", "c", "long" }));
}

TEST(PendingOptionParse, MalformedDashOptionsAreKeptAndStopParsing)
{
    CVNPendingOptionList list = parsed({ "-install", "-h" }, false);
    EXPECT_EQ(list.error(), " Malformed dash option.");
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list.first().name, "install");

    list = parsed({ "-h", "--x", "value" }, false);
    EXPECT_EQ(list.error(), " Malformed dash option.");
    EXPECT_EQ(list.names(), (QStringList{ "h", "x" }));
}

TEST(PendingOptionParse, EmptyAndPlainWordsAreErrors)
{
    CVNPendingOptionList list = parsed({ "--" }, false);
    EXPECT_EQ(list.error(), " Empty option.");

    list = parsed({ "-=3" }, false);
    EXPECT_EQ(list.error(), " Empty option.");

    // A lone dash ends the values and is itself an empty option.
    list = parsed({ "-a", "1", "-", "2" }, false);
    EXPECT_EQ(list.error(), " Empty option.");
    EXPECT_EQ(list.first().values, QStringList{ "1" });

    list = parsed({ "install" }, false);
    EXPECT_EQ(list.error(), " Malformed option.");
    EXPECT_TRUE(list.isEmpty());
}

TEST(PendingOptionParse, ProgramNameAloneGivesNoOptionsAndParsingResets)
{
    CVNPendingOptionList list = parsed({ "plain" }, false);
    EXPECT_TRUE(list.parse({ "CorvaneService" }));
    EXPECT_TRUE(list.isEmpty());
    EXPECT_TRUE(list.error().isEmpty());
}

TEST(PendingOptionJson, RoundTripKeepsDashValuesAndBinaryFiles)
{
    CVNPendingOptionList list = parsed({ "-a", "10.0.0.7", "--settings", "upload", "/tmp/a.set" });
    CVNFileOperation file;
    file.data = QByteArray("\x00\xff\x10 binary", 10);
    file.result = QStringLiteral("File read successful");
    list.first().fileOperations.insert(QStringLiteral("/tmp/a.set"), file);
    list.first().fileOperations.insert(QStringLiteral("/tmp/empty"), CVNFileOperation());

    const QJsonArray json = list.toJson();
    ASSERT_EQ(json.size(), 2);
    EXPECT_EQ(json.at(0).toObject().value("dash").toInt(), 1);
    EXPECT_EQ(json.at(1).toObject().value("dash").toInt(), 2);
    EXPECT_EQ(json.at(0).toObject().value("option").toString(), "a");
    EXPECT_FALSE(json.at(1).toObject().contains("file_operations"));
    const QJsonArray files = json.at(0).toObject().value("file_operations").toArray();
    ASSERT_EQ(files.size(), 2);

    CVNPendingOptionList back;
    back.fromJson(json);
    EXPECT_EQ(back.options(), list.options());
}

TEST(PendingOptionJson, ReadsAnyDashButOneAsLongAndSkipsGarbage)
{
    const QJsonArray json{
        QJsonObject{ { "option", "h" }, { "dash", 1 } },
        QJsonObject{ { "option", "help" }, { "dash", 0 }, { "values", QJsonArray{ "x" } } },
        QStringLiteral("not an option"),
    };
    CVNPendingOptionList list;
    list.fromJson(json);
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list.options().at(0).dash, CVNPendingOption::Short);
    EXPECT_EQ(list.options().at(1).dash, CVNPendingOption::Long);
    EXPECT_EQ(list.options().at(1).values, QStringList{ "x" });
}

TEST(OptionResult, NamesMapBothWays)
{
    for (int code = CVNOptionResult::NotFound; code <= CVNOptionResult::FileOperation; ++code)
        EXPECT_EQ(CVNOptionResult::fromName(CVNOptionResult::name(code)), code);
    EXPECT_EQ(CVNOptionResult::name(0), "Unknown");
    EXPECT_EQ(CVNOptionResult::name(8), "Unknown");
    EXPECT_EQ(CVNOptionResult::name(CVNOptionResult::FileOperation), "FileOperation");
    EXPECT_EQ(CVNOptionResult::fromName("processed"), 0);
}

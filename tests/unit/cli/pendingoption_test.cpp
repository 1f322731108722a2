#include "cli/pendingoption.h"

#include <QJsonObject>
#include <gtest/gtest.h>

namespace {
CVNPendingOptionList parsed(const QStringList& words, bool expectOk = true)
{
    CVNPendingOptionList list;
    const bool ok = list.parse(QStringList{ "CorvaneService" } + words);
    EXPECT_EQ(ok, expectOk) << list.error().toStdString();
    return list;
}
}

TEST(PendingOptionParse, ValuesEqualsAndNegativeNumbers)
{
    CVNPendingOptionList list = parsed({ "--discover-network=false", "more" });
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list.first().dash, CVNPendingOption::Long);
    EXPECT_EQ(list.first().name, "discover-network");
    EXPECT_EQ(list.first().values, (QStringList{ "false", "more" }));

    list = parsed({ "-x", "a", "b", "-1", "-c", "--long", "-2.5" });
    ASSERT_EQ(list.names(), (QStringList{ "x", "c", "long" }));
    EXPECT_EQ(list.options().at(0).dash, CVNPendingOption::Short);
    EXPECT_EQ(list.options().at(0).values, (QStringList{ "a", "b", "-1" }));
    EXPECT_TRUE(list.options().at(1).values.isEmpty());
    EXPECT_EQ(list.options().at(2).values, QStringList{ "-2.5" });
}

TEST(PendingOptionParse, MalformedInputIsAnErrorAndKeepsWhatCameBefore)
{
    const struct {
        QStringList words;
        QString error;
        QStringList names;
    } cases[] = {
        { { "-install", "-h" }, " Malformed dash option.", { "install" } },
        { { "-h", "--x", "value" }, " Malformed dash option.", { "h", "x" } },
        { { "--" }, " Empty option.", { "" } },
        { { "-=3" }, " Empty option.", { "" } },
        // A lone dash ends the values and is itself an empty option.
        { { "-a", "1", "-", "2" }, " Empty option.", { "a", "" } },
        { { "install" }, " Malformed option.", {} },
    };
    for (const auto& c : cases) {
        const CVNPendingOptionList list = parsed(c.words, false);
        EXPECT_EQ(list.error(), c.error) << c.words.join(' ').toStdString();
        EXPECT_EQ(list.names(), c.names) << c.words.join(' ').toStdString();
    }
    CVNPendingOptionList list = parsed({ "-a", "1", "-", "2" }, false);
    EXPECT_EQ(list.first().values, QStringList{ "1" });
    // Parsing again starts afresh.
    EXPECT_TRUE(list.parse({ "CorvaneService" }));
    EXPECT_TRUE(list.isEmpty());
    EXPECT_TRUE(list.error().isEmpty());
}

TEST(PendingOptionJson, RoundTripKeepsDashValuesAndBinaryFiles)
{
    CVNPendingOptionList list = parsed({ "-a", "10.0.0.7", "--settings", "upload", "/tmp/a.set" });
    list.first().fileOperations.insert("/tmp/a.set", CVNFileOperation{ QByteArray("\x00\xff\x10 binary", 10), "File read successful" });
    list.first().fileOperations.insert("/tmp/empty", CVNFileOperation());

    const QJsonArray json = list.toJson();
    ASSERT_EQ(json.size(), 2);
    EXPECT_EQ(json.at(0).toObject().value("dash").toInt(), 1);
    EXPECT_EQ(json.at(1).toObject().value("dash").toInt(), 2);
    EXPECT_EQ(json.at(0).toObject().value("option").toString(), "a");
    EXPECT_FALSE(json.at(1).toObject().contains("file_operations"));
    EXPECT_EQ(json.at(0).toObject().value("file_operations").toArray().size(), 2);

    CVNPendingOptionList back;
    back.fromJson(json);
    EXPECT_EQ(back.options(), list.options());
}

TEST(PendingOptionJson, ReadsAnyDashButOneAsLongAndSkipsGarbage)
{
    CVNPendingOptionList list;
    list.fromJson(QJsonArray{
        QJsonObject{ { "option", "h" }, { "dash", 1 } },
        QJsonObject{ { "option", "help" }, { "dash", 0 }, { "values", QJsonArray{ "x" } } },
        "not an option",
    });
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list.options().at(0).dash, CVNPendingOption::Short);
    EXPECT_EQ(list.options().at(1).dash, CVNPendingOption::Long);
    EXPECT_EQ(list.options().at(1).values, QStringList{ "x" });
}

#include "registercatalog.h"
#include "registertable.h"

#include "qstringprinter.h"

#include <gtest/gtest.h>

using namespace corvanesim;

namespace {

struct FakeSources {
    qint64 ms = 0;
    int contacts = 0;
    LiveSources sources()
    {
        LiveSources s;
        s.elapsedMs = [this] { return ms; };
        s.contactCount = [this] { return contacts; };
        s.contactsBegun = [this] { return contacts; };
        return s;
    }
};

bool isError(const QString& answer)
{
    return answer.contains(QLatin1String("error"), Qt::CaseInsensitive);
}

class RegisterTableTest : public ::testing::Test {
protected:
    FakeSources live;
    CVNRegisterTable table{registerCatalog(2, 0x0205, QStringLiteral("0200000001A3")), live.sources()};
};

}  // namespace

TEST_F(RegisterTableTest, ProbeWordsPassTheHostsChecks)
{
    const QString gain = table.exchange(QStringLiteral("gain"), {});
    EXPECT_LT(gain.toInt(), 8);
    EXPECT_EQ(table.exchange(QStringLiteral("gain"), {}), gain);
    const QString build = table.exchange(QStringLiteral("dbuild"), {});
    EXPECT_EQ(build.size(), 40);
    EXPECT_NE(build, gain);
    EXPECT_EQ(table.exchange(QStringLiteral("dserial"), {}), QStringLiteral("0200000001A3"));
    EXPECT_EQ(table.exchange(QStringLiteral("dversion"), {}), QStringLiteral("2.005"));
}

TEST_F(RegisterTableTest, WritesAreValidatedAgainstKindAndRange)
{
    EXPECT_EQ(table.exchange(QStringLiteral("thn"), QStringLiteral("50")), QStringLiteral("50"));
    EXPECT_EQ(table.exchange(QStringLiteral("thn"), {}), QStringLiteral("50"));
    EXPECT_TRUE(isError(table.exchange(QStringLiteral("thn"), QStringLiteral("51"))));
    EXPECT_TRUE(isError(table.exchange(QStringLiteral("thn"), QStringLiteral("-1"))));
    EXPECT_TRUE(isError(table.exchange(QStringLiteral("thn"), QStringLiteral("ten"))));
    EXPECT_EQ(table.exchange(QStringLiteral("thn"), {}), QStringLiteral("50")) << "a refused write keeps the value";
    EXPECT_TRUE(isError(table.exchange(QStringLiteral("ttsmooth"), QStringLiteral("0"))));
    EXPECT_EQ(table.exchange(QStringLiteral("ttsmooth"), QStringLiteral("430")), QStringLiteral("430"));

    EXPECT_EQ(table.exchange(QStringLiteral("thbound"), QStringLiteral("5  100")), QStringLiteral("5 100"));
    EXPECT_TRUE(isError(table.exchange(QStringLiteral("thbound"), QStringLiteral("5"))));
    EXPECT_TRUE(isError(table.exchange(QStringLiteral("thbound"), QStringLiteral("5 6 7"))));
    EXPECT_EQ(table.exchange(QStringLiteral("cfo"), QStringLiteral("1 0 1")), QStringLiteral("1 0 1"));
    EXPECT_TRUE(isError(table.exchange(QStringLiteral("cfo"), QStringLiteral("1 0"))));

    EXPECT_EQ(table.exchange(QStringLiteral("cenable"), QStringLiteral("1")), QStringLiteral("1"));
    EXPECT_TRUE(isError(table.exchange(QStringLiteral("cenable"), QStringLiteral("2"))));
    EXPECT_EQ(table.exchange(QStringLiteral("fmode"), QStringLiteral("raw")), QStringLiteral("raw"));
    EXPECT_TRUE(isError(table.exchange(QStringLiteral("fmode"), QStringLiteral("fast"))));
    EXPECT_EQ(table.exchange(QStringLiteral("dmode"), QStringLiteral("any text")), QStringLiteral("any text"));
}

TEST_F(RegisterTableTest, ReadOnlyAndUnknownWordsAnswerErrors)
{
    for (const char* word : {"gainmax", "dbuild", "dserial", "dversion", "fsize", "flogs", "fphys", "fphysc",
                             "duptime", "tccount", "dfps", "cosensor", "frirf"}) {
        QString before;
        ASSERT_TRUE(table.value(QLatin1String(word), &before)) << word;
        EXPECT_TRUE(isError(table.exchange(QLatin1String(word), QStringLiteral("1")))) << word;
        QString after;
        ASSERT_TRUE(table.value(QLatin1String(word), &after));
        EXPECT_EQ(before, after) << word;
    }
    EXPECT_TRUE(isError(table.exchange(QStringLiteral("nosuch"), {})));
    EXPECT_TRUE(isError(table.exchange(QString(), {})));
    EXPECT_TRUE(isError(table.exchange(QStringLiteral("fsglass"), {}))) << "TwinPoint 2.002 only";
}

TEST_F(RegisterTableTest, FunctionsCheckTheirArguments)
{
    EXPECT_EQ(table.exchange(QStringLiteral("dreset"), {}), QStringLiteral("ok"));
    EXPECT_FALSE(isError(table.exchange(QStringLiteral("dreset"), QStringLiteral("dfu"))));
    EXPECT_TRUE(isError(table.exchange(QStringLiteral("dreset"), QStringLiteral("now"))));
    EXPECT_TRUE(isError(table.exchange(QStringLiteral("ssave"), QStringLiteral("x"))));
    EXPECT_FALSE(table.exchange(QStringLiteral("sversion"), {}).isEmpty());
}

TEST_F(RegisterTableTest, PresetsBypassValidationButNotUnknownWords)
{
    QString error;
    ASSERT_TRUE(table.preset(QStringLiteral("gain"), QStringLiteral("9"), &error));
    EXPECT_EQ(table.exchange(QStringLiteral("gain"), {}), QStringLiteral("9"));
    ASSERT_TRUE(table.preset(QStringLiteral("gainmax"), QStringLiteral("5"), &error));
    EXPECT_EQ(table.exchange(QStringLiteral("gainmax"), {}), QStringLiteral("5"));
    EXPECT_FALSE(table.preset(QStringLiteral("nosuch"), QStringLiteral("1"), &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(table.preset(QStringLiteral("dmode"), QString(65, QLatin1Char('x')), &error));
}

TEST_F(RegisterTableTest, LiveWordsFollowTheirSourcesUntilPreset)
{
    live.ms = 2500;
    EXPECT_EQ(table.exchange(QStringLiteral("duptime"), {}), QStringLiteral("2"));
    live.ms = 61000;
    EXPECT_EQ(table.exchange(QStringLiteral("duptime"), {}), QStringLiteral("61"));
    live.contacts = 7;
    EXPECT_EQ(table.exchange(QStringLiteral("tccount"), {}), QStringLiteral("7"));
    const int fps = table.exchange(QStringLiteral("dfps"), {}).toInt();
    EXPECT_GT(fps, 100);
    EXPECT_LT(fps, 140);
    QString error;
    ASSERT_TRUE(table.preset(QStringLiteral("duptime"), QStringLiteral("5"), &error));
    live.ms = 99000;
    EXPECT_EQ(table.exchange(QStringLiteral("duptime"), {}), QStringLiteral("5"));
}

TEST(RegisterCatalog, EarlyFirmwareKnowsOnlyTheIdentificationWords)
{
    CVNRegisterTable table(registerCatalog(32, 0x0100, QStringLiteral("20000000C0DE")), {});
    for (const char* word : {"gain", "dbuild", "dserial", "dreset", "dversion"})
        EXPECT_TRUE(table.has(QLatin1String(word))) << word;
    EXPECT_FALSE(table.has(QStringLiteral("th")));
    EXPECT_TRUE(table.exchange(QStringLiteral("th"), {}).contains(QLatin1String("error")));
}

TEST(RegisterCatalog, FamiliesDiffer)
{
    const auto words = [](quint16 pid, quint16 release) {
        return CVNRegisterTable(registerCatalog(pid, release, QStringLiteral("0C0000000001")), {}).words();
    };
    EXPECT_FALSE(words(12, 0x0205).contains(QStringLiteral("tblobrej")));
    EXPECT_TRUE(words(2, 0x0205).contains(QStringLiteral("tblobrej")));
    EXPECT_TRUE(words(12, 0x0202).contains(QStringLiteral("fsglass")));
    EXPECT_FALSE(words(12, 0x0204).contains(QStringLiteral("fsglass")));
    EXPECT_NE(buildHash(2, 0x0205), buildHash(2, 0x0204));
}

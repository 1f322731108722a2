#include "registercatalog.h"
#include "registertable.h"

#include "qstringprinter.h"

#include <gtest/gtest.h>

using namespace corvanesim;

namespace {

bool isError(const QString& answer)
{
    return answer.contains(QLatin1String("error"), Qt::CaseInsensitive);
}

class RegisterTableTest : public ::testing::Test {
protected:
    LiveSources sources()
    {
        LiveSources s;
        s.elapsedMs = [this] { return ms; };
        s.contactCount = [this] { return contacts; };
        s.contactsBegun = [this] { return contacts; };
        return s;
    }
    QString ex(const QString& word, const QString& value = {}) { return table.exchange(word, value); }

    qint64 ms = 0;
    int contacts = 0;
    CVNRegisterTable table{registerCatalog(2, 0x0205, QStringLiteral("0200000001A3")), sources()};
};

}  // namespace

// Every described range and read-only word is proven against the shipped
// descriptions; here the value kinds, and words no description offers.
TEST_F(RegisterTableTest, WritesAreValidatedAndBadWordsRefused)
{
    const QList<QPair<const char*, const char*>> accepted{
        {"thn", "50"}, {"ttsmooth", "430"}, {"cfo", "1 0 1"}, {"cenable", "1"}, {"fmode", "raw"}, {"dmode", "any text"}};
    for (const auto& c : accepted)
        EXPECT_EQ(ex(c.first, c.second), QString(c.second)) << c.first;
    EXPECT_EQ(ex("thbound", "5  100"), QStringLiteral("5 100"));
    const QList<QPair<const char*, const char*>> refused{
        {"thn", "-1"}, {"thn", "ten"}, {"ttsmooth", "0"}, {"thbound", "5"}, {"thbound", "5 6 7"}, {"cfo", "1 0"}, {"cenable", "2"},
        {"fmode", "fast"}, {"dreset", "now"}, {"ssave", "x"}, {"dfps", "1"}, {"", ""}, {"fsglass", ""} /* TwinPoint 2.002 only */};
    for (const auto& c : refused)
        EXPECT_TRUE(isError(ex(c.first, c.second))) << c.first << " " << c.second;
    EXPECT_EQ(ex("thn"), QStringLiteral("50")) << "a refused write keeps the value";
}

// The probe words and presets from the command line are proven through the
// process; here the live words and presets over them.
TEST_F(RegisterTableTest, LiveWordsFollowTheirSourcesUntilPreset)
{
    ms = 61000;
    EXPECT_EQ(ex("duptime"), QStringLiteral("61"));
    contacts = 7;
    EXPECT_EQ(ex("tccount"), QStringLiteral("7"));
    const int fps = ex("dfps").toInt();
    EXPECT_TRUE(fps > 100 && fps < 140) << fps;
    QString error;
    ASSERT_TRUE(table.preset(QStringLiteral("gainmax"), QStringLiteral("5"), &error)); // read-only to the host
    EXPECT_EQ(ex("gainmax"), QStringLiteral("5"));
    ASSERT_TRUE(table.preset(QStringLiteral("duptime"), QStringLiteral("5"), &error));
    ms = 99000;
    EXPECT_EQ(ex("duptime"), QStringLiteral("5"));
    EXPECT_FALSE(table.preset(QStringLiteral("dmode"), QString(65, QLatin1Char('x')), &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(RegisterCatalog, WordsFollowFamilyAndFirmware)
{
    const auto words = [](quint16 pid, quint16 release) {
        return CVNRegisterTable(registerCatalog(pid, release, QStringLiteral("0C0000000001")), {}).words();
    };
    for (const char* word : {"gain", "dbuild", "dserial", "dreset", "dversion"})
        EXPECT_TRUE(words(32, 0x0100).contains(QLatin1String(word))) << word;
    EXPECT_FALSE(words(32, 0x0100).contains(QStringLiteral("th"))) << "early firmware has no thresholds";
    EXPECT_FALSE(words(12, 0x0205).contains(QStringLiteral("tblobrej")));
    EXPECT_TRUE(words(2, 0x0205).contains(QStringLiteral("tblobrej")));
    EXPECT_TRUE(words(12, 0x0202).contains(QStringLiteral("fsglass")));
    EXPECT_FALSE(words(12, 0x0204).contains(QStringLiteral("fsglass")));
    EXPECT_NE(buildHash(2, 0x0205), buildHash(2, 0x0204));
}

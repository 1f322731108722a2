#include "cli/commandlinecontext.h"
#include "cli/commandlineexecuter.h"
#include "cli/commandlineoptioncallback.h"
#include "cli/commandlineoptionentity.h"
#include "cli/optionresult.h"
#include "cli/pendingoption.h"
#include "interface/entity.h"

#include <QTextStream>
#include <gtest/gtest.h>

namespace {
// A context that collects printed text in a string.
class TestContext : public CVNCommandLineContext
{
public:
    void consumeOptions(int& result, CVNPendingOptionList&) override { result = CVNOptionResult::NotFound; }
    void helpTable(int& result, CVNHelpTable&) override { result = CVNOptionResult::Processed; }
    void version(int& result, QString&) override { result = CVNOptionResult::Processed; }
    QTextStream& output() override { return stream; }

    QString text;
    QTextStream stream{ &text };
};

// An entity whose command-line text is fixed by the test; it records what it got.
class TextEntity : public Entity
{
public:
    TextEntity(const QString& command, const QString& reply)
        : Entity("text_entity", "Text entity", command), m_reply(reply)
    {
    }
    QString typeName() const override { return "Text"; }
    int kind() const override { return PropertyKind; }
    QString execute(CVNEntityContext& context) override
    {
        arguments = context.arguments;
        files = context.fileTable;
        return m_reply;
    }

    QStringList arguments;
    CVNFileTable files;

private:
    QString m_reply;
};

struct ExecuterTest : ::testing::Test
{
    CVNCommandLineExecuter executer{ "Service" };
    TestContext context;
    QStringList seen;
    int result = 0;

    // An option that records its values and answers `answer`.
    void addCounting(const QStringList& names, int answer)
    {
        executer.addOption(new CVNCommandLineOptionCallback(
            names, "counts", QString(), [this, answer](int& r, const QStringList& values, CVNCommandLineContext&) {
                seen.append(values.join(','));
                r = answer;
            }));
    }
    CVNPendingOptionList parsed(const QStringList& words)
    {
        CVNPendingOptionList list;
        EXPECT_TRUE(list.parse(QStringList{ "prog" } + words));
        return list;
    }
};
}

TEST_F(ExecuterTest, StopsOnTheFirstResultThatIsNotProcessed)
{
    addCounting({ "w" }, CVNOptionResult::Wait);
    addCounting({ "p" }, CVNOptionResult::Processed);
    CVNPendingOptionList list = parsed({ "-p", "-w", "-p" });
    executer.exec(result, list, context);
    EXPECT_EQ(result, CVNOptionResult::Wait);
    EXPECT_EQ(seen.size(), 2);
    EXPECT_EQ(list.names(), QStringList{ "p" });
}

TEST_F(ExecuterTest, LaterOptionWithTheSameNameWinsAndCallbackFormsWork)
{
    addCounting({ "s", "same" }, CVNOptionResult::Error);
    QString optionName;
    executer.addOption(new CVNCommandLineOptionCallback(
        { "same" }, "second", QString(),
        [&optionName](int& r, const QStringList&, CVNCommandLineContext&, CVNCommandLineOptionCallback& option) {
            optionName = option.description();
            r = CVNOptionResult::Stopped;
        }));
    executer.addOption(new CVNCommandLineOptionCallback({ "n" }, QString(), QString(), CVNCommandLineOptionCallback::Function()));

    CVNPendingOptionList list = parsed({ "--same", "-s", "-n" });
    executer.executeOne(result, list, context);
    EXPECT_EQ(result, CVNOptionResult::Stopped);
    EXPECT_EQ(optionName, "second");
    executer.executeOne(result, list, context);
    EXPECT_EQ(result, CVNOptionResult::Error);
    executer.executeOne(result, list, context);
    EXPECT_EQ(result, CVNOptionResult::Error) << "a callback option without a function fails";
    executer.executeOne(result, list, context);
    EXPECT_EQ(result, CVNOptionResult::Finished);
}

TEST_F(ExecuterTest, EntityOptionPrintsTheTextAndDetectsErrors)
{
    TextEntity good("device-list", "two devices");
    TextEntity bad("bad", "Read ERROR on device");
    TextEntity silent("silent", QString());
    executer.addOption(new CVNCommandLineOptionEntity(&good, { "l" }));
    executer.addOption(new CVNCommandLineOptionEntity(&bad));
    executer.addOption(new CVNCommandLineOptionEntity(&silent));
    EXPECT_EQ(executer.options().front()->names(), (QStringList{ "l", "device-list" }));
    EXPECT_EQ(executer.options().front()->description(), "Text entity");

    CVNPendingOptionList list = parsed({ "-l", "x", "y", "--bad", "--silent" });
    list.first().fileOperations.insert("/tmp/f", CVNFileOperation());
    executer.executeOne(result, list, context);
    EXPECT_EQ(result, CVNOptionResult::Processed);
    EXPECT_EQ(good.arguments, (QStringList{ "x", "y" }));
    EXPECT_TRUE(good.files.contains("/tmp/f"));
    for (int i = 0; i < 2; ++i) {
        executer.executeOne(result, list, context);
        EXPECT_EQ(result, CVNOptionResult::Error);
    }
    context.stream.flush();
    EXPECT_EQ(context.text, "two devices\nRead ERROR on device\n\n");
}

#include "testcontext.h"

#include "cli/commandlineexecuter.h"
#include "cli/commandlineoptioncallback.h"
#include "cli/commandlineoptionentity.h"
#include "interface/entity.h"

#include <gtest/gtest.h>

namespace {
// An entity whose command-line text is fixed by the test; it records what it got.
class TextEntity : public Entity
{
public:
    TextEntity(const QString& command, const QString& reply)
        : Entity(QStringLiteral("text_entity"), QStringLiteral("Text entity"), command)
        , m_reply(reply)
    {
    }
    QString typeName() const override { return QStringLiteral("Text"); }
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

CVNPendingOptionList parsed(const QStringList& words)
{
    CVNPendingOptionList list;
    EXPECT_TRUE(list.parse(QStringList{ QStringLiteral("prog") } + words));
    return list;
}

CVNCommandLineOptionCallback* counting(const QStringList& names, QStringList& seen, int answer)
{
    return new CVNCommandLineOptionCallback(
        names, QStringLiteral("counts"), QString(),
        [&seen, answer](int& result, const QStringList& values, CVNCommandLineContext&) {
            seen.append(values.join(QLatin1Char(',')));
            result = answer;
        });
}
}

TEST(CommandLineExecuter, ShortAndLongNamesSelectTheSameOption)
{
    QStringList seen;
    CVNCommandLineExecuter executer(QStringLiteral("Service"));
    executer.addOption(counting({ "i", "install" }, seen, CVNOptionResult::Processed));
    TestContext context;
    CVNPendingOptionList list = parsed({ "-i", "a", "--install", "b" });
    int result = 0;
    executer.exec(result, list, context);
    EXPECT_EQ(result, CVNOptionResult::Finished);
    EXPECT_EQ(seen, (QStringList{ "a", "b" }));
    EXPECT_TRUE(list.isEmpty());
}

TEST(CommandLineExecuter, UnknownOptionLeavesTheListForTheNextExecuter)
{
    QStringList seen;
    CVNCommandLineExecuter executer(QStringLiteral("Service"));
    executer.addOption(counting({ "h", "help" }, seen, CVNOptionResult::Processed));
    TestContext context;
    CVNPendingOptionList list = parsed({ "-h", "--host", "10.0.0.7", "-h" });
    int result = 0;
    executer.exec(result, list, context);
    EXPECT_EQ(result, CVNOptionResult::NotFound);
    EXPECT_EQ(list.names(), (QStringList{ "host", "h" }));
    EXPECT_EQ(list.first().values, QStringList{ "10.0.0.7" });
}

TEST(CommandLineExecuter, StopsOnTheFirstResultThatIsNotProcessed)
{
    QStringList seen;
    CVNCommandLineExecuter executer(QStringLiteral("Service"));
    executer.addOption(counting({ "w" }, seen, CVNOptionResult::Wait));
    executer.addOption(counting({ "p" }, seen, CVNOptionResult::Processed));
    TestContext context;
    CVNPendingOptionList list = parsed({ "-p", "-w", "-p" });
    int result = 0;
    executer.exec(result, list, context);
    EXPECT_EQ(result, CVNOptionResult::Wait);
    EXPECT_EQ(seen.size(), 2);
    EXPECT_EQ(list.names(), QStringList{ "p" });
}

TEST(CommandLineExecuter, LaterOptionWithTheSameNameWinsAndCallbackFormsWork)
{
    QStringList seen;
    CVNCommandLineExecuter executer(QStringLiteral("Session"));
    executer.addOption(counting({ "s", "same" }, seen, CVNOptionResult::Error));
    QString optionName;
    executer.addOption(new CVNCommandLineOptionCallback(
        { "same" }, QStringLiteral("second"), QString(),
        [&optionName](int& result, const QStringList&, CVNCommandLineContext&, CVNCommandLineOptionCallback& option) {
            optionName = option.description();
            result = CVNOptionResult::Stopped;
        }));
    executer.addOption(
        new CVNCommandLineOptionCallback({ "n" }, QString(), QString(), CVNCommandLineOptionCallback::Function()));
    TestContext context;

    CVNPendingOptionList list = parsed({ "--same", "-s", "-n" });
    int result = 0;
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

TEST(CommandLineOptionEntity, PrintsTheTextAndDetectsErrors)
{
    TextEntity good(QStringLiteral("device-list"), QStringLiteral("two devices"));
    TextEntity bad(QStringLiteral("bad"), QStringLiteral("Read ERROR on device"));
    TextEntity silent(QStringLiteral("silent"), QString());
    CVNCommandLineExecuter executer(QStringLiteral("Device"));
    executer.addOption(new CVNCommandLineOptionEntity(&good, { "l" }));
    executer.addOption(new CVNCommandLineOptionEntity(&bad));
    executer.addOption(new CVNCommandLineOptionEntity(&silent));
    EXPECT_EQ(executer.options().front()->names(), (QStringList{ "l", "device-list" }));
    EXPECT_EQ(executer.options().front()->description(), "Text entity");

    TestContext context;
    CVNPendingOptionList list = parsed({ "-l", "x", "y", "--bad", "--silent" });
    CVNFileOperation request;
    list.first().fileOperations.insert(QStringLiteral("/tmp/f"), request);
    int result = 0;
    executer.executeOne(result, list, context);
    EXPECT_EQ(result, CVNOptionResult::Processed);
    EXPECT_EQ(good.arguments, (QStringList{ "x", "y" }));
    EXPECT_TRUE(good.files.contains(QStringLiteral("/tmp/f")));
    executer.executeOne(result, list, context);
    EXPECT_EQ(result, CVNOptionResult::Error);
    executer.executeOne(result, list, context);
    EXPECT_EQ(result, CVNOptionResult::Error);
    EXPECT_EQ(context.text(), "two devices\nRead ERROR on device\n\n");
}

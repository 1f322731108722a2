// The device executer's rules for text commands of the selected device.
#include "cli/optionresult.h"
#include "cli/pendingoption.h"
#include "interface/deviceinterface.h"
#include "interface/entity.h"
#include "server/commandlinedeviceexecuter.h"
#include "server/optionhelpdevice.h"

#include <QTextStream>
#include <gtest/gtest.h>

namespace {

// Answers a fixed text; with `asksFile` it records a file request the first
// time, as file upload commands do.
class ScriptedEntity : public CVNProperty
{
public:
    ScriptedEntity(const QString& command, const QString& text, bool asksFile = false,
                   const QString& description = QString())
        : CVNProperty(command, description, command, 3), m_text(text), m_asksFile(asksFile)
    {
    }
    QString typeName() const override { return "String"; }
    QString execute(CVNEntityContext& context) override
    {
        if (m_asksFile && context.fileTable.isEmpty()) {
            context.fileTable.insert("/tmp/a.set", CVNFileOperation());
            return QString();
        }
        context.fileTable.clear();
        return m_text;
    }
    QString argumentHint() const override { return "0..7"; }
    void setValue(const QJsonValue&) override {}
    QJsonValue value() override { return m_text; }

private:
    QString m_text;
    bool m_asksFile;
};

struct DeviceExecuterTest : ::testing::Test
{
    CVNDeviceInterface device{"root", nullptr};
    QString printed;
    QTextStream out{&printed};

    void SetUp() override
    {
        device.addEntity("bad", new ScriptedEntity("bad", "Device ERROR 7"));
        device.addEntity("plain", new ScriptedEntity("plain", "error"));
        device.addEntity("upload", new ScriptedEntity("upload", "File uploaded", true));
    }

    CVNPendingOptionList options(const QList<QPair<QString, QStringList>>& list)
    {
        CVNPendingOptionList result;
        for (const auto& entry : list)
            result.append(CVNPendingOption{CVNPendingOption::Long, entry.first, entry.second, {}});
        return result;
    }

    int run(CVNPendingOptionList& list)
    {
        const int result = CVNCommandLineDeviceExecuter::runDeviceCommand(device, list, out);
        out.flush();
        return result;
    }
};

// Known words and unknown ones run end to end; these are the failure texts a
// controller can answer.
TEST_F(DeviceExecuterTest, DeviceErrorsAreReportedAndABareErrorIsNotFound)
{
    CVNPendingOptionList list = options({{"plain", {}}});
    EXPECT_EQ(run(list), CVNOptionResult::NotFound);
    EXPECT_EQ(list.size(), 1);
    EXPECT_TRUE(printed.isEmpty());

    list = options({{"bad", {}}});
    EXPECT_EQ(run(list), CVNOptionResult::Error);
    EXPECT_EQ(printed, "bad: Device ERROR 7\n");
    EXPECT_EQ(list.size(), 1);
}

TEST_F(DeviceExecuterTest, FileRequestTravelsWithThePendingOption)
{
    CVNPendingOptionList list = options({{"upload", {"/tmp/a.set"}}});
    EXPECT_EQ(run(list), CVNOptionResult::FileOperation);
    ASSERT_EQ(list.size(), 1);
    EXPECT_TRUE(list.first().fileOperations.contains("/tmp/a.set"));
    EXPECT_EQ(list.first().values, QStringList{"/tmp/a.set"});
    EXPECT_TRUE(printed.isEmpty());

    // The client supplied the file: the command completes.
    list.first().fileOperations["/tmp/a.set"] = CVNFileOperation{"data", "File read successful"};
    EXPECT_EQ(run(list), CVNOptionResult::Processed);
    EXPECT_EQ(printed, QStringLiteral("upload: File uploaded\n"));
    EXPECT_TRUE(list.isEmpty());
}

// The padded line is checked by the server integration tests.
TEST(DeviceHelpLine, LongCommandWordsWrapLikeOptionHelp)
{
    ScriptedEntity longOne("a-command-word-long-enough-to-wrap", QString(), false, "Wrapped.");
    EXPECT_EQ(CVNOptionHelpDevice::entityLine(&longOne),
              QString(" --a-command-word-long-enough-to-wrap [0..7] \n") + QString("Wrapped.").rightJustified(92));
}

} // namespace

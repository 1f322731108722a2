// The web console in a real browser: Debian's headless Chromium, driven by
// puppeteer-core (browser/console_cases.mjs), against the real service on
// two simulated controllers with quiet sensors. Each case keeps a
// screenshot in BUILD/webconsole-shots/.

#include "runningservice.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

const QString kBuildDir = QStringLiteral(CORVANE_BIN_DIR "/..");
const QString kScript = QStringLiteral(CORVANE_SOURCE_DIR "/tests/integration/e2e/browser/console_cases.mjs");

QString chromium()
{
    const QString configured = qEnvironmentVariable("CORVANE_CHROMIUM");
    if (!configured.isEmpty())
        return configured;
    return QStandardPaths::findExecutable(QStringLiteral("chromium"));
}

class WebConsoleBrowser : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_modules = kBuildDir + QStringLiteral("/npm-puppeteer/node_modules");
        m_node = QStandardPaths::findExecutable(QStringLiteral("node"));
        if (chromium().isEmpty() || m_node.isEmpty())
            GTEST_SKIP() << "chromium or node is not installed (scripts/deps installs them)";
        if (!QFileInfo::exists(m_modules + QStringLiteral("/puppeteer-core/package.json")))
            GTEST_SKIP() << "puppeteer-core is not installed (scripts/puppeteer BUILD installs it)";
        ASSERT_TRUE(m_service.start());
        const ToolRun enable = m_service.tool({ QStringLiteral("--web-console"), QStringLiteral("true") });
        ASSERT_EQ(enable.exitCode, 0) << qPrintable(enable.output);
        const ToolRun shown = m_service.tool({ QStringLiteral("--web-console") });
        const QRegularExpressionMatch url
            = QRegularExpression(QStringLiteral("Open (http://127\\.0\\.0\\.1:\\d+/[0-9a-f]{64}/)")).match(shown.output);
        ASSERT_TRUE(url.hasMatch()) << qPrintable(shown.output);
        m_url = url.captured(1);
    }

    // Runs one case of the script; its last line says how it went.
    void runCase(const QString& name)
    {
        QProcess node;
        node.setProcessChannelMode(QProcess::MergedChannels);
        node.start(m_node, { kScript, name, QStringLiteral("--url"), m_url, QStringLiteral("--chromium"), chromium(),
                             QStringLiteral("--modules"), m_modules, QStringLiteral("--shots"),
                             kBuildDir + QStringLiteral("/webconsole-shots"), QStringLiteral("--sim"),
                             QStringLiteral(CORVANE_BIN_DIR "/corvane-sim"), QStringLiteral("--socket"),
                             m_service.sim().socketPath(), QStringLiteral("--serial"), RunningService::kVasta,
                             QStringLiteral("--other"), RunningService::kTwinPoint });
        ASSERT_TRUE(node.waitForStarted(10000));
        if (!node.waitForFinished(100000)) {
            node.kill();
            node.waitForFinished(5000);
            FAIL() << "browser case " << qPrintable(name) << " did not end: " << node.readAll().constData();
        }
        const QString output = QString::fromUtf8(node.readAll());
        EXPECT_EQ(node.exitCode(), 0) << qPrintable(output);
        EXPECT_TRUE(output.contains(QStringLiteral("ok ") + name)) << qPrintable(output);
    }

    RunningService m_service{ { QStringLiteral("vasta:") + RunningService::kVasta + QStringLiteral(":2.005,timeline=off"),
                                QStringLiteral("twinpoint:") + RunningService::kTwinPoint
                                    + QStringLiteral(":2.005,timeline=off") } };
    QString m_node;
    QString m_modules;
    QString m_url;
};

} // namespace

TEST_F(WebConsoleBrowser, LoadsWithItsTokenAndRefusesWithout) { runCase(QStringLiteral("token")); }

TEST_F(WebConsoleBrowser, ListsBothControllersAndFollowsAnUnplug) { runCase(QStringLiteral("controllers")); }

TEST_F(WebConsoleBrowser, FingerShowsOnTheHeatMapWithItsIdentifier) { runCase(QStringLiteral("touch")); }

TEST_F(WebConsoleBrowser, ThresholdWrittenFromTheFormReachesTheController)
{
    runCase(QStringLiteral("write"));
    EXPECT_TRUE(m_service.sim().trafficHas(RunningService::kVasta + QStringLiteral(" th 55 -> 55")));
    EXPECT_EQ(m_service.sim().registerValue(RunningService::kVasta, QStringLiteral("th")), QStringLiteral("55"));
}

TEST_F(WebConsoleBrowser, GridTestMarksTheDamagedColumn) { runCase(QStringLiteral("gridtest")); }

TEST_F(WebConsoleBrowser, TuningWizardLeadsThroughEveryStep) { runCase(QStringLiteral("tuning")); }

#include "qtprinters.h"

#include "service/serviceunit.h"

#include <QFile>
#include <gtest/gtest.h>

TEST(ServiceUnit, AccountsBecomeUserNames)
{
    EXPECT_EQ(CVNServiceUnit::userForAccount(QString()), QString());
    EXPECT_EQ(CVNServiceUnit::userForAccount(QStringLiteral("LocalSystem")), QString());
    EXPECT_EQ(CVNServiceUnit::userForAccount(QStringLiteral(".\\LocalSystem")), QString());
    EXPECT_EQ(CVNServiceUnit::userForAccount(QStringLiteral(".\\corvane")), QStringLiteral("corvane"));
    EXPECT_EQ(CVNServiceUnit::userForAccount(QStringLiteral("LAB\\svc-touch")), QStringLiteral("svc-touch"));
    EXPECT_EQ(CVNServiceUnit::userForAccount(QStringLiteral("corvane")), QStringLiteral("corvane"));
}

TEST(ServiceUnit, AccountsThatCouldBreakTheUnitAreRefused)
{
    for (const QString& account : { QStringLiteral("bob\nExecStartPre=/bin/sh"), QStringLiteral("bob smith"),
             QStringLiteral("-bob"), QStringLiteral("bob=1"), QString(33, QLatin1Char('a')) })
        EXPECT_FALSE(CVNServiceUnit::userForAccount(account).has_value()) << qPrintable(account);
}

TEST(ServiceUnit, ExecStartQuotesWhatSystemdWouldInterpret)
{
    EXPECT_EQ(CVNServiceUnit::execStart(QStringLiteral("/usr/bin/CorvaneService")),
        QStringLiteral("/usr/bin/CorvaneService -e"));
    EXPECT_EQ(CVNServiceUnit::execStart(QStringLiteral("/opt/my tools/Corvane 100%")),
        QStringLiteral("\"/opt/my tools/Corvane 100%%\" -e"));
    EXPECT_EQ(CVNServiceUnit::execStart(QStringLiteral("/opt/a\"b\\$HOME")),
        QStringLiteral("\"/opt/a\\\"b\\\\$$HOME\" -e"));
    EXPECT_FALSE(CVNServiceUnit::execStart(QStringLiteral("relative/CorvaneService")).has_value());
    EXPECT_FALSE(CVNServiceUnit::execStart(QStringLiteral("/opt/x\nExecStartPre=/bin/sh")).has_value());
    EXPECT_FALSE(CVNServiceUnit::execStart(QString()).has_value());
}

TEST(ServiceUnit, DescriptionStaysOnOneLine)
{
    const QString text = CVNServiceUnit::text(
        QStringLiteral("Touch 100%\n[Service]"), QStringLiteral("/usr/bin/CorvaneService -e"), QString());
    EXPECT_TRUE(text.startsWith(QStringLiteral("[Unit]\nDescription=Touch 100%% [Service]\n")));
    EXPECT_EQ(text.count(QStringLiteral("\n[Service]\n")), 1);
}

TEST(ServiceUnit, ShippedUnitIsTheOneInstallWritesForTheInstalledProgram)
{
    QFile shipped(QStringLiteral(CORVANE_SOURCE_DIR "/packaging/CorvaneService.service"));
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    const std::optional<QString> execStart
        = CVNServiceUnit::execStart(QStringLiteral("/usr/bin/CorvaneService"));
    ASSERT_TRUE(execStart.has_value());
    const QString description = QStringLiteral(
        "Corvane Service application, the centralized application to communicate with Corvane devices");
    EXPECT_EQ(QString::fromUtf8(shipped.readAll()), CVNServiceUnit::text(description, *execStart, QString()));
}

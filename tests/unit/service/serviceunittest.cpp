#include "qtprinters.h"

#include "service/serviceunit.h"

#include <QFile>
#include <gtest/gtest.h>

TEST(ServiceUnit, AccountsBecomeUserNamesOrAreRefused)
{
    const QList<QPair<QString, QString>> users { { "", "" }, { "LocalSystem", "" }, { ".\\LocalSystem", "" },
        { "NT AUTHORITY\\LocalSystem", "" }, { ".\\corvane", "corvane" }, { "LAB\\svc-touch", "svc-touch" },
        { "corvane", "corvane" } };
    for (const auto& user : users)
        EXPECT_EQ(CVNServiceUnit::userForAccount(user.first), user.second) << qPrintable(user.first);
    // Anything that could break the unit file.
    for (const QString& account :
        QStringList { "bob\nExecStartPre=/bin/sh", "bob smith", "-bob", "bob=1", QString(33, QLatin1Char('a')) })
        EXPECT_FALSE(CVNServiceUnit::userForAccount(account).has_value()) << qPrintable(account);
}

TEST(ServiceUnit, ExecStartQuotesWhatSystemdWouldInterpret)
{
    EXPECT_EQ(CVNServiceUnit::execStart("/usr/bin/CorvaneService"), QString("/usr/bin/CorvaneService -e"));
    EXPECT_EQ(CVNServiceUnit::execStart("/opt/my tools/Corvane 100%"), QString("\"/opt/my tools/Corvane 100%%\" -e"));
    EXPECT_EQ(CVNServiceUnit::execStart("/opt/a\"b\\$HOME"), QString("\"/opt/a\\\"b\\\\$$HOME\" -e"));
    for (const QString& refused : { "relative/CorvaneService", "/opt/x\nExecStartPre=/bin/sh", "" })
        EXPECT_FALSE(CVNServiceUnit::execStart(refused).has_value()) << qPrintable(refused);
}

TEST(ServiceUnit, DescriptionStaysOnOneLine)
{
    const QString text = CVNServiceUnit::text("Touch 100%\n[Service]", "/usr/bin/CorvaneService -e", QString());
    EXPECT_TRUE(text.startsWith("[Unit]\nDescription=Touch 100%% [Service]\n"));
    EXPECT_EQ(text.count("\n[Service]\n"), 1);
}

TEST(ServiceUnit, ShippedUnitIsTheOneInstallWritesForTheInstalledProgram)
{
    QFile shipped(CORVANE_SOURCE_DIR "/packaging/CorvaneService.service");
    ASSERT_TRUE(shipped.open(QIODevice::ReadOnly));
    const std::optional<QString> execStart = CVNServiceUnit::execStart("/usr/bin/CorvaneService");
    ASSERT_TRUE(execStart.has_value());
    const QString description
        = "Corvane Service application, the centralized application to communicate with Corvane devices";
    EXPECT_EQ(QString::fromUtf8(shipped.readAll()), CVNServiceUnit::text(description, *execStart, QString()));
}

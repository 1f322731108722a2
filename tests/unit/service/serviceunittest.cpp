#include "qtprinters.h"

#include "service/serviceunit.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
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
    EXPECT_EQ(QString::fromUtf8(shipped.readAll()), CVNServiceUnit::text(description, *execStart, "corvane"));
}

// Every unit runs the service confined, whoever it runs as.
TEST(ServiceUnit, UnitsAreSandboxed)
{
    const QStringList always = { "\nSupplementaryGroups=plugdev\n", "\nNoNewPrivileges=yes\n",
        "\nProtectSystem=strict\n", "\nPrivateTmp=yes\n", "\nStateDirectory=CorvaneService\n",
        "\nEnvironment=XDG_CONFIG_HOME=%S/CorvaneService\n",
        "\nRestrictAddressFamilies=AF_UNIX AF_INET AF_INET6 AF_NETLINK\n", "\nDeviceAllow=char-hidraw rw\n",
        "\nDeviceAllow=char-usb_device rw\n" };
    struct Case {
        QString user;
        bool underHome;
        QString identity;
        QString home;
    };
    for (const Case& c : { Case { "corvane", false, "\nUser=corvane\n", "\nProtectHome=yes\n" },
             Case { "", false, "\nDynamicUser=yes\n", "\nProtectHome=yes\n" },
             Case { "bob", true, "\nUser=bob\n", "\nProtectHome=read-only\n" } }) {
        const QString text = CVNServiceUnit::text("d", "/x -e", c.user, c.underHome);
        for (const QString& line : always + QStringList { c.identity, c.home })
            EXPECT_TRUE(text.contains(line)) << qPrintable(line) << " in\n" << qPrintable(text);
        EXPECT_EQ(text.count("User="), 1) << qPrintable(text);
    }
    EXPECT_TRUE(CVNServiceUnit::isUnderHome("/home/ann/build/bin/CorvaneService"));
    EXPECT_TRUE(CVNServiceUnit::isUnderHome("/root/CorvaneService"));
    EXPECT_FALSE(CVNServiceUnit::isUnderHome("/usr/bin/CorvaneService"));
    EXPECT_FALSE(CVNServiceUnit::isUnderHome("/homely/CorvaneService"));
}

// The exposure systemd sees in the shipped unit (README shows the figure).
TEST(ServiceUnit, ShippedUnitExposureIsLow)
{
    const QString analyze = QStandardPaths::findExecutable("systemd-analyze");
    if (analyze.isEmpty())
        GTEST_SKIP() << "systemd-analyze is not installed (scripts/deps installs it)";
    QProcess process;
    process.start(analyze, { "security", "--offline=true", "--no-pager", CORVANE_SOURCE_DIR "/packaging/CorvaneService.service" });
    ASSERT_TRUE(process.waitForFinished(60000));
    const QString output = QString::fromUtf8(process.readAllStandardOutput());
    const QRegularExpressionMatch level
        = QRegularExpression("Overall exposure level for CorvaneService\\.service: ([0-9.]+)").match(output);
    ASSERT_TRUE(level.hasMatch()) << qPrintable(output) << qPrintable(process.readAllStandardError());
    EXPECT_LE(level.captured(1).toDouble(), 2.0) << qPrintable(output);
}

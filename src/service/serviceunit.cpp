#include "service/serviceunit.h"

#include <QRegularExpression>

namespace
{

bool hasControlCharacter(const QString& value)
{
    for (const QChar c : value) {
        if (c.category() == QChar::Other_Control)
            return true;
    }
    return false;
}

// Characters that can stand in ExecStart= without quotes.
bool isPlainPathCharacter(QChar c)
{
    return c.isLetterOrNumber() || QStringLiteral("/._+-,:@").contains(c);
}

// The service listens on the network when allowed, so it runs with the
// least it needs: its own user in the device group, no privileges to gain,
// the file system read-only but for its state folder, and only the address
// families of its clients (UNIX, IPv4, IPv6) and of the device events
// (netlink). Device nodes: the HID channel (hidraw) and the bulk channel
// and firmware update (USB device nodes).
const char* const kSandbox = R"(SupplementaryGroups=plugdev
# The settings (QSettings, under XDG_CONFIG_HOME) live in the state folder,
# the one place the service may write to.
StateDirectory=CorvaneService
StateDirectoryMode=0750
Environment=XDG_CONFIG_HOME=%S/CorvaneService
UMask=0077
NoNewPrivileges=yes
CapabilityBoundingSet=
AmbientCapabilities=
ProtectSystem=strict
ProtectHome=%1
PrivateTmp=yes
PrivateMounts=yes
ProtectProc=invisible
ProtectKernelTunables=yes
ProtectKernelModules=yes
ProtectKernelLogs=yes
ProtectControlGroups=yes
ProtectClock=yes
ProtectHostname=yes
RestrictNamespaces=yes
RestrictRealtime=yes
RestrictSUIDSGID=yes
LockPersonality=yes
MemoryDenyWriteExecute=yes
RemoveIPC=yes
SystemCallArchitectures=native
SystemCallFilter=@system-service
SystemCallFilter=~@privileged @resources
SystemCallErrorNumber=EPERM
RestrictAddressFamilies=AF_UNIX AF_INET AF_INET6 AF_NETLINK
DevicePolicy=closed
DeviceAllow=char-hidraw rw
DeviceAllow=char-usb_device rw
)";

} // namespace

std::optional<QString> CVNServiceUnit::userForAccount(const QString& account)
{
    QString name = account.trimmed();
    const int slash = name.lastIndexOf(QLatin1Char('\\'));
    if (slash >= 0)
        name = name.mid(slash + 1);
    if (name.isEmpty() || name.compare(QLatin1String("LocalSystem"), Qt::CaseInsensitive) == 0)
        return QString();
    static const QRegularExpression validName(QStringLiteral("^[A-Za-z_][A-Za-z0-9_.-]*\\$?$"));
    if (name.size() > kMaxAccountLength || !validName.match(name).hasMatch())
        return std::nullopt;
    return name;
}

std::optional<QString> CVNServiceUnit::execStart(const QString& programPath)
{
    if (programPath.isEmpty() || !programPath.startsWith(QLatin1Char('/'))
        || programPath.size() > kMaxProgramPathLength || hasControlCharacter(programPath))
        return std::nullopt;
    bool plain = true;
    for (const QChar c : programPath)
        plain = plain && isPlainPathCharacter(c);
    QString program = escapeSpecifiers(programPath);
    // systemd expands $NAME in command lines; "$$" is a literal dollar sign.
    program.replace(QLatin1Char('$'), QLatin1String("$$"));
    if (!plain) {
        program.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
        program.replace(QLatin1Char('"'), QLatin1String("\\\""));
        program = QLatin1Char('"') + program + QLatin1Char('"');
    }
    return program + QLatin1String(" -e");
}

bool CVNServiceUnit::isUnderHome(const QString& programPath)
{
    for (const char* home : { "/home/", "/root/", "/run/user/" }) {
        if (programPath.startsWith(QLatin1String(home)))
            return true;
    }
    return false;
}

QString CVNServiceUnit::escapeSpecifiers(QString value)
{
    return value.replace(QLatin1Char('%'), QLatin1String("%%"));
}

QString CVNServiceUnit::text(const QString& description, const QString& execStart, const QString& user, bool programUnderHome)
{
    QString oneLine = description.simplified();
    QString unit;
    unit += QLatin1String("[Unit]\n");
    unit += QLatin1String("Description=") + escapeSpecifiers(oneLine) + QLatin1Char('\n');
    unit += QLatin1String("After=network.target\n\n");
    unit += QLatin1String("[Service]\n");
    unit += QLatin1String("Type=notify\n");
    unit += QLatin1String("ExecStart=") + execStart + QLatin1Char('\n');
    unit += QLatin1String("Restart=on-failure\n");
    // Without an account of its own, systemd lends the service one for as
    // long as it runs.
    if (user.isEmpty())
        unit += QLatin1String("DynamicUser=yes\n");
    else
        unit += QLatin1String("User=") + user + QLatin1Char('\n');
    // A program in a home folder must stay reachable to be started at all.
    unit += QString::fromLatin1(kSandbox).arg(programUnderHome ? QLatin1String("read-only") : QLatin1String("yes"));
    unit += QLatin1String("\n[Install]\n");
    unit += QLatin1String("WantedBy=multi-user.target\n");
    return unit;
}

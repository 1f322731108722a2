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

QString CVNServiceUnit::escapeSpecifiers(QString value)
{
    return value.replace(QLatin1Char('%'), QLatin1String("%%"));
}

QString CVNServiceUnit::text(const QString& description, const QString& execStart, const QString& user)
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
    if (!user.isEmpty())
        unit += QLatin1String("User=") + user + QLatin1Char('\n');
    unit += QLatin1String("\n[Install]\n");
    unit += QLatin1String("WantedBy=multi-user.target\n");
    return unit;
}

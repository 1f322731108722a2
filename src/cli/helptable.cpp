#include "cli/helptable.h"

#include "cli/commandlineoption.h"

#include <QJsonObject>
#include <QTextStream>

QString CVNHelp::line(const QStringList& names, const QString& syntax, const QString& description)
{
    QString shortName = QStringLiteral("  ");
    QString separator = QStringLiteral(" ");
    QString longName;
    if (names.size() == 1) {
        if (names.first().size() == 1)
            shortName = QLatin1Char('-') + names.first();
        else
            longName = QStringLiteral("--") + names.first();
    } else if (names.size() >= 2) {
        shortName = QLatin1Char('-') + names.at(0);
        separator = QStringLiteral(",");
        longName = QStringLiteral("--") + names.at(1);
    }
    QString text = QStringLiteral("  %1%2 %3").arg(shortName, separator, longName);
    if (!syntax.isEmpty())
        text += (syntax.contains(QLatin1Char(' ')) ? QLatin1Char(' ') : QLatin1Char('=')) + syntax;
    text = text.leftJustified(kDescriptionColumn, QLatin1Char(' '));
    if (!text.endsWith(QLatin1Char(' ')))
        text += QLatin1Char(' ');
    if (text.size() > kDescriptionColumn)
        return text + QLatin1Char('\n') + QStringLiteral("%1").arg(description, kWrappedDescriptionWidth);
    return text + description;
}

QString CVNHelp::line(const CVNCommandLineOption& option)
{
    return line(option.names(), option.syntax(), option.description());
}

void CVNHelp::merge(CVNHelpTable& into, const CVNHelpTable& from)
{
    for (auto it = from.cbegin(); it != from.cend(); ++it)
        into[it.key()] += it.value();
}

namespace {
void printModule(QTextStream& out, const QString& name, const QStringList& lines)
{
    out << "\n" << name << ":\n";
    for (const QString& text : lines)
        out << text << "\n";
}
}

void CVNHelp::print(QTextStream& out, CVNHelpTable table)
{
    static const QStringList kFirstModules = { QStringLiteral("Service"), QStringLiteral("Connection"),
                                               QStringLiteral("Device"), QStringLiteral("Session") };
    for (const QString& name : kFirstModules)
        printModule(out, name, table.take(name));
    for (auto it = table.cbegin(); it != table.cend(); ++it)
        printModule(out, it.key(), it.value());
}

QJsonArray CVNHelp::toJson(const CVNHelpTable& table)
{
    QJsonArray array;
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        QJsonObject module;
        module.insert(QStringLiteral("module"), it.key());
        module.insert(QStringLiteral("options"), QJsonArray::fromStringList(it.value()));
        array.append(module);
    }
    return array;
}

void CVNHelp::appendFromJson(CVNHelpTable& table, const QJsonArray& array)
{
    for (const QJsonValue& value : array) {
        if (!value.isObject())
            continue;
        const QJsonObject module = value.toObject();
        QStringList& lines = table[module.value(QStringLiteral("module")).toString()];
        for (const QJsonValue& text : module.value(QStringLiteral("options")).toArray())
            lines.append(text.toString());
    }
}

#pragma once

#include <QJsonArray>
#include <QMap>
#include <QString>
#include <QStringList>

class CVNCommandLineOption;
class QTextStream;

// Module name ("Service", "Connection", ...) -> help lines of its options.
// A map, so that modules outside the fixed order print in a stable order.
using CVNHelpTable = QMap<QString, QStringList>;

namespace CVNHelp {
// Column of the descriptions and width of a description moved to its own line.
constexpr int kDescriptionColumn = 40;
constexpr int kWrappedDescriptionWidth = 92;

// "  -x, --name=SYNTAX" padded to the description column, then the description
// (on its own line, right-aligned, when the names do not fit).
QString line(const QStringList& names, const QString& syntax, const QString& description);
QString line(const CVNCommandLineOption& option);

// Appends the lines of every module of `from` to `into`.
void merge(CVNHelpTable& into, const CVNHelpTable& from);

// "Service", "Connection", "Device", "Session" first (always, even without
// lines), then the other modules: "\n" NAME ":\n" and one line per option.
void print(QTextStream& out, CVNHelpTable table);

// [{"module": name, "options": [lines]}]
QJsonArray toJson(const CVNHelpTable& table);
// Appends the lines of every object to the module's entry; other entries are skipped.
void appendFromJson(CVNHelpTable& table, const QJsonArray& array);
}

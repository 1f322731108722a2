#pragma once

#include "interface/filetable.h"

#include <QJsonArray>
#include <QList>
#include <QString>
#include <QStringList>

// One option as the user wrote it, waiting to be executed.
struct CVNPendingOption
{
    enum Dash : int { Short = 0, Long = 1 };

    int dash = Short;          // Short: "-x", Long: "--name"
    QString name;              // without dashes and without "=value"
    QStringList values;
    CVNFileTable fileOperations;  // files travelling with the option between client and service

    bool operator==(const CVNPendingOption& o) const
    {
        return dash == o.dash && name == o.name && values == o.values && fileOperations == o.fileOperations;
    }
};

// The options of one command line in the order given, plus the parse error
// text (empty when parsing succeeded).
class CVNPendingOptionList
{
public:
    // Parses process arguments; the first entry (the program name) is skipped.
    // Replaces the current content. On failure error() holds the accumulated
    // texts (" Malformed option.", " Empty option.", " Malformed dash option.").
    [[nodiscard]] bool parse(const QStringList& arguments);

    // The "parser" array of a "cli" request: [{"option", "dash" (1 short,
    // 2 long), "values", "file_operations" [{"filename", "data" (Base64),
    // "result", "operation" ("read" or "write", absent from older peers)}]}].
    QJsonArray toJson() const;
    // Replaces the content with the options of a "parser" array. Entries that
    // are not objects are skipped; missing members read as empty.
    void fromJson(const QJsonArray& array);

    bool isEmpty() const { return m_options.isEmpty(); }
    int size() const { return m_options.size(); }
    CVNPendingOption& first() { return m_options.first(); }
    const CVNPendingOption& first() const { return m_options.first(); }
    CVNPendingOption takeFirst() { return m_options.takeFirst(); }
    void prepend(const CVNPendingOption& option) { m_options.prepend(option); }
    void append(const CVNPendingOption& option) { m_options.append(option); }
    void clear() { m_options.clear(); m_error.clear(); }
    const QList<CVNPendingOption>& options() const { return m_options; }
    // Names of the options, for "not executed" reports.
    QStringList names() const;

    QString error() const { return m_error; }
    void setError(const QString& error) { m_error = error; }

private:
    QList<CVNPendingOption> m_options;
    QString m_error;
};

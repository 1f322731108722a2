#pragma once

#include "cli/helptable.h"

#include <QHash>
#include <QString>
#include <memory>
#include <vector>

class CVNCommandLineContext;
class CVNCommandLineOption;
class CVNPendingOptionList;

// A named group of options ("Service", "Connection", "Device", "Session")
// that consumes pending options one at a time.
class CVNCommandLineExecuter
{
public:
    CVNCommandLineExecuter(const QString& name, const QString& version = QString());
    virtual ~CVNCommandLineExecuter();

    CVNCommandLineExecuter(const CVNCommandLineExecuter&) = delete;
    CVNCommandLineExecuter& operator=(const CVNCommandLineExecuter&) = delete;

    // Repeats executeOne while it answers Processed.
    virtual void exec(int& result, CVNPendingOptionList& options, CVNCommandLineContext& context);
    // Finished on an empty list; NotFound (list untouched) when the first
    // option is not ours; otherwise the option is taken off the list and run.
    virtual void executeOne(int& result, CVNPendingOptionList& options, CVNCommandLineContext& context);
    // {name: help lines of the options in insertion order}
    virtual CVNHelpTable help() const;
    // The version text; empty when the executer has none.
    virtual QString version() const;

    // Takes ownership. Every name of the option enters the name hash; a later
    // option with the same name wins.
    void addOption(CVNCommandLineOption* option);
    // nullptr when no option has that (short or long) name.
    CVNCommandLineOption* option(const QString& name) const { return m_byName.value(name, nullptr); }
    bool hasOption(const QString& name) const { return m_byName.contains(name); }

    QString name() const { return m_name; }
    const std::vector<std::unique_ptr<CVNCommandLineOption>>& options() const { return m_options; }

private:
    QString m_name;
    QString m_version;
    std::vector<std::unique_ptr<CVNCommandLineOption>> m_options;
    QHash<QString, CVNCommandLineOption*> m_byName;
};

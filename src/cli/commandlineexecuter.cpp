#include "cli/commandlineexecuter.h"

#include "cli/commandlineoption.h"
#include "cli/optionresult.h"
#include "cli/pendingoption.h"

CVNCommandLineExecuter::CVNCommandLineExecuter(const QString& name, const QString& version)
    : m_name(name)
    , m_version(version)
{
}

CVNCommandLineExecuter::~CVNCommandLineExecuter() = default;

void CVNCommandLineExecuter::exec(int& result, CVNPendingOptionList& options, CVNCommandLineContext& context)
{
    do {
        executeOne(result, options, context);
    } while (result == CVNOptionResult::Processed);
}

void CVNCommandLineExecuter::executeOne(int& result, CVNPendingOptionList& options, CVNCommandLineContext& context)
{
    if (options.isEmpty()) {
        result = CVNOptionResult::Finished;
        return;
    }
    CVNCommandLineOption* target = option(options.first().name);
    if (!target) {
        result = CVNOptionResult::NotFound;
        return;
    }
    CVNPendingOption pending = options.takeFirst();
    result = CVNOptionResult::Unknown;
    target->executeWithFiles(result, pending.values, pending.fileOperations, context);
}

CVNHelpTable CVNCommandLineExecuter::help() const
{
    QStringList lines;
    for (const auto& entry : m_options)
        lines.append(CVNHelp::line(*entry));
    CVNHelpTable table;
    table.insert(m_name, lines);
    return table;
}

QString CVNCommandLineExecuter::version() const
{
    return m_version;
}

void CVNCommandLineExecuter::addOption(CVNCommandLineOption* option)
{
    if (!option)
        return;
    m_options.emplace_back(option);
    for (const QString& name : option->names())
        m_byName.insert(name, option);
}

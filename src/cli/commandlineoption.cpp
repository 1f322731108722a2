#include "cli/commandlineoption.h"

CVNCommandLineOption::CVNCommandLineOption(const QStringList& names, const QString& description,
                                           const QString& syntax)
    : m_names(names)
    , m_description(description)
    , m_syntax(syntax)
{
}

void CVNCommandLineOption::executeWithFiles(int& result, const QStringList& values, CVNFileTable& fileOperations,
                                            CVNCommandLineContext& context)
{
    (void)fileOperations;
    execute(result, values, context);
}

#include "cli/commandlineoptioncallback.h"

#include "cli/optionresult.h"

CVNCommandLineOptionCallback::CVNCommandLineOptionCallback(const QStringList& names, const QString& description,
                                                           const QString& syntax, Function function)
    : CVNCommandLineOption(names, description, syntax)
    , m_function(std::move(function))
{
}

CVNCommandLineOptionCallback::CVNCommandLineOptionCallback(const QStringList& names, const QString& description,
                                                           const QString& syntax, OptionFunction function)
    : CVNCommandLineOption(names, description, syntax)
    , m_optionFunction(std::move(function))
{
}

void CVNCommandLineOptionCallback::execute(int& result, const QStringList& values, CVNCommandLineContext& context)
{
    if (m_function)
        m_function(result, values, context);
    else if (m_optionFunction)
        m_optionFunction(result, values, context, *this);
    else
        result = CVNOptionResult::Error;
}

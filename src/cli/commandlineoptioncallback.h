#pragma once

#include "cli/commandlineoption.h"

#include <functional>

// An option whose work is a function: the plain form gets (result, values,
// context), the second form also the option itself (to print its name, say).
class CVNCommandLineOptionCallback : public CVNCommandLineOption
{
public:
    using Function = std::function<void(int& result, const QStringList& values, CVNCommandLineContext& context)>;
    using OptionFunction = std::function<void(int& result, const QStringList& values,
                                              CVNCommandLineContext& context, CVNCommandLineOptionCallback& option)>;

    CVNCommandLineOptionCallback(const QStringList& names, const QString& description, const QString& syntax,
                                 Function function);
    CVNCommandLineOptionCallback(const QStringList& names, const QString& description, const QString& syntax,
                                 OptionFunction function);

    // The plain function when set, else the option form, else Error.
    void execute(int& result, const QStringList& values, CVNCommandLineContext& context) override;

private:
    Function m_function;
    OptionFunction m_optionFunction;
};

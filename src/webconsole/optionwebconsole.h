#pragma once

#include "cli/commandlineoption.h"

class CVNWebConsole;

// `web-console`: shows the console's port and the address to open, or
// switches the console on or off (stored, like the listen type).
class CVNOptionWebConsole : public CVNCommandLineOption
{
public:
    explicit CVNOptionWebConsole(CVNWebConsole* console);
    void execute(int& result, const QStringList& values, CVNCommandLineContext& context) override;

private:
    CVNWebConsole* m_console;
};

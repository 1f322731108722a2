#include "webconsole/optionwebconsole.h"

#include "cli/commandlinecontext.h"
#include "cli/optionresult.h"
#include "webconsole/webconsole.h"

#include <QTextStream>

CVNOptionWebConsole::CVNOptionWebConsole(CVNWebConsole* console)
    : CVNCommandLineOption({QStringLiteral("web-console")},
                           QStringLiteral("Serves the web console to browsers; alone, shows its address."),
                           QStringLiteral("[true|false]"))
    , m_console(console)
{
}

void CVNOptionWebConsole::execute(int& result, const QStringList& values, CVNCommandLineContext& context)
{
    QTextStream& out = context.output();
    // The same words as allow-network, compared exactly.
    static const QStringList yes{QStringLiteral("true"), QStringLiteral("yes"), QStringLiteral("1")};
    static const QStringList no{QStringLiteral("false"), QStringLiteral("no"), QStringLiteral("0")};
    result = CVNOptionResult::Processed;
    if (!values.isEmpty()) {
        const QString word = values.first();
        if (!yes.contains(word) && !no.contains(word)) {
            out << "Invalid arguments\n";
            result = CVNOptionResult::Error;
            return;
        }
        if (!m_console->setEnabled(yes.contains(word))) {
            out << "error: the web console cannot listen: " << m_console->errorText() << "\n";
            result = CVNOptionResult::Error;
            return;
        }
    }
    if (!m_console->isListening()) {
        out << (CVNWebConsole::storedEnabled() ? "True, but the web console is not listening.\n"
                                                 : "False, the web console is off.\n");
        return;
    }
    out << "True, the web console listens on port " << m_console->port()
        << (m_console->networkAllowed() ? " of every address" : " of 127.0.0.1") << ".\n";
    out << "Open " << m_console->url() << "\n";
}

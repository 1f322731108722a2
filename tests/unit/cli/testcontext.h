#pragma once

#include "cli/commandlinecontext.h"
#include "cli/optionresult.h"
#include "cli/pendingoption.h"

#include <QTextStream>

// A context that collects printed text in a string.
class TestContext : public CVNCommandLineContext
{
public:
    TestContext() : m_stream(&m_text) {}

    void consumeOptions(int& result, CVNPendingOptionList& options) override
    {
        (void)options;
        result = CVNOptionResult::NotFound;
    }
    void helpTable(int& result, CVNHelpTable& table) override
    {
        (void)table;
        result = CVNOptionResult::Processed;
    }
    void version(int& result, QString& text) override
    {
        text = QStringLiteral("test");
        result = CVNOptionResult::Processed;
    }
    QTextStream& output() override { return m_stream; }

    QString text()
    {
        m_stream.flush();
        return m_text;
    }

private:
    QString m_text;
    QTextStream m_stream;
};

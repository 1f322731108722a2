#pragma once

#include "interface/filetable.h"

#include <QString>
#include <QStringList>

class CVNCommandLineContext;

// One command of an executer: a one-letter short name and/or a long name, a
// help description and the argument syntax shown in help (may be empty).
class CVNCommandLineOption
{
public:
    CVNCommandLineOption(const QStringList& names, const QString& description, const QString& syntax = QString());
    virtual ~CVNCommandLineOption() = default;

    CVNCommandLineOption(const CVNCommandLineOption&) = delete;
    CVNCommandLineOption& operator=(const CVNCommandLineOption&) = delete;

    // Runs the option with its values; `result` gets a CVNOptionResult code.
    virtual void execute(int& result, const QStringList& values, CVNCommandLineContext& context) = 0;
    // The executer calls this one: options that exchange files with the client
    // override it; the others only see the values.
    virtual void executeWithFiles(int& result, const QStringList& values, CVNFileTable& fileOperations,
                                  CVNCommandLineContext& context);

    const QStringList& names() const { return m_names; }
    QString description() const { return m_description; }
    QString syntax() const { return m_syntax; }

protected:
    void setNames(const QStringList& names) { m_names = names; }
    void setDescription(const QString& description) { m_description = description; }

private:
    QStringList m_names;
    QString m_description;
    QString m_syntax;
};

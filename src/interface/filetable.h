#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// Files exchanged between a text command and the command-line client: the
// client reads or writes the named local file and repeats the command.
struct CVNFileOperation
{
    QByteArray data;  // file contents
    QString result;   // status text ("File read successful", "Cannot open file", ...)

    bool operator==(const CVNFileOperation& o) const { return data == o.data && result == o.result; }
};

// File table: path -> (contents, status).
using CVNFileTable = QHash<QString, CVNFileOperation>;

#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// Files exchanged between a text command and the command-line client: the
// client reads or writes the named local file and repeats the command.
struct CVNFileOperation
{
    // What the client is asked to do with the file. Unspecified (an older
    // peer) reads when there are no contents and writes them otherwise, so
    // that empty contents to write must say Write.
    enum class Kind : int { Unspecified = 0, Read = 1, Write = 2 };

    QByteArray data;  // file contents
    QString result;   // status text ("File read successful", "Cannot open file", ...)
    Kind kind = Kind::Unspecified;

    bool writes() const { return kind == Kind::Write || (kind == Kind::Unspecified && !data.isEmpty()); }

    bool operator==(const CVNFileOperation& o) const
    {
        return data == o.data && result == o.result && kind == o.kind;
    }
};

// File table: path -> (contents, status).
using CVNFileTable = QHash<QString, CVNFileOperation>;

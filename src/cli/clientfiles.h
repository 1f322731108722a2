#pragma once

#include "interface/filetable.h"

#include <QByteArray>
#include <QSet>
#include <QString>

// The client's side of the file table: files that a text command of the
// service needs read from or written to this machine.
class CVNClientFiles
{
public:
    // Largest local file sent to the service; its Base64 form must still fit
    // in one document.
    static constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;

    // Carries out every entry without a result: a read puts the named file's
    // contents into the entry ("File read successful" or "Cannot open file");
    // a write stores the entry's contents, empty ones included, in the named
    // file ("File write successful" or "Cannot write to file"), and the
    // contents are dropped afterwards. Only paths among `userPaths` (the
    // words the user gave on the command line) are touched: the service
    // names the files, but must not pick files the user did not name; any
    // other entry gets the failure text without the file being looked at.
    // Returns how many entries were answered.
    static int carryOut(CVNFileTable& table, const QSet<QString>& userPaths);

    // Reads a whole file of at most kMaxFileSize bytes.
    [[nodiscard]] static bool readFile(const QString& path, QByteArray& data);
    // Writes through a temporary file renamed into place, so that a failed
    // write leaves any earlier file untouched and no partial one behind.
    [[nodiscard]] static bool writeFile(const QString& path, const QByteArray& data);
};

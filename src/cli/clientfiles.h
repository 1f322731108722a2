#pragma once

#include "interface/filetable.h"

#include <QByteArray>
#include <QString>

// The client's side of the file table: files that a text command of the
// service needs read from or written to this machine.
class CVNClientFiles
{
public:
    // Largest local file sent to the service; its Base64 form must still fit
    // in one document.
    static constexpr qint64 kMaxFileSize = 4 * 1024 * 1024;

    // Carries out every entry without a result: an entry without contents
    // asks for the named file to be read into it ("File read successful" or
    // "Cannot open file"); an entry with contents asks for them to be written
    // to the named file ("File write successful" or "Cannot write to file"),
    // and the contents are dropped afterwards. Returns how many entries were
    // carried out.
    static int carryOut(CVNFileTable& table);

    // Reads a whole file of at most kMaxFileSize bytes.
    [[nodiscard]] static bool readFile(const QString& path, QByteArray& data);
    // Writes through a temporary file renamed into place, so that a failed
    // write leaves any earlier file untouched and no partial one behind.
    [[nodiscard]] static bool writeFile(const QString& path, const QByteArray& data);
};

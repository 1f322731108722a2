#pragma once

#include <QString>

// Result codes of every option execution and every consume step. The names
// are what a "cli" answer carries as "status".
struct CVNOptionResult
{
    enum Code : int {
        Unknown = 0,
        NotFound = 1,       // no option of that name here; another executer may take it
        Wait = 2,           // asynchronous work started; consumption resumes later
        Processed = 3,      // done; go on with the next option
        Error = 4,          // failed; stop
        Stopped = 5,        // done; stop consuming
        Finished = 6,       // no pending option left
        FileOperation = 7,  // the other side must carry out the option's file operations
    };

    // "NotFound" ... "FileOperation"; "Unknown" for 0 and any other value.
    static QString name(int code);
    // The code of a status name; 0 (Unknown) for any other text.
    static int fromName(const QString& name);
};

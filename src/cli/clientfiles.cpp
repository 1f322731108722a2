#include "cli/clientfiles.h"

#include "cli/clilogging.h"

#include <QFile>
#include <QSaveFile>

int CVNClientFiles::carryOut(CVNFileTable& table, const QSet<QString>& userPaths)
{
    int done = 0;
    for (auto it = table.begin(); it != table.end(); ++it) {
        CVNFileOperation& operation = it.value();
        if (!operation.result.isEmpty())
            continue;
        ++done;
        const bool writes = operation.writes();
        if (!userPaths.contains(it.key())) {
            qCWarning(lcCli) << "refused a file the command line does not name:" << it.key();
            operation.data.clear();
            operation.result = writes ? QStringLiteral("Cannot write to file") : QStringLiteral("Cannot open file");
        } else if (writes) {
            operation.result = writeFile(it.key(), operation.data) ? QStringLiteral("File write successful")
                                                                   : QStringLiteral("Cannot write to file");
            operation.data.clear();
        } else {
            operation.result = readFile(it.key(), operation.data) ? QStringLiteral("File read successful")
                                                                  : QStringLiteral("Cannot open file");
        }
    }
    return done;
}

bool CVNClientFiles::readFile(const QString& path, QByteArray& data)
{
    data.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcCli) << "cannot open" << path << file.errorString();
        return false;
    }
    if (file.size() > kMaxFileSize) {
        qCWarning(lcCli) << "file too large" << path << file.size();
        return false;
    }
    data = file.read(kMaxFileSize + 1);
    if (data.size() > kMaxFileSize) {
        data.clear();
        return false;
    }
    return true;
}

bool CVNClientFiles::writeFile(const QString& path, const QByteArray& data)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qCWarning(lcCli) << "cannot write" << path << file.errorString();
        return false;
    }
    if (file.write(data) != data.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

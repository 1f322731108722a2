#include "cli/clientfiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
void writeRaw(const QString& path, const QByteArray& data)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(data);
}

QByteArray readRaw(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
}

TEST(ClientFiles, ReadsRequestedFilesAndWritesCarriedContents)
{
    QTemporaryDir dir;
    writeRaw(dir.filePath("in.set"), QByteArray("\x00\x01 in", 5));
    writeRaw(dir.filePath("out.set"), "old contents");

    CVNFileTable table;
    table.insert(dir.filePath("in.set"), CVNFileOperation());
    table.insert(dir.filePath("missing.set"), CVNFileOperation());
    table.insert(dir.filePath("out.set"), CVNFileOperation{ "new", QString() });
    table.insert(dir.filePath("none/out.set"), CVNFileOperation{ "lost", QString() });
    table.insert(dir.filePath("done.set"), CVNFileOperation{ QByteArray(), "File read successful" });

    EXPECT_EQ(CVNClientFiles::carryOut(table), 4);
    EXPECT_EQ(table.value(dir.filePath("in.set")), (CVNFileOperation{ QByteArray("\x00\x01 in", 5), "File read successful" }));
    EXPECT_EQ(table.value(dir.filePath("missing.set")).result, "Cannot open file");
    EXPECT_EQ(table.value(dir.filePath("out.set")), (CVNFileOperation{ QByteArray(), "File write successful" }));
    EXPECT_EQ(table.value(dir.filePath("none/out.set")).result, "Cannot write to file");
    EXPECT_EQ(readRaw(dir.filePath("out.set")), "new");
    EXPECT_FALSE(QFile::exists(dir.filePath("done.set"))) << "entries with a result are left alone";
}

TEST(ClientFiles, FailedWriteLeavesNoPartialFileBehind)
{
    // The target is a folder: the contents can be written to a temporary
    // file, but it cannot take the folder's place.
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken"));
    writeRaw(dir.filePath("taken/inner"), "earlier");

    EXPECT_FALSE(CVNClientFiles::writeFile(dir.filePath("taken"), "replacement"));
    EXPECT_EQ(readRaw(dir.filePath("taken/inner")), "earlier");
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST(ClientFiles, FilesTooLargeForOneDocumentAreNotRead)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("big.bin");
    writeRaw(path, QByteArray(int(CVNClientFiles::kMaxFileSize) + 1, 'x'));
    QByteArray data;
    EXPECT_FALSE(CVNClientFiles::readFile(path, data));
    EXPECT_TRUE(data.isEmpty());
}

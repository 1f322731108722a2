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

// Reading and writing for the service, and their status texts, are covered
// by the client integration tests.
TEST(ClientFiles, EntriesWithAResultAreLeftAlone)
{
    QTemporaryDir dir;
    CVNFileTable table;
    table.insert(dir.filePath("done.set"), CVNFileOperation{ "contents", "File read successful" });
    EXPECT_EQ(CVNClientFiles::carryOut(table), 0);
    EXPECT_FALSE(QFile::exists(dir.filePath("done.set")));
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

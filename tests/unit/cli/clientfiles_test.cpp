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

// Reading and writing for the service through the real request are covered
// by the client integration tests.
TEST(ClientFiles, EntriesWithAResultAreLeftAlone)
{
    QTemporaryDir dir;
    CVNFileTable table;
    table.insert(dir.filePath("done.set"), CVNFileOperation{ "contents", "File read successful" });
    EXPECT_EQ(CVNClientFiles::carryOut(table, { dir.filePath("done.set") }), 0);
    EXPECT_FALSE(QFile::exists(dir.filePath("done.set")));
}

// Whatever the service asks, only files the user named are touched, and
// the kind of an entry decides between reading and writing.
TEST(ClientFiles, OnlyFilesTheUserNamedAreReadOrWritten)
{
    using Kind = CVNFileOperation::Kind;
    QTemporaryDir dir;
    const QString named = dir.filePath("named.set");
    const QString other = dir.filePath("other.set");
    struct Case {
        const char* what;
        QString path;
        CVNFileOperation entry;
        QString result;
        QByteArray dataAfter;    // the entry's contents afterwards
        QByteArray fileAfter;    // the file afterwards ("-" when it must not exist)
    };
    const QList<Case> cases = {
        { "empty download", named, { "", "", Kind::Write }, "File write successful", "", "" },
        { "download", named, { "abc", "", Kind::Write }, "File write successful", "", "abc" },
        { "older peer's download", named, { "abc", "", Kind::Unspecified }, "File write successful", "", "abc" },
        { "upload", named, { "", "", Kind::Read }, "File read successful", "kept", "kept" },
        { "older peer's upload", named, { "", "", Kind::Unspecified }, "File read successful", "kept", "kept" },
        { "write elsewhere", other, { "abc", "", Kind::Write }, "Cannot write to file", "", "-" },
        { "empty write elsewhere", other, { "", "", Kind::Write }, "Cannot write to file", "", "-" },
        { "read elsewhere", other, { "", "", Kind::Read }, "Cannot open file", "", "secret" },
        { "older peer's read elsewhere", other, { "", "", Kind::Unspecified }, "Cannot open file", "", "secret" },
    };
    for (const Case& c : cases) {
        QFile::remove(named);
        QFile::remove(other);
        if (c.entry.kind == Kind::Read || (c.entry.kind == Kind::Unspecified && c.entry.data.isEmpty()))
            writeRaw(c.path, c.path == named ? "kept" : "secret");
        CVNFileTable table{ { c.path, c.entry } };
        EXPECT_EQ(CVNClientFiles::carryOut(table, { named, "--th", "40" }), 1) << c.what;
        EXPECT_EQ(table.value(c.path).result, c.result) << c.what;
        EXPECT_EQ(table.value(c.path).data, c.dataAfter) << c.what;
        if (c.fileAfter == "-")
            EXPECT_FALSE(QFile::exists(c.path)) << c.what;
        else
            EXPECT_EQ(readRaw(c.path), c.fileAfter) << c.what;
        if (c.path == named)
            EXPECT_TRUE(QFile::exists(named)) << c.what;
    }
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

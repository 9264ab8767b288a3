#include "platform/Exceptions.h"
#include "platform/TempFiles.h"
#include "platform/MissingTempFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(TempFiles, FolderEndsWithSeparator)
{
    EXPECT_TRUE(TempFolder().endsWith(QLatin1Char('/')));
    EXPECT_EQ(QDir(TempFolder()).canonicalPath(), QDir(QDir::tempPath()).canonicalPath());
}

TEST(TempFiles, MissingFolderIsKeptNotReplacedByRoot)
{
    QString folder, missing;
    {
        TMissingTempFolder temp;
        missing = temp.Path();
        folder = TempFolder();
    }
    EXPECT_EQ(folder, missing + QLatin1Char('/'));
}

TEST(TempFiles, CreatedExclusivelyAndGoneAtOnce)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString name = folder.filePath(QStringLiteral("a.tmp"));

    auto file = TTempFile::CreateNew(name);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->FileName(), name);
    // Unlinked at once: the name is free and nothing is left behind whatever happens to the process.
    EXPECT_FALSE(QFile::exists(name));

    // A name someone else holds is refused without raising, so the caller can try another.
    QFile other(name);
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    EXPECT_EQ(TTempFile::CreateNew(name), nullptr);

    // Failures other than a taken name raise.
    EXPECT_THROW(TTempFile::CreateNew(folder.filePath(QStringLiteral("missing/b.tmp"))), EOSError);
}

TEST(TempFiles, ReadsAndWritesAt64BitOffsets)
{
    auto file = TTempFile::CreateNew(TempFolder() + QStringLiteral("atelier-tempfiles-%1.tmp")
                                                        .arg(QCoreApplication::applicationPid()));
    ASSERT_TRUE(file);
    const int64_t far = (int64_t(5) << 30) + 3; // past every 32-bit offset (a sparse file)
    file->WriteAt(far, "abc", 3);
    file->WriteAt(2, "xy", 2);
    EXPECT_EQ(file->Size(), far + 3);

    char buffer[8] = {};
    EXPECT_EQ(file->ReadAt(far, buffer, 8), 3); // short at the end
    EXPECT_EQ(QByteArray(buffer, 3), "abc");
    EXPECT_EQ(file->ReadAt(0, buffer, 4), 4);
    EXPECT_EQ(QByteArray(buffer, 4), QByteArray("\0\0xy", 4));
    EXPECT_EQ(file->ReadAt(far + 10, buffer, 4), 0);
}

} // namespace

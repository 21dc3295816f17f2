#include "TestFiles.h"
#include "engine/TransferredItem.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Every entry below a folder, folders with a trailing "/", in name order.
QStringList EntriesBelow(const QString& folder)
{
    QStringList entries;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const bool isFolder = it.fileInfo().isDir() && !it.fileInfo().isSymLink();
        entries.append(QDir(folder).relativeFilePath(path) + (isFolder ? "/" : ""));
    }
    entries.sort();
    return entries;
}

class TransferredItemTest : public ::testing::Test {
protected:
    QString Folder() const { return m_root.path() + "/"; }
    QTemporaryDir m_root;
};

TEST_F(TransferredItemTest, OnlyWhatIsStillExactlyAsCopiedIsRemoved)
{
    const QString folder = Folder();
    WriteFile(folder + "docs/same.txt", "same");
    WriteFile(folder + "docs/written.txt", "old");
    WriteFile(folder + "docs/replaced.txt", "old");
    WriteFile(folder + "docs/deep/same.txt", "same");
    WriteFile(folder + "docs/emptied/gone.txt", "gone");
    ASSERT_TRUE(QFile::link("same.txt", folder + "docs/link.txt"));
    const TTransferredItem docs(folder, "docs");

    WriteFile(folder + "docs/written.txt", "newer");
    // Same size and time, another file: only its identity tells.
    const auto time = std::filesystem::last_write_time(QString(folder + "docs/replaced.txt").toStdString());
    WriteFile(folder + "docs/replacement", "new");
    std::filesystem::last_write_time(QString(folder + "docs/replacement").toStdString(), time);
    ASSERT_EQ(::rename((folder + "docs/replacement").toUtf8().constData(),
                       (folder + "docs/replaced.txt").toUtf8().constData()),
              0);
    WriteFile(folder + "docs/added.txt", "added");
    ASSERT_EQ(::mkfifo((folder + "docs/pipe").toUtf8().constData(), 0600), 0);
    QFile::remove(folder + "docs/emptied/gone.txt");

    EXPECT_EQ(docs.Unchanged(folder), (QStringList{"docs/deep/same.txt", "docs/link.txt", "docs/same.txt"}));
    QStringList kept = docs.RemoveUnchanged(folder);
    kept.sort();
    EXPECT_EQ(kept, (QStringList{"docs/added.txt", "docs/pipe", "docs/replaced.txt", "docs/written.txt"}));
    EXPECT_EQ(EntriesBelow(folder),
              (QStringList{"docs/", "docs/added.txt", "docs/pipe", "docs/replaced.txt", "docs/written.txt"}));
    EXPECT_EQ(ReadFile(folder + "docs/written.txt"), "newer");
    EXPECT_EQ(ReadFile(folder + "docs/replaced.txt"), "new");
}

TEST_F(TransferredItemTest, AFileItemAndPathsFoundAgainAfterAFreshExtraction)
{
    const QString folder = Folder();
    WriteFile(folder + "one.txt", "one");
    const TTransferredItem one(folder, "one.txt");
    EXPECT_EQ(one.RemoveUnchanged(folder), QStringList());
    EXPECT_TRUE(EntriesBelow(folder).isEmpty());
    // Gone already: nothing to remove, nothing kept.
    EXPECT_EQ(one.RemoveUnchanged(folder), QStringList());

    WriteFile(folder + "two.txt", "two");
    const TTransferredItem two(folder, "two.txt");
    WriteFile(folder + "two.txt", "written again");
    EXPECT_EQ(two.RemoveUnchanged(folder), QStringList{"two.txt"});
    EXPECT_EQ(ReadFile(folder + "two.txt"), "written again");

    // The same item unpacked afresh elsewhere: new files, found by path.
    WriteFile(folder + "docs/a.txt", "a");
    WriteFile(folder + "docs/b.txt", "b");
    const TTransferredItem docs(folder, "docs");
    const QString fresh = Folder() + "fresh/";
    WriteFile(fresh + "docs/a.txt", "a");
    WriteFile(fresh + "docs/b.txt", "b");
    EXPECT_TRUE(docs.Unchanged(fresh).isEmpty()) << "other files, however alike";
    EXPECT_EQ(docs.RemovePaths(fresh, {"docs/a.txt"}), QStringList{"docs/b.txt"});
    EXPECT_EQ(EntriesBelow(fresh), (QStringList{"docs/", "docs/b.txt"}));
}

} // namespace

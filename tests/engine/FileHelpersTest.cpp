#include "engine/FileHelpers.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <QStorageInfo>
#include <QTemporaryDir>

namespace {

// Writes a file (creating its folders) and returns its full path.
QString WriteFile(const QString& path, const QByteArray& content = QByteArray())
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << qPrintable(path);
    file.write(content);
    return path;
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

void SetLastWriteTime(const QString& path, const QDateTime& moment)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite)) << qPrintable(path);
    ASSERT_TRUE(file.setFileTime(moment, QFileDevice::FileModificationTime));
}

// Every entry below root as a sorted list of relative paths, folders with a
// trailing "/", files with their content: a snapshot to compare trees by.
QStringList Tree(const QString& root)
{
    QStringList lines;
    QStringList files;
    ListFiles(root, QString(), faAnyFile, true, true, true, true, files);
    for (const QString& path : files) {
        const QString relative = path.mid(IncludeTrailingBackslash(root).size());
        if (QFileInfo(path).isDir())
            lines << relative + u'/';
        else
            lines << relative + u'=' + QString::fromUtf8(ReadFile(path));
    }
    lines.sort();
    return lines;
}

class FileHelpersTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString Path(const QString& relative) const { return m_dir.path() + u'/' + relative; }

    QTemporaryDir m_dir;
};

TEST(PathText, TrailingSeparator)
{
    EXPECT_EQ(IncludeTrailingBackslash(""), "/");
    EXPECT_EQ(IncludeTrailingBackslash("/tmp/a"), "/tmp/a/");
    EXPECT_EQ(IncludeTrailingBackslash("/tmp/a/"), "/tmp/a/");
    EXPECT_EQ(ExcludeTrailingBackslash("/tmp/a/"), "/tmp/a");
    EXPECT_EQ(ExcludeTrailingBackslash("/tmp/a"), "/tmp/a");
    EXPECT_EQ(ExcludeTrailingBackslash("/"), "/");
    EXPECT_EQ(ExcludeTrailingBackslash(""), "");
}

TEST(PathText, SavedWebPages)
{
    struct {
        const char* name;
        bool page;
        const char* companion;
    } const cases[] = {
        {"Index.HTML", true, "Index_files"},
        {"page.htm", true, "page_files"},
        {"My.Page.HtM", true, "My.Page_files"},
        {"note", false, ""},
        {"a.htm.bak", false, ""},
        {"html", false, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsHtmlPage(c.name), c.page) << c.name;
        EXPECT_EQ(CompanionFolderName(c.name), QString(c.companion)) << c.name;
    }
    EXPECT_EQ(HtmlBaseName("index.html"), "INDEX");
    EXPECT_EQ(HtmlBaseName("my.page.htm"), "MY");
    EXPECT_EQ(HtmlBaseName("readme"), "readme");
}

TEST(CodeLists, CommaText)
{
    EXPECT_EQ(CodesToCommaText({4, 9, 12}), "4,9,12");
    EXPECT_EQ(CodesToCommaText({}), "");
    EXPECT_EQ(CodesToCommaText({-1}), "-1");

    struct {
        const char* text;
        QList<int> codes;
    } const cases[] = {
        {"4,,x,9", {4, 9}},
        {" 12 , 7 ,3", {12, 7, 3}},
        {"\"5\",6", {5, 6}},
        {"-3,2147483648,1.5,0x10", {-3}},
        {"", {}},
    };
    for (const auto& c : cases) {
        QList<int> codes{99};
        CommaTextToCodes(c.text, codes);
        EXPECT_EQ(codes, c.codes) << c.text;
    }
}

TEST(CodeLists, AddUnique)
{
    QList<int> codes{1, 2};
    AddUnique(codes, 2);
    AddUnique(codes, 3);
    EXPECT_EQ(codes, (QList<int>{1, 2, 3}));

    QStringList names{"a"};
    AddUnique(names, QString("A"));
    AddUnique(names, QString("a"));
    EXPECT_EQ(names, (QStringList{"a", "A"}));
}

TEST(Texts, NewGuidText)
{
    const QRegularExpression format("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
    QSet<QString> seen;
    for (int i = 0; i < 200; ++i) {
        const QString guid = NewGuidText();
        EXPECT_TRUE(format.match(guid).hasMatch()) << qPrintable(guid);
        seen.insert(guid);
    }
    EXPECT_EQ(seen.size(), 200);
}

TEST(Texts, TimeStampText)
{
    const QDateTime moment(QDate(2024, 1, 31), QTime(23, 59, 59, 42), Qt::LocalTime);
    EXPECT_EQ(TimeStampText(moment), "20240131_235959042");
    EXPECT_EQ(TimeStampText(QDateTime(QDate(987, 3, 4), QTime(1, 2, 3, 4), Qt::LocalTime)),
              "09870304_010203004");

    // A moment given in UTC is written in local time.
    const QDateTime utc = moment.toUTC();
    EXPECT_EQ(TimeStampText(utc), "20240131_235959042");

    const QDateTime before = QDateTime::currentDateTime();
    const QString now = TimeStampText();
    const QDateTime after = QDateTime::currentDateTime();
    ASSERT_TRUE(QRegularExpression("^\\d{8}_\\d{9}$").match(now).hasMatch()) << qPrintable(now);
    const QDateTime parsed = QDateTime::fromString(now, "yyyyMMdd_hhmmsszzz");
    EXPECT_GE(parsed, before.addMSecs(-1));
    EXPECT_LE(parsed, after.addMSecs(1));
}

TEST(Texts, VersionText)
{
    const QString shortForm = VersionText(true);
    const QString longForm = VersionText(false);
    EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d+$").match(shortForm).hasMatch()) << qPrintable(shortForm);
    EXPECT_TRUE(QRegularExpression("^\\d+\\.\\d+\\.\\d+\\.0$").match(longForm).hasMatch()) << qPrintable(longForm);
    EXPECT_TRUE(longForm.startsWith(shortForm + u'.'));
}

class LocaleGuard {
public:
    explicit LocaleGuard(const QLocale& locale) : m_saved(QLocale()) { QLocale::setDefault(locale); }
    ~LocaleGuard() { QLocale::setDefault(m_saved); }

private:
    QLocale m_saved;
};

TEST(Texts, FormatFileSize)
{
    {
        LocaleGuard c(QLocale::c());
        EXPECT_EQ(FormatFileSize(0), "0 bytes");
        EXPECT_EQ(FormatFileSize(1023), "1023 bytes");
        EXPECT_EQ(FormatFileSize(1024), "1.0 Kb");
        EXPECT_EQ(FormatFileSize(1536), "1.5 Kb");
        EXPECT_EQ(FormatFileSize(10 * 1024 * 1024), "10240.0 Kb");
    }
    LocaleGuard german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FormatFileSize(1024), "1,0 Kb");
    EXPECT_EQ(FormatFileSize(5 * 1024 * 1024 + 512), "5120,5 Kb");
}

TEST_F(FileHelpersTest, FileAndFolderSizes)
{
    WriteFile(Path("small.bin"), QByteArray(1023, 'x'));
    WriteFile(Path("tree/one.bin"), QByteArray(1024, 'y'));
    WriteFile(Path("tree/sub/deep/two.bin"), QByteArray(10, 'z'));
    WriteFile(Path("tree/sub/.hidden"), QByteArray(5, 'h'));

    EXPECT_EQ(FileSizeOf(Path("small.bin")), 1023);
    EXPECT_EQ(FileSizeOf(Path("tree/one.bin")), 1024);
    EXPECT_EQ(FileSizeOf(Path("tree")), 0);
    EXPECT_EQ(FileSizeOf(Path("missing")), 0);
    EXPECT_EQ(FormatFileSize(FileSizeOf(Path("tree"))), "0 bytes");

    EXPECT_EQ(FolderSize(Path("tree")), 1024 + 10 + 5);
    EXPECT_EQ(FolderSize(Path("tree/sub")), 15);
    EXPECT_EQ(FolderSize(Path("missing")), 0);
    EXPECT_FALSE(IsFolderEmpty(Path("tree")));

    WriteFile(Path("empties/a.txt"));
    WriteFile(Path("empties/b/c.txt"));
    EXPECT_TRUE(IsFolderEmpty(Path("empties")));
    WriteFile(Path("empties/b/d.txt"), "1");
    EXPECT_FALSE(IsFolderEmpty(Path("empties")));
}

TEST_F(FileHelpersTest, FolderSizeDoesNotFollowFolderLinks)
{
    WriteFile(Path("outside/big.bin"), QByteArray(100, 'b'));
    WriteFile(Path("tree/a.bin"), QByteArray(3, 'a'));
    ASSERT_TRUE(QFile::link(Path("outside"), Path("tree/link")));
    ASSERT_TRUE(QFile::link(Path("tree"), Path("tree/loop")));
    EXPECT_EQ(FolderSize(Path("tree")), 3);
}

TEST_F(FileHelpersTest, DeleteFilesOlderThan)
{
    const QDateTime now = QDateTime::currentDateTime();
    for (const char* name : {"old.txt", "sub/old.txt", "sub/deeper/.old"}) {
        WriteFile(Path(name), "old");
        SetLastWriteTime(Path(name), now.addDays(-3));
    }
    for (const char* name : {"new.txt", "sub/new.txt"}) {
        WriteFile(Path(name), "new");
        SetLastWriteTime(Path(name), now.addSecs(-60));
    }

    DeleteFilesOlderThan(m_dir.path(), now.addDays(-1));
    EXPECT_EQ(Tree(m_dir.path()),
              (QStringList{"new.txt=new", "sub/", "sub/deeper/", "sub/new.txt=new"}));
}

TEST_F(FileHelpersTest, DeleteEmptySubfolders)
{
    QDir().mkpath(Path("root/empty"));
    WriteFile(Path("root/onlyEmptyFiles/a.txt"));
    WriteFile(Path("root/onlyEmptyFiles/inner/b.txt"));
    WriteFile(Path("root/kept/emptyInside/x.txt"));
    WriteFile(Path("root/kept/full/data.txt"), "data");
    WriteFile(Path("root/own-empty-file.txt"));

    DeleteEmptySubfolders(Path("root"));
    EXPECT_TRUE(QFileInfo::exists(Path("root")));
    EXPECT_EQ(Tree(Path("root")),
              (QStringList{"kept/", "kept/full/", "kept/full/data.txt=data", "own-empty-file.txt="}));
}

TEST_F(FileHelpersTest, DeleteEmptySubfoldersLeavesLinkedFoldersIntact)
{
    WriteFile(Path("outside/empty.txt"));
    QDir().mkpath(Path("root"));
    ASSERT_TRUE(QFile::link(Path("outside"), Path("root/link")));
    DeleteEmptySubfolders(Path("root"));
    EXPECT_TRUE(QFileInfo::exists(Path("outside/empty.txt")));
}

TEST_F(FileHelpersTest, ListFiles)
{
    for (const char* name : {"a.txt", "B.TXT", ".hid.txt", "note.md", "sub/c.txt", "sub/deeper/d.txt",
                             "sub/deeper/e.md"})
        WriteFile(Path("root/") + name);
    const QString root = Path("root");

    struct {
        const char* label;
        const char* filter;
        int mask;
        bool recurse, includeFolders, fullPaths;
        QStringList expected;
    } const cases[] = {
        {"visible txt here", "TxT", faNormal, false, true, false, {"B.TXT", "a.txt"}},
        {"hidden only", "", faHidden, false, false, false, {".hid.txt"}},
        {"everything here", "", faAnyFile, false, false, false, {".hid.txt", "B.TXT", "a.txt", "note.md"}},
        {"recursive names", "txt", faAnyFile, true, false, false,
         {".hid.txt", "B.TXT", "a.txt", "c.txt", "d.txt"}},
        {"recursive with folders, full paths", "txt", faNormal, true, true, true,
         {root + "/B.TXT", root + "/a.txt", root + "/sub", root + "/sub/c.txt", root + "/sub/deeper",
          root + "/sub/deeper/d.txt"}},
    };
    for (const auto& c : cases) {
        QStringList list{"stale"};
        EXPECT_FALSE(ListFiles(root, c.filter, c.mask, true, c.recurse, c.includeFolders, c.fullPaths, list))
            << c.label;
        EXPECT_EQ(list, c.expected) << c.label;
    }

    QStringList kept{"first"};
    EXPECT_FALSE(ListFiles(root + "/sub/", "", faAnyFile, false, false, false, false, kept));
    EXPECT_EQ(kept, (QStringList{"first", "c.txt"}));

    QStringList none;
    EXPECT_TRUE(ListFiles(Path("missing"), "", faAnyFile, true, true, true, true, none));
    EXPECT_TRUE(none.isEmpty());
}

TEST_F(FileHelpersTest, ShellDeleteOfEveryName)
{
    WriteFile(Path("box/a.txt"), "a");
    WriteFile(Path("box/README"), "no dot");
    WriteFile(Path("box/.hidden"), "h");
    WriteFile(Path("box/sub/deep/x.bin"), "x");
    WriteFile(Path("outside/keep.txt"), "keep");
    ASSERT_TRUE(QFile::link(Path("outside"), Path("box/link")));

    EXPECT_TRUE(ShellDelete(Path("box/*.*"), false, true, false));
    EXPECT_TRUE(QFileInfo(Path("box")).isDir());
    EXPECT_TRUE(QDir(Path("box")).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).isEmpty());
    // A link is removed, not what it points to.
    EXPECT_EQ(ReadFile(Path("outside/keep.txt")), "keep");
}

TEST_F(FileHelpersTest, ShellDeleteOfFilesFoldersAndNarrowPatterns)
{
    for (const char* name : {"box/a.txt", "box/b.txt", "box/c.md", "box/d.txt.bak", "gone/sub/e.txt", "single.txt"})
        WriteFile(Path(name));

    EXPECT_TRUE(ShellDelete(Path("box/*.txt")));
    EXPECT_EQ(Tree(Path("box")), (QStringList{"c.md=", "d.txt.bak="}));
    EXPECT_TRUE(ShellDelete(Path("box/?.md")));
    EXPECT_EQ(Tree(Path("box")), (QStringList{"d.txt.bak="}));

    EXPECT_TRUE(ShellDelete(Path("gone/")));
    EXPECT_FALSE(QFileInfo::exists(Path("gone")));
    EXPECT_TRUE(ShellDelete(Path("single.txt")));
    EXPECT_FALSE(QFileInfo::exists(Path("single.txt")));

    EXPECT_FALSE(ShellDelete(Path("single.txt")));
    EXPECT_FALSE(ShellDelete(Path("nowhere/*.*")));
    EXPECT_FALSE(ShellDelete(""));
    EXPECT_FALSE(ShellDelete("/"));
}

TEST_F(FileHelpersTest, ShellRenameNeverReplaces)
{
    WriteFile(Path("a.txt"), "a");
    WriteFile(Path("b.txt"), "b");

    EXPECT_FALSE(ShellRename(Path("a.txt"), Path("b.txt")));
    EXPECT_EQ(Tree(m_dir.path()), (QStringList{"a.txt=a", "b.txt=b"}));

    EXPECT_TRUE(ShellRename(Path("a.txt"), Path("c.txt")));
    EXPECT_EQ(Tree(m_dir.path()), (QStringList{"b.txt=b", "c.txt=a"}));
    EXPECT_FALSE(ShellRename(Path("missing"), Path("d.txt")));
}

TEST_F(FileHelpersTest, ShellCopyOfFoldersAndTakenNames)
{
    WriteFile(Path("src/docs/a.txt"), "A");
    WriteFile(Path("src/docs/sub/b.txt"), "B");
    const QDateTime written(QDate(2020, 5, 6), QTime(7, 8, 9));
    SetLastWriteTime(Path("src/docs/sub/b.txt"), written);
    WriteFile(Path("dest/docs/mine.txt"), "mine");

    // Into an existing folder whose "docs" is taken: a new folder name, nothing merged.
    EXPECT_TRUE(ShellCopy(Path("src/docs"), Path("dest")));
    EXPECT_EQ(Tree(Path("dest")), (QStringList{"docs (2)/", "docs (2)/a.txt=A", "docs (2)/sub/",
                                               "docs (2)/sub/b.txt=B", "docs/", "docs/mine.txt=mine"}));
    EXPECT_EQ(QFileInfo(Path("dest/docs (2)/sub/b.txt")).lastModified(), written);
    EXPECT_EQ(Tree(Path("src")), (QStringList{"docs/", "docs/a.txt=A", "docs/sub/", "docs/sub/b.txt=B"}));

    // A file onto a taken file name.
    WriteFile(Path("dest/a.txt"), "old");
    EXPECT_TRUE(ShellCopy(Path("src/docs/a.txt"), Path("dest/a.txt")));
    EXPECT_TRUE(ShellCopy(Path("src/docs/a.txt"), Path("dest/")));
    EXPECT_EQ(ReadFile(Path("dest/a.txt")), "old");
    EXPECT_EQ(ReadFile(Path("dest/a (2).txt")), "A");
    EXPECT_EQ(ReadFile(Path("dest/a (3).txt")), "A");

    // To a new name in a folder that does not exist yet.
    EXPECT_TRUE(ShellCopy(Path("src/docs/a.txt"), Path("new/place/renamed.txt")));
    EXPECT_EQ(ReadFile(Path("new/place/renamed.txt")), "A");

    // Every match of a pattern into a folder.
    EXPECT_TRUE(ShellCopy(Path("src/docs/*.*"), Path("flat/")));
    EXPECT_EQ(Tree(Path("flat")), (QStringList{"a.txt=A", "sub/", "sub/b.txt=B"}));

    // A folder into its own subtree is refused and leaves it as it was.
    EXPECT_FALSE(ShellCopy(Path("src/docs"), Path("src/docs/sub")));
    EXPECT_FALSE(ShellCopy(Path("src/docs"), Path("src/docs/sub/new/")));
    EXPECT_EQ(Tree(Path("src")), (QStringList{"docs/", "docs/a.txt=A", "docs/sub/", "docs/sub/b.txt=B"}));
    EXPECT_FALSE(ShellCopy(Path("missing"), Path("dest")));
}

TEST_F(FileHelpersTest, ShellMoveOfFoldersAndTakenNames)
{
    WriteFile(Path("src/docs/a.txt"), "A");
    WriteFile(Path("src/docs/sub/b.txt"), "B");
    WriteFile(Path("dest/docs/mine.txt"), "mine");

    // An existing folder as target means "into it": into itself is refused.
    EXPECT_FALSE(ShellMove(Path("src/docs"), Path("src/docs/sub/")));
    EXPECT_FALSE(ShellMove(Path("src/docs"), Path("src/docs")));
    // A file moved onto its own name stays as it is.
    EXPECT_TRUE(ShellMove(Path("src/docs/a.txt"), Path("src/docs/a.txt")));
    EXPECT_EQ(Tree(Path("src")), (QStringList{"docs/", "docs/a.txt=A", "docs/sub/", "docs/sub/b.txt=B"}));

    EXPECT_TRUE(ShellMove(Path("src/docs"), Path("dest/")));
    EXPECT_FALSE(QFileInfo::exists(Path("src/docs")));
    EXPECT_EQ(Tree(Path("dest")), (QStringList{"docs (2)/", "docs (2)/a.txt=A", "docs (2)/sub/",
                                               "docs (2)/sub/b.txt=B", "docs/", "docs/mine.txt=mine"}));

    // A file onto a taken name, then to a plain new name.
    WriteFile(Path("loose.txt"), "loose");
    EXPECT_TRUE(ShellMove(Path("loose.txt"), Path("dest/docs/mine.txt")));
    EXPECT_EQ(Tree(Path("dest/docs")), (QStringList{"mine (2).txt=loose", "mine.txt=mine"}));
    EXPECT_TRUE(ShellMove(Path("dest/docs/mine (2).txt"), Path("dest/moved.txt")));
    EXPECT_EQ(ReadFile(Path("dest/moved.txt")), "loose");
    EXPECT_FALSE(QFileInfo::exists(Path("dest/docs/mine (2).txt")));
    EXPECT_FALSE(ShellMove(Path("missing"), Path("dest/")));
}

TEST_F(FileHelpersTest, ShellMoveAcrossFileSystems)
{
    QTemporaryDir other(QStringLiteral("/dev/shm/tessaryn-move-XXXXXX"));
    if (!other.isValid() || QStorageInfo(other.path()).device() == QStorageInfo(m_dir.path()).device())
        GTEST_SKIP() << "no second file system to move to";

    WriteFile(Path("docs/a.txt"), "A");
    WriteFile(Path("docs/sub/b.txt"), "B");
    WriteFile(other.path() + "/docs/taken.txt", "taken");
    EXPECT_TRUE(ShellMove(Path("docs"), other.path()));
    EXPECT_FALSE(QFileInfo::exists(Path("docs")));
    EXPECT_EQ(Tree(other.path()), (QStringList{"docs (2)/", "docs (2)/a.txt=A", "docs (2)/sub/",
                                               "docs (2)/sub/b.txt=B", "docs/", "docs/taken.txt=taken"}));
}

TEST_F(FileHelpersTest, UniqueTargetPath)
{
    WriteFile(Path("a.txt"));
    WriteFile(Path("a (2).txt"));
    WriteFile(Path(".profile"));
    WriteFile(Path("README"));
    QDir().mkpath(Path("my.docs"));
    EXPECT_EQ(UniqueTargetPath(Path("free.txt")), Path("free.txt"));
    EXPECT_EQ(UniqueTargetPath(Path("a.txt")), Path("a (3).txt"));
    EXPECT_EQ(UniqueTargetPath(Path(".profile")), Path(".profile (2)"));
    EXPECT_EQ(UniqueTargetPath(Path("README")), Path("README (2)"));
    EXPECT_EQ(UniqueTargetPath(Path("my.docs"), true), Path("my.docs (2)"));
}

} // namespace

#include "TestFiles.h"
#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "db/ClientRecordSet.h"
#include "engine/FileLists.h"
#include "settings/dmMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

namespace {

// A desktop that also remembers what the one-line prompt asked.
class PromptDesktop : public RecordingDesktop {
public:
    QStringList prompts;   // "caption|prompt|value"
    std::optional<QString> InputQuery(const QString& caption, const QString& prompt, const QString& value) override
    {
        prompts << caption + '|' + prompt + '|' + value;
        return RecordingDesktop::InputQuery(caption, prompt, value);
    }
};

struct TNote {
    int kind;
    int index;
    bool operator==(const TNote&) const = default;
};

// Records every notification; optionally acts inside its handling.
class RecordingObserver : public IFilesObserver {
public:
    QList<TNote> notes;
    std::function<void(TGenericFiles*)> onNote;
    bool destroyedSeen = false;
    void FilesChanged(TGenericFiles* files, int kind, int index) override
    {
        notes.append({kind, index});
        if (onNote)
            onNote(files);
    }
    void FilesDestroyed(TGenericFiles*) override { destroyedSeen = true; }
};

QStringList Names(const TGenericFiles& files)
{
    QStringList names;
    for (int i = 0; i < files.Count(); ++i)
        names << files.Items(i)->Name();
    return names;
}

QStringList MarkedNames(const TGenericFiles& files)
{
    QStringList names;
    for (int i = 0; i < files.Count(); ++i)
        if (files.IsSelected(i))
            names << files.Items(i)->Name();
    names.sort();
    return names;
}

// Lets queued events run for a while (for "nothing happens" checks).
void Settle(int ms = 300)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

class FileLists : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_db = TestDatabase::Create(TEngine::SQLite);
        s_conn = s_db->Connect();
    }
    static void TearDownTestSuite()
    {
        s_conn.reset();
        s_db.reset();
    }

    void SetUp() override
    {
        main = std::make_unique<TdmMain>(*s_conn, desktop);
        ASSERT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
        main->App.AutoSelectAddedFiles = false;
        folder = TestEnv::ScratchFolder();
    }

    // A folder list (no entry) over files made first; "name/" makes a folder.
    std::unique_ptr<TFolderFiles> List(const QStringList& entries)
    {
        for (const QString& e : entries) {
            if (e.endsWith('/'))
                QDir().mkpath(folder + e);
            else
                WriteFile(folder + e);
        }
        auto files = std::make_unique<TFolderFiles>(*main, nullptr);
        files->ListFolder(folder);
        return files;
    }

    static inline std::unique_ptr<TestDatabase> s_db;
    static inline std::unique_ptr<TdmConnection> s_conn;
    PromptDesktop desktop;
    std::unique_ptr<TdmMain> main;
    QString folder;
};

} // namespace

TEST_F(FileLists, ListFolderTakesHiddenEntriesAndFoldersAndMarksAllWithoutAnEntry)
{
    WriteFile(folder + "data.bin", QByteArray(1500, 'd'));
    auto files = List({".hidden", "docs/", "docs/inner.txt"});
    QStringList names = Names(*files);
    names.sort();
    EXPECT_EQ(names, QStringList({".hidden", "data.bin", "docs"}));
    EXPECT_EQ(files->FolderPath(), folder);
    EXPECT_EQ(files->SelectedCount(), 3);
    const TEntryItem* docs = files->Items(files->IndexOf("DOCS"));
    ASSERT_NE(docs, nullptr);
    EXPECT_EQ(docs->Kind(), TEntryItem::KindFolder);
    EXPECT_EQ(docs->Size(), 1);   // a folder counts what it holds
    EXPECT_EQ(files->Items(files->IndexOf("data.bin"))->Size(), 1500);
    EXPECT_TRUE(files->Items(files->IndexOf("data.bin"))->Date().isValid());
    EXPECT_EQ(files->SelectedSize(), 1502);   // data.bin + .hidden + what the folder holds

    // A folder that cannot be listed gives an empty list.
    files->ListFolder(folder + "missing");
    EXPECT_EQ(files->Count(), 0);
    EXPECT_EQ(files->FolderPath(), folder + "missing/");
}

TEST_F(FileLists, SortOrdersDescendingByKeyAndKeepsTheSameItemsMarked)
{
    struct TCase {
        int sortKind;
        QList<QPair<QString, int>> entries;   // name (ending "/" for a folder), size
        QStringList marked;
        QStringList expected;
    };
    const QList<TCase> cases = {
        {1, {{"b.txt", 1}, {"A.txt", 1}, {"a.txt", 1}}, {"A.txt", "b.txt"}, {"b.txt", "a.txt", "A.txt"}},
        {0, {{"zeta.txt", 1}, {"docs/", 0}}, {"zeta.txt"}, {"docs", "zeta.txt"}},
        {2, {{"ten", 10}, {"big", 2000}, {"five", 5}}, {"five"}, {"big", "ten", "five"}},
    };
    for (const TCase& c : cases) {
        folder = TestEnv::ScratchFolder();
        for (const auto& [name, size] : c.entries) {
            if (name.endsWith('/'))
                QDir().mkpath(folder + name);
            else
                WriteFile(folder + name, QByteArray(size, 'x'));
        }
        TFolderFiles files(*main, nullptr);
        files.ListFolder(folder);
        files.SelectNone();
        for (const QString& name : c.marked)
            files.SetSelected(Names(files).indexOf(name), true);
        RecordingObserver observer;
        files.AddObserver(&observer);
        observer.notes.clear();

        files.Sort(c.sortKind);
        EXPECT_EQ(Names(files), c.expected) << "sort kind " << c.sortKind;
        QStringList marked = c.marked;
        marked.sort();
        EXPECT_EQ(MarkedNames(files), marked) << "sort kind " << c.sortKind;
        EXPECT_EQ(observer.notes, QList<TNote>({{TGenericFiles::Reordered, -1}}));
        files.RemoveObserver(&observer);
    }
}

TEST_F(FileLists, DetermineMainFileFindsASavedPageWithItsFolderCaseSensitively)
{
    struct TCase {
        QStringList entries;
        bool expected;
        QString mainFile;
    };
    const QList<TCase> cases = {
        {{"page.htm", "page_files/"}, true, "page.htm"},
        {{"Index.html", "index_files/"}, true, "Index.html"},
        {{"Page.htm", "other_files/"}, false, ""},
        {{"PAGE.HTM", "PAGE_files/"}, false, ""},
        {{"page.htm", "page_FILES/"}, false, ""},
        {{"notes.txt"}, true, "notes.txt"},
        {{}, false, ""},
        {{"page.htm", "page_files/", "extra.txt"}, false, ""},
    };
    for (const TCase& c : cases) {
        folder = TestEnv::ScratchFolder();
        auto files = List(c.entries);
        EXPECT_EQ(files->DetermineMainFile(), c.expected) << c.entries.join(",").toStdString();
        EXPECT_EQ(files->MainFileName(), c.mainFile) << c.entries.join(",").toStdString();
    }
}

TEST_F(FileLists, SelectionRulesAndNotifications)
{
    auto files = List({"a", "b", "c"});
    files->SelectNone();
    int callbacks = 0;
    files->SetOnSelectionChanged([&](TGenericFiles*) { ++callbacks; });
    RecordingObserver observer;
    files->AddObserver(&observer);
    files->AddObserver(&observer);   // registered once
    EXPECT_EQ(observer.notes, QList<TNote>({{TGenericFiles::ListChanged, -1}}));
    observer.notes.clear();

    files->SetSelected(3, true);    // outside the list: ignored entirely
    files->SetSelected(-1, false);
    EXPECT_TRUE(observer.notes.isEmpty());
    EXPECT_EQ(callbacks, 0);

    files->SetSelected(1, true);
    files->SetSelected(1, true);    // already marked: no change, still repainted
    EXPECT_EQ(callbacks, 1);
    files->SetSelected(0, false);   // clearing always counts as a change
    EXPECT_EQ(callbacks, 2);
    EXPECT_EQ(observer.notes, QList<TNote>({{0, 1}, {0, 1}, {0, 0}}));
    EXPECT_EQ(files->Selection(), QList<int>({1}));

    observer.notes.clear();
    files->InvertSelection();
    EXPECT_EQ(files->Selection(), QList<int>({0, 2}));
    EXPECT_EQ(observer.notes.size(), 3);
    files->SelectAll();
    EXPECT_EQ(files->Selection(), QList<int>({0, 1, 2}));
    EXPECT_EQ(observer.notes.last(), TNote({TGenericFiles::SelectionChanged, -1}));

    files->SetCurrent(2);
    files->SetSelectedByName(files->Items(1)->Name().toUpper(), false);   // names match without regard to case
    files->UnselectCurrent();
    EXPECT_EQ(files->Selection(), QList<int>({0}));
    files->ToggleCurrent();
    EXPECT_TRUE(files->IsSelected(2));

    // The current item moves: the old row, then the new one.
    observer.notes.clear();
    files->SetCurrent(0);
    EXPECT_EQ(observer.notes, QList<TNote>({{TGenericFiles::CurrentChanged, 2}, {TGenericFiles::CurrentChanged, 0}}));
    files->SetCurrent(7);
    EXPECT_EQ(files->CurrentIndex(), 0);

    // Removing an item moves the marks of the items after it.
    files->SelectAll();
    files->SetSelected(1, false);
    QStringList names = Names(*files);
    names.removeAt(0);
    files->RemoveItem(0);
    EXPECT_EQ(Names(*files), names);
    EXPECT_EQ(files->Selection(), QList<int>({1}));   // the mark of the third item moved with it
    EXPECT_EQ(files->CurrentIndex(), -1);   // the current item went
    files->RemoveObserver(&observer);
}

TEST_F(FileLists, UpdateLockDropsNestedNotificationsAndSurvivesAFailingObserver)
{
    auto files = List({"a", "b"});
    RecordingObserver first;
    RecordingObserver second;
    files->AddObserver(&first);
    files->AddObserver(&second);
    first.notes.clear();
    second.notes.clear();

    // A notification caused while observers are told is dropped.
    first.onNote = [](TGenericFiles* f) { f->SetSelected(1, false); };
    files->SetSelected(0, false);
    EXPECT_EQ(first.notes, QList<TNote>({{0, 0}}));
    EXPECT_EQ(second.notes, QList<TNote>({{0, 0}}));
    EXPECT_FALSE(files->IsSelected(1));   // the change itself happened
    first.onNote = nullptr;

    // Updates: nothing until the last EndUpdate, then one ListChanged.
    first.notes.clear();
    files->BeginUpdate();
    files->BeginUpdate();
    files->SelectAll();
    files->EndUpdate();
    EXPECT_TRUE(first.notes.isEmpty());
    files->EndUpdate();
    files->EndUpdate();   // never below zero, and no second ListChanged
    EXPECT_EQ(first.notes, QList<TNote>({{TGenericFiles::ListChanged, -1}}));
    EXPECT_FALSE(files->IsUpdating());

    first.onNote = [](TGenericFiles*) { throw std::runtime_error("observer failed"); };
    EXPECT_THROW(files->SelectNone(), std::runtime_error);
    EXPECT_FALSE(files->IsUpdating());
    first.onNote = nullptr;
    first.notes.clear();
    files->SelectAll();
    EXPECT_EQ(first.notes.size(), 1);

    // A list that goes first tells the observers still registered.
    files->RemoveObserver(&second);
    files.reset();
    EXPECT_TRUE(first.destroyedSeen);
    EXPECT_FALSE(second.destroyedSeen);
}

TEST_F(FileLists, RefreshKeepsMarksAddsNewFilesAndDropsVanishedOnes)
{
    auto files = List({"keep.txt", "gone.txt", "other.txt"});
    files->SelectNone();
    files->SetSelectedByName("keep.txt", true);
    files->SetSelectedByName("gone.txt", true);
    files->SnapshotSelection();
    RecordingObserver observer;
    files->AddObserver(&observer);
    observer.notes.clear();

    files->Refresh();   // nothing changed on disk
    EXPECT_FALSE(files->Changed());
    EXPECT_TRUE(observer.notes.isEmpty());

    ASSERT_TRUE(QFile::remove(folder + "gone.txt"));
    WriteFile(folder + "new.txt");
    WriteFile(folder + "NEW.txt");   // another file on this file system
    files->Refresh();
    QStringList names = Names(*files);
    names.sort();
    EXPECT_EQ(names, QStringList({"NEW.txt", "keep.txt", "new.txt", "other.txt"}));
    EXPECT_EQ(MarkedNames(*files), QStringList({"keep.txt"}));
    EXPECT_TRUE(files->Changed());
    EXPECT_TRUE(files->HasChanged());
    EXPECT_EQ(observer.notes, QList<TNote>({{TGenericFiles::ListChanged, -1}}));

    // With "Auto select added files" a new file comes marked.
    main->App.AutoSelectAddedFiles = true;
    WriteFile(folder + "auto.txt");
    files->Refresh();
    EXPECT_EQ(MarkedNames(*files), QStringList({"auto.txt", "keep.txt"}));

    // A file written after it was listed is a change, once.
    files->SnapshotSelection();
    QFile f(folder + "other.txt");
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));
    f.close();
    files->Refresh();
    EXPECT_TRUE(files->HasChanged());
    files->SnapshotSelection();
    files->Refresh();
    EXPECT_FALSE(files->HasChanged());
    files->RemoveObserver(&observer);
}

TEST_F(FileLists, HasChangedComparesTheSelectionWithItsSnapshot)
{
    auto files = List({"a", "b", "c"});
    files->SelectNone();
    files->SetSelected(0, true);
    files->SetSelected(2, true);
    files->SnapshotSelection();
    EXPECT_FALSE(files->HasChanged());
    files->SetSelected(1, true);
    EXPECT_TRUE(files->HasChanged());
    files->SetSelected(1, false);
    EXPECT_FALSE(files->HasChanged());
    files->SetSelected(0, false);
    files->SetSelected(1, true);   // same count, another item
    EXPECT_TRUE(files->HasChanged());
    files->SetSelected(1, false);
    files->SetSelected(0, true);   // order of marking does not matter
    EXPECT_FALSE(files->HasChanged());
    files->MarkChanged();
    EXPECT_TRUE(files->HasChanged());
    files->SnapshotSelection();
    EXPECT_FALSE(files->Changed());
}

TEST_F(FileLists, DeleteSelectedFilesDeletesMarkedItemsLiterally)
{
    auto files = List({"a*.txt", "abc.txt", "docs/", "docs/inner.txt", "stay.txt"});
    files->SelectNone();
    files->SetSelectedByName("a*.txt", true);
    files->SetSelectedByName("docs", true);
    RecordingObserver observer;
    files->AddObserver(&observer);
    observer.notes.clear();

    files->DeleteSelectedFiles();
    EXPECT_FALSE(QFileInfo::exists(folder + "a*.txt"));
    EXPECT_FALSE(QFileInfo::exists(folder + "docs"));
    EXPECT_TRUE(QFileInfo::exists(folder + "abc.txt"));   // not taken as a pattern
    EXPECT_TRUE(QFileInfo::exists(folder + "stay.txt"));
    QStringList names = Names(*files);
    names.sort();
    EXPECT_EQ(names, QStringList({"abc.txt", "stay.txt"}));
    EXPECT_EQ(files->SelectedCount(), 0);
    EXPECT_EQ(observer.notes.last(), TNote({TGenericFiles::ListChanged, -1}));
    files->RemoveObserver(&observer);
}

TEST_F(FileLists, RenameCurrentKeepsTheMarkAndNeverReplacesATakenName)
{
    auto files = List({"a.txt", "b.txt"});
    WriteFile(folder + "a.txt", "first");
    WriteFile(folder + "b.txt", "second");
    files->SelectNone();
    files->SetCurrent(files->IndexOf("a.txt"));
    files->SelectCurrent();
    files->SnapshotSelection();

    // Onto a taken name: a warning, both files as they were.
    desktop.QueueInput(QString("b.txt"));
    files->RenameCurrent();
    EXPECT_EQ(desktop.prompts, QStringList({"Rename file|Enter filename|a.txt"}));
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_EQ(desktop.messages[0].text,
              "The file \"a.txt\" was not renamed: a file named \"b.txt\" already exists in this folder.");
    EXPECT_EQ(desktop.messages[0].kind, IDesktop::TMsgKind::Warning);
    EXPECT_EQ(ReadFile(folder + "a.txt"), "first");
    EXPECT_EQ(ReadFile(folder + "b.txt"), "second");
    EXPECT_EQ(files->CurrentItem()->Name(), "a.txt");
    EXPECT_FALSE(files->HasChanged());

    // Also when the name is taken on disk but not yet listed.
    WriteFile(folder + "late.txt", "late");
    desktop.QueueInput(QString("late.txt"));
    files->RenameCurrent();
    EXPECT_EQ(desktop.messages.size(), 2);
    EXPECT_EQ(ReadFile(folder + "a.txt"), "first");
    EXPECT_EQ(ReadFile(folder + "late.txt"), "late");

    // Cancel and an unchanged name do nothing; a name with a "/" is refused.
    desktop.QueueInput(std::nullopt);
    files->RenameCurrent();
    desktop.QueueInput(QString("a.txt"));
    files->RenameCurrent();
    desktop.QueueInput(QString("sub/a.txt"));
    files->RenameCurrent();
    EXPECT_EQ(desktop.messages.size(), 3);
    EXPECT_EQ(ReadFile(folder + "a.txt"), "first");

    // A free name (here differing only in case): renamed on disk, still marked.
    desktop.QueueInput(QString("A.txt"));
    files->RenameCurrent();
    EXPECT_EQ(ReadFile(folder + "A.txt"), "first");
    EXPECT_FALSE(QFileInfo::exists(folder + "a.txt"));
    EXPECT_EQ(files->CurrentItem()->Name(), "A.txt");
    EXPECT_EQ(MarkedNames(*files), QStringList({"A.txt"}));
    EXPECT_TRUE(files->Changed());
}

TEST_F(FileLists, WatcherFollowsTheWholeTreeIncludingNewSubfolders)
{
    auto files = List({"top.txt"});
    files->StartWatching();
    ASSERT_TRUE(files->IsWatching());

    WriteFile(folder + "added.txt");
    ASSERT_TRUE(TestEnv::WaitFor([&] { return files->IndexOfExact("added.txt") != -1; }));
    EXPECT_FALSE(files->IsSelected(files->IndexOfExact("added.txt")));

    QDir().mkpath(folder + "sub");
    ASSERT_TRUE(TestEnv::WaitFor([&] { return files->IndexOfExact("sub") != -1; }));
    Settle(150);
    files->SnapshotSelection();

    // A file made in a folder that came after the watch started.
    WriteFile(folder + "sub/inner.txt");
    EXPECT_TRUE(TestEnv::WaitFor([&] { return files->Changed(); }));

    QDir().mkpath(folder + "sub/deeper");
    Settle(150);
    files->SnapshotSelection();
    WriteFile(folder + "sub/deeper/leaf.txt");
    EXPECT_TRUE(TestEnv::WaitFor([&] { return files->Changed(); }));

    // Renamed and deleted at the top.
    ASSERT_TRUE(QFile::rename(folder + "top.txt", folder + "renamed.txt"));
    ASSERT_TRUE(TestEnv::WaitFor([&] { return files->IndexOfExact("renamed.txt") != -1; }));
    EXPECT_EQ(files->IndexOfExact("top.txt"), -1);
    ASSERT_TRUE(QFile::remove(folder + "added.txt"));
    EXPECT_TRUE(TestEnv::WaitFor([&] { return files->IndexOfExact("added.txt") == -1; }));

    // A stopped watcher reports nothing; resuming catches up at once.
    files->StopWatching();
    EXPECT_FALSE(files->IsWatching());
    WriteFile(folder + "quiet.txt");
    Settle();
    EXPECT_EQ(files->IndexOfExact("quiet.txt"), -1);
    files->ResumeWatching();
    EXPECT_NE(files->IndexOfExact("quiet.txt"), -1);
}

// The inotify watches this process holds, over all its descriptors.
int InotifyWatchCount()
{
    int count = 0;
    for (const QFileInfo& fd : QDir(QStringLiteral("/proc/self/fdinfo")).entryInfoList(QDir::Files)) {
        QFile info(fd.filePath());
        if (!info.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : info.readAll().split('\n'))
            if (line.startsWith("inotify wd:"))
                ++count;
    }
    return count;
}

TEST_F(FileLists, WatcherWatchesFoldersNotFiles)
{
    QStringList entries{"sub/", "sub/deeper/"};
    for (int i = 0; i < 40; ++i)
        entries << QStringLiteral("top%1.txt").arg(i) << QStringLiteral("sub/in%1.txt").arg(i)
                << QStringLiteral("sub/deeper/leaf%1.txt").arg(i);
    auto files = List(entries);
    const int before = InotifyWatchCount();
    files->StartWatching();
    ASSERT_TRUE(files->IsWatching());
    // The folder, sub and sub/deeper: one watch each, none for the 120 files.
    EXPECT_EQ(InotifyWatchCount() - before, 3);
    files->StopWatching();
    EXPECT_EQ(InotifyWatchCount(), before);
}

TEST_F(FileLists, WatcherNoticesChangesToFilesInsideSubfolders)
{
    auto files = List({"top.txt", "docs/", "docs/a.txt", "docs/b.txt", "docs/inner/", "docs/inner/c.txt"});
    files->StartWatching();
    ASSERT_TRUE(files->IsWatching());
    const auto expectNoticed = [&](const char* what) {
        EXPECT_TRUE(TestEnv::WaitFor([&] { return files->Changed(); })) << what;
        Settle(100);
        files->SnapshotSelection();
    };
    // Written in place (the same name, nothing new in any listing), or appended to.
    const auto writeInPlace = [](const QString& path, QIODevice::OpenMode mode = QIODevice::ReadWrite) {
        QFile file(path);
        return file.open(mode) && file.write("y") == 1;
    };
    files->SnapshotSelection();

    ASSERT_TRUE(writeInPlace(folder + "docs/a.txt"));
    expectNoticed("a file written in a subfolder");

    ASSERT_TRUE(QFile::remove(folder + "docs/b.txt"));
    expectNoticed("a file deleted in a subfolder");

    WriteFile(folder + "docs/inner/new.txt");
    expectNoticed("a file made two folders down");

    ASSERT_TRUE(writeInPlace(folder + "docs/inner/c.txt", QIODevice::Append));
    expectNoticed("a file written two folders down");

    // A folder made after the watch started, then a file written inside it.
    QDir().mkpath(folder + "docs/later");
    expectNoticed("a new subfolder");
    WriteFile(folder + "docs/later/one.txt");
    expectNoticed("a file made in the new subfolder");
    ASSERT_TRUE(writeInPlace(folder + "docs/later/one.txt"));
    expectNoticed("a file written in the new subfolder");

    // A folder with files moved in from outside is watched from then on.
    const QString outside = TestEnv::ScratchFolder();
    WriteFile(outside + "moved/m.txt");
    ASSERT_TRUE(QDir().rename(outside + "moved", folder + "docs/moved"));
    expectNoticed("a folder moved in");
    ASSERT_TRUE(writeInPlace(folder + "docs/moved/m.txt"));
    expectNoticed("a file written in a folder moved in");

    // A folder moved out is not: what happens there is no change here.
    ASSERT_TRUE(QDir().rename(folder + "docs/moved", outside + "away"));
    expectNoticed("a folder moved out");
    WriteFile(outside + "away/elsewhere.txt");
    Settle();
    EXPECT_FALSE(files->Changed()) << "a file made in a folder that left the tree";

    // Reading a file is no change.
    {
        QFile file(folder + "docs/a.txt");
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_FALSE(file.readAll().isEmpty());
    }
    Settle();
    EXPECT_FALSE(files->Changed()) << "a file read";
}

TEST_F(FileLists, OpenItemOpensTheFileOfAFolderList)
{
    auto files = List({"doc.txt"});
    files->OpenItem(0);
    files->OpenItem(5);
    EXPECT_EQ(desktop.opened, QStringList({folder + "doc.txt"}));
}

TEST_F(FileLists, EntryFilesListTheRowsAndOpenThroughTheEntryManager)
{
    DataPacket packet;
    packet.fields = {{"code", TFieldType::Integer}, {"entry", TFieldType::Integer}, {"Name", TFieldType::Text},
                     {"Type", TFieldType::Integer}, {"FileSize", TFieldType::Integer}};
    packet.rows = {{11, 5, "report.pdf", 1, 2048}, {12, 5, "images", 2, 0}, {13, 5, "page.htm", 1, 10}};
    ClientRecordSet rows;
    rows.LoadFromPacket(packet);
    TEntryFiles files(&rows);
    RecordingObserver observer;
    files.AddObserver(&observer);
    observer.notes.clear();

    files.LoadFromRecordSet(5);
    EXPECT_TRUE(observer.notes.isEmpty());
    EXPECT_EQ(Names(files), QStringList({"report.pdf", "images", "page.htm"}));
    EXPECT_EQ(files.Items(1)->Kind(), TEntryItem::KindFolder);
    EXPECT_EQ(files.Items(0)->Size(), 2048);
    EXPECT_FALSE(files.Items(0)->Date().isValid());
    EXPECT_EQ(files.EntryCode(), 5);

    files.SetCurrent(2);
    EXPECT_EQ(rows.RecNo(), 3);
    files.SetCurrent(-1);
    files.SetCurrent(3);
    EXPECT_EQ(files.CurrentIndex(), 2);

    QStringList opened;
    TEntryFiles::OpenEntryFile = [&](int code, const QString& name, int kind) {
        opened << QString("%1|%2|%3").arg(code).arg(name).arg(kind);
    };
    files.OpenItem(1);
    files.OpenItem(9);
    TEntryFiles::OpenEntryFile = nullptr;
    EXPECT_EQ(opened, QStringList({"5|images|2"}));
    files.RemoveObserver(&observer);
}

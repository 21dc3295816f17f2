#include "EntryManagerFixture.h"

#include "engine/StableFiles.h"

#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>
#include <unistd.h>

namespace {

const QString kCutAllText = QStringLiteral(
    "You cannot \"cut\" ALL the files of an entry, you must leave at least one.\r\nIf you want to move ALL entry "
    "files to another entry, then you should \"Merge\" the entries instead.");

class EntryTransfersTest : public EntryManagerTest {
protected:
    void SetUp() override
    {
        EntryManagerTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        // Entries opened for editing stay in the registry's list.
        main->App.EditMultipleEntries = true;
        manager->StableFileQuietMs = 150;
        manager->StableFileWaitMs = 3000;
        manager->ShowMergeDialog = [this](const QList<TEntryData*>& sources) -> std::optional<TEntryManager::TMergeValues> {
            mergeSources.clear();
            for (const TEntryData* source : sources)
                mergeSources.append(source->Code());
            if (!mergeAnswer)
                return std::nullopt;
            TEntryManager::TMergeValues values = *mergeAnswer;
            values.category = main->Categories().FindByCode(kArchive);
            return values;
        };
    }

    // The stored files of an entry, unpacked into a folder of their own, so
    // that an open entry's folder is left alone (password queued when given).
    TFiles StoredFiles(int code, const QString& password = {})
    {
        if (!password.isEmpty())
            desktop.QueuePassword(password);
        const QString folder = TestEnv::ScratchFolder() + QString("/stored-%1-%2/").arg(code).arg(++extractions);
        EXPECT_TRUE(QDir().mkpath(folder));
        TEntryData entry(*main, false);
        entry.SetCode(code);
        entry.SetFolderOverride(folder);
        dbModule.ExtractEntry(entry);
        return FilesBelow(folder);
    }

    int EntryCount()
    {
        QSqlQuery q(conn->Database());
        EXPECT_TRUE(q.exec("select count(*) from entries")) << q.lastError().text().toStdString();
        return q.next() ? q.value(0).toInt() : -1;
    }

    // A statement that makes every change of the table fail on either engine,
    // or only the changes of the row of onlyCode.
    void BlockTable(const char* operation, int onlyCode = 0)
    {
        QSqlQuery q(conn->Database());
        if (GetParam() == TEngine::SQLite) {
            ASSERT_TRUE(q.exec(QString("create trigger block_%1 before %1 on entries%2 begin select raise(abort, "
                                       "'blocked by the test'); end")
                                   .arg(operation, onlyCode ? QString(" when old.code = %1").arg(onlyCode) : "")))
                << q.lastError().text().toStdString();
        } else {
            ASSERT_TRUE(q.exec(QString("create or replace function block_it() returns trigger language plpgsql as $$ "
                                       "begin if %1 then raise exception 'blocked by the test'; end if; return new; "
                                       "end $$")
                                   .arg(onlyCode ? QString("old.code = %1").arg(onlyCode) : "true")))
                << q.lastError().text().toStdString();
            ASSERT_TRUE(q.exec(QString("create trigger block_%1 before %1 on entries for each row execute "
                                       "function block_it()")
                                   .arg(operation)))
                << q.lastError().text().toStdString();
        }
    }
    void UnblockTable(const char* operation)
    {
        QSqlQuery q(conn->Database());
        ASSERT_TRUE(q.exec(GetParam() == TEngine::SQLite ? QString("drop trigger block_%1").arg(operation)
                                                         : QString("drop trigger block_%1 on entries").arg(operation)))
            << q.lastError().text().toStdString();
    }

    QString Monitored() const { return main->App.MonitoredFolder; }

    // The entry opened for editing, with exactly the named files of its
    // folder marked; nullptr when it did not open.
    TEntryData* OpenWithMarked(int code, const QStringList& names)
    {
        manager->EditEntry(code);
        TEntryData* open = manager->OpenEntries().FindOpenEntry(code);
        if (!open)
            return nullptr;
        open->FolderFiles().SelectNone();
        for (const QString& name : names)
            open->FolderFiles().SetSelectedByName(name, true);
        return open;
    }

    // The monitored folder listed as the manage window lists it.
    std::unique_ptr<TFolderFiles> MonitoredList()
    {
        auto list = std::make_unique<TFolderFiles>(*main, nullptr);
        list->ListFolder(Monitored());
        return list;
    }

    // A file of the monitored folder dated in the past, as a finished download is.
    void WriteSettled(const QString& path, const QByteArray& content)
    {
        WriteFile(path, content);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(-60), QFileDevice::FileModificationTime));
    }

    std::optional<TEntryManager::TMergeValues> mergeAnswer =
        TEntryManager::TMergeValues{"Merged", "k1 k2", "the source", "merged comments", nullptr};
    QList<int> mergeSources;
    int extractions = 0;
};

TEST_P(EntryTransfersTest, MergeKeepsEveryFileOfEverySourceAndDeletesTheSources)
{
    const int first = StoreEntry("First", {{"notes.txt", "first notes"}, {"a.txt", "only first"}});
    const int second = StoreEntry("Second", {{"notes.txt", "second notes"}, {"docs/b.txt", "only second"}});
    desktop.Clear();
    const int before = EntryCount();

    ASSERT_TRUE(manager->MergeMarkedEntries({first, second})) << desktop.MessageTexts().join(" / ").toStdString();
    EXPECT_EQ(mergeSources, (QList<int>{first, second}));
    EXPECT_TRUE(desktop.notices.contains(kNoticeTitle + "The selected entries have been successfully merged."))
        << desktop.notices.join(" / ").toStdString();
    EXPECT_EQ(EntryCount(), before - 1);
    EXPECT_FALSE(Column(first, "code").isValid());
    EXPECT_FALSE(Column(second, "code").isValid());

    QSqlQuery q(conn->Database());
    ASSERT_TRUE(q.exec("select code, title, keywords, source, comments, category from entries where title = 'Merged'"));
    ASSERT_TRUE(q.next());
    const int merged = q.value(0).toInt();
    EXPECT_EQ(q.value(2).toString(), "k1 k2");
    EXPECT_EQ(q.value(3).toString(), "the source");
    EXPECT_EQ(q.value(4).toString(), "merged comments");
    EXPECT_EQ(q.value(5).toInt(), kArchive);

    const TFiles files = StoredFiles(merged);
    EXPECT_EQ(files.size(), 4u);
    EXPECT_EQ(files.at("notes.txt"), "first notes");
    EXPECT_EQ(files.at("a.txt"), "only first");
    EXPECT_EQ(files.at("docs/b.txt"), "only second");
    // the second notes.txt came in under a fresh numeric prefix
    bool renamed = false;
    for (const auto& [name, content] : files)
        renamed |= name.endsWith("_notes.txt") && name.front().isDigit() && content == "second notes";
    EXPECT_TRUE(renamed);
}

TEST_P(EntryTransfersTest, MergeIsOneTransactionAndCancelChangesNothing)
{
    const int first = StoreEntry("First", {{"one.txt", "1"}});
    const int second = StoreEntry("Second", {{"two.txt", "2"}});
    const int before = EntryCount();

    // The dialog cancelled
    mergeAnswer.reset();
    desktop.Clear();
    EXPECT_FALSE(manager->MergeMarkedEntries({first, second}));
    EXPECT_EQ(desktop.MessageTexts(), QStringList{"Entries were NOT merged."});
    EXPECT_EQ(EntryCount(), before);

    // The sources cannot be deleted: the merged entry must not stay either.
    mergeAnswer = TEntryManager::TMergeValues{"Merged", "", "", "", nullptr};
    BlockTable("delete");
    desktop.Clear();
    EXPECT_FALSE(manager->MergeMarkedEntries({first, second}));
    EXPECT_TRUE(desktop.MessageTexts().contains("Entries were NOT merged."));
    EXPECT_EQ(EntryCount(), before);
    UnblockTable("delete");
    EXPECT_EQ(StoredFiles(first), (TFiles{{"one.txt", "1"}}));
    EXPECT_EQ(StoredFiles(second), (TFiles{{"two.txt", "2"}}));

    // An open source is refused before anything is read.
    manager->EditEntry(first);
    desktop.Clear();
    EXPECT_FALSE(manager->MergeEntries({first, second}));
    EXPECT_EQ(desktop.MessageTexts(), QStringList{"Some of the selected entries are open for editing. You must first "
                                                  "close them before merging them."});
    EXPECT_EQ(EntryCount(), before);
}

TEST_P(EntryTransfersTest, CuttingOrMovingAllFilesOfAnEntryIsRefused)
{
    const int code = StoreEntry("Source", {{"a.txt", "a"}, {"b.txt", "b"}});
    const int other = StoreEntry("Other", {{"c.txt", "c"}});
    manager->EditEntry(code);
    TEntryData* open = manager->OpenEntries().FindOpenEntry(code);
    ASSERT_TRUE(open);
    TFolderFiles& list = open->FolderFiles();
    list.SelectAll();
    manager->PickEntry = [other] { return std::optional<int>(other); };
    for (const auto kind : {TEntryManager::TFolderTransfer::CutIntoNewEntry, TEntryManager::TFolderTransfer::MoveToEntry}) {
        desktop.Clear();
        EXPECT_FALSE(manager->TransferFolderFiles(list, kind));
        ASSERT_EQ(desktop.messages.size(), 1);
        EXPECT_EQ(desktop.messages[0].text, kCutAllText);
        EXPECT_EQ(desktop.messages[0].kind, IDesktop::TMsgKind::Information);
    }
    EXPECT_EQ(StoredFiles(other), (TFiles{{"c.txt", "c"}}));

    // Every file of the monitored folder may go.
    WriteSettled(Monitored() + "m1.txt", "m1");
    WriteSettled(Monitored() + "m2.txt", "m2");
    auto monitored = MonitoredList();
    monitored->SelectAll();
    desktop.Clear();
    ASSERT_TRUE(manager->TransferFolderFiles(*monitored, TEntryManager::TFolderTransfer::MoveToEntry))
        << desktop.MessageTexts().join(" / ").toStdString();
    EXPECT_EQ(desktop.messages[0].text,
              "The file(s) you have selected will be removed from the monitored folder\r\nand will be stored in an "
              "existing entry you will be asked to specify.\r\nAre you sure you want to proceed?");
    EXPECT_EQ(StoredFiles(other), (TFiles{{"c.txt", "c"}, {"m1.txt", "m1"}, {"m2.txt", "m2"}}));
    EXPECT_TRUE(FilesBelow(Monitored()).empty());
}

TEST_P(EntryTransfersTest, MovedFilesLeaveTheSourceEntryOnlyAfterTheTargetIsStored)
{
    const int source = StoreEntry("Source", {{"keep.txt", "keep"}, {"go.txt", "go"}});
    const int target = StoreEntry("Target", {{"go.txt", "target's own"}});
    TEntryData* open = OpenWithMarked(source, {"go.txt"});
    ASSERT_TRUE(open);
    TFolderFiles& list = open->FolderFiles();
    manager->PickEntry = [target] { return std::optional<int>(target); };

    // The target cannot be stored: nothing moves anywhere.
    BlockTable("update");
    desktop.Clear();
    EXPECT_FALSE(manager->TransferFolderFiles(list, TEntryManager::TFolderTransfer::MoveToEntry));
    EXPECT_EQ(desktop.messages.value(0).text,
              "The file(s) you have selected will be removed from current entry \r\nand the remaining files will be "
              "stored (in current entry) before creating a new entry. \r\nAre you sure you want to proceed?");
    UnblockTable("update");
    EXPECT_TRUE(QFile::exists(open->GetFolder() + "go.txt"));
    EXPECT_EQ(StoredFiles(source), (TFiles{{"keep.txt", "keep"}, {"go.txt", "go"}}));
    EXPECT_EQ(StoredFiles(target), (TFiles{{"go.txt", "target's own"}}));

    // Now it goes; the taken name arrives under a numeric prefix.
    list.SelectNone();
    list.SetSelectedByName("go.txt", true);
    desktop.Clear();
    ASSERT_TRUE(manager->TransferFolderFiles(list, TEntryManager::TFolderTransfer::MoveToEntry))
        << desktop.MessageTexts().join(" / ").toStdString();
    EXPECT_EQ(StoredFiles(source), (TFiles{{"keep.txt", "keep"}}));
    const TFiles stored = StoredFiles(target);
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored.at("go.txt"), "target's own");
    EXPECT_TRUE(std::any_of(stored.begin(), stored.end(),
                            [](const auto& f) { return f.first.endsWith("_go.txt") && f.second == "go"; }));
}

TEST_P(EntryTransfersTest, CutIntoANewEntryTakesTheFilesOnlyWhenTheNewEntryIsStored)
{
    WriteSettled(Monitored() + "a.txt", "a");
    WriteSettled(Monitored() + "b.txt", "b");
    auto list = MonitoredList();
    list->SelectNone();
    list->SetSelectedByName("a.txt", true);
    ASSERT_TRUE(manager->TransferFolderFiles(*list, TEntryManager::TFolderTransfer::CutIntoNewEntry));
    ASSERT_EQ(editorShown.size(), 1);
    EXPECT_TRUE(editorShown[0].second);
    TEntryData* created = manager->OpenEntries().FindOpenEntry(editorShown[0].first);
    ASSERT_TRUE(created);
    // Not stored yet: the monitored folder still holds the file.
    EXPECT_TRUE(QFile::exists(Monitored() + "a.txt"));
    EXPECT_EQ(created->FolderFiles().SelectedCount(), 1);
    created->SetTitle("Cut");
    created->SetCategory(main->Categories().FindByCode(kNotes));
    ASSERT_TRUE(Save(*created));
    EXPECT_FALSE(QFile::exists(Monitored() + "a.txt"));
    EXPECT_TRUE(QFile::exists(Monitored() + "b.txt"));
    EXPECT_EQ(Column(created->Code(), "title").toString(), "Cut");
}

// A cut leaves the originals until the new entry is stored, which may be
// much later. A file saved under the same name meanwhile is newer than what
// the entry holds: it must stay, and the user must hear of it.
TEST_P(EntryTransfersTest, ANewerFileUnderTheSameNameIsKeptWhenTheCutIsStored)
{
    enum class TChange { None, WrittenAgain, ReplacedWithSameSizeAndTime };
    enum class TFrom { OpenEntry, ClosedEntry, MonitoredFolder };
    const struct {
        const char* name;
        TFrom from;
        TChange change;
        QStringList kept;   // named in the warning
    } cases[] = {
        {"open entry, written again", TFrom::OpenEntry, TChange::WrittenAgain, {"go.txt"}},
        {"open entry, replaced", TFrom::OpenEntry, TChange::ReplacedWithSameSizeAndTime, {"go.txt"}},
        {"monitored folder, written again", TFrom::MonitoredFolder, TChange::WrittenAgain, {"go.txt"}},
        {"monitored folder, replaced", TFrom::MonitoredFolder, TChange::ReplacedWithSameSizeAndTime, {"go.txt"}},
        // An entry closed since is extracted afresh to be stored again, which
        // would replace the newer file: it is left alone whole.
        {"closed entry, written again", TFrom::ClosedEntry, TChange::WrittenAgain, {"also.txt", "go.txt"}},
        {"closed entry, unchanged", TFrom::ClosedEntry, TChange::None, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        desktop.Clear();
        editorShown.clear();
        const bool fromEntry = c.from != TFrom::MonitoredFolder;
        int source = 0;
        QString folder;
        std::unique_ptr<TFolderFiles> monitored;
        TFolderFiles* list = nullptr;
        if (fromEntry) {
            source = StoreEntry("Source", {{"go.txt", "old"}, {"also.txt", "also"}, {"stay.txt", "stay"}});
            TEntryData* open = OpenWithMarked(source, {"go.txt", "also.txt"});
            ASSERT_TRUE(open);
            folder = open->GetFolder();
            list = &open->FolderFiles();
        } else {
            folder = Monitored();
            WriteSettled(folder + "go.txt", "old");
            WriteSettled(folder + "also.txt", "also");
            monitored = MonitoredList();
            list = monitored.get();
            list->SelectNone();
            list->SetSelectedByName("go.txt", true);
            list->SetSelectedByName("also.txt", true);
        }
        ASSERT_TRUE(manager->TransferFolderFiles(*list, TEntryManager::TFolderTransfer::CutIntoNewEntry))
            << desktop.MessageTexts().join(" / ").toStdString();
        ASSERT_TRUE(editorShown.last().second);
        TEntryData* created = manager->OpenEntries().FindOpenEntry(editorShown.last().first);
        ASSERT_TRUE(created);
        if (c.from == TFrom::ClosedEntry)
            manager->OpenEntries().CloseEntry(manager->OpenEntries().FindOpenEntry(source));

        // Another program saves go.txt again before the new entry is stored.
        const QString path = folder + "go.txt";
        if (c.change == TChange::WrittenAgain) {
            WriteFile(path, "newer version");
        } else if (c.change == TChange::ReplacedWithSameSizeAndTime) {
            // Same size and time as the copied file: only the file itself differs.
            const auto time = std::filesystem::last_write_time(path.toStdString());
            WriteFile(folder + "go.tmp", "new");
            std::filesystem::last_write_time(QString(folder + "go.tmp").toStdString(), time);
            ASSERT_EQ(::rename((folder + "go.tmp").toUtf8().constData(), path.toUtf8().constData()), 0);
        }
        const QByteArray newer = ReadFile(path);

        created->SetTitle("Cut");
        created->SetCategory(main->Categories().FindByCode(kNotes));
        desktop.Clear();
        ASSERT_TRUE(Save(*created)) << desktop.MessageTexts().join(" / ").toStdString();
        EXPECT_EQ(StoredFiles(created->Code()), (TFiles{{"go.txt", "old"}, {"also.txt", "also"}}));
        if (c.change != TChange::None)
            EXPECT_EQ(ReadFile(path), newer);
        EXPECT_EQ(QFile::exists(folder + "also.txt"), c.kept.contains("also.txt"));
        if (c.kept.isEmpty()) {
            EXPECT_TRUE(desktop.MessageTexts().isEmpty()) << desktop.MessageTexts().join(" / ").toStdString();
        } else {
            const QString place = fromEntry ? QString("entry [ %1. Source ]").arg(source)
                                            : QString("the folder \"%1\"").arg(folder);
            EXPECT_EQ(desktop.MessageTexts(),
                      QStringList{QString("These files were not removed from %1: they are no longer exactly what was "
                                          "copied into entry [ %2. Cut ] (they changed, or were added, since) or "
                                          "could not be deleted. They stay where they are; entry [ %2. Cut ] holds "
                                          "what was copied:\r\n%3")
                                      .arg(place)
                                      .arg(created->Code())
                                      .arg(c.kept.join("\r\n"))});
            EXPECT_EQ(desktop.messages.value(0).kind, IDesktop::TMsgKind::Warning);
        }
        // What the giving entry holds now: the newer file when its editor
        // had it, what it had when it was closed, or only what stayed.
        if (c.from == TFrom::OpenEntry)
            EXPECT_EQ(StoredFiles(source), (TFiles{{"go.txt", newer}, {"stay.txt", "stay"}}));
        else if (c.from == TFrom::ClosedEntry && !c.kept.isEmpty())
            EXPECT_EQ(StoredFiles(source), (TFiles{{"go.txt", "old"}, {"also.txt", "also"}, {"stay.txt", "stay"}}));
        else if (c.from == TFrom::ClosedEntry)
            EXPECT_EQ(StoredFiles(source), (TFiles{{"stay.txt", "stay"}}));
        manager->OpenEntries().CloseEntry(created);
        if (TEntryData* open = manager->OpenEntries().FindOpenEntry(source))
            manager->OpenEntries().CloseEntry(open);
        QFile::remove(Monitored() + "go.txt");
    }
}

// The originals leave their entry only after the receiving entry is stored;
// when the giving entry cannot be stored then, the receiving one is stored
// all the same, and nothing is lost: the giving entry keeps them too.
TEST_P(EntryTransfersTest, ASourceThatCannotBeStoredAfterTheCutKeepsItsFiles)
{
    const int source = StoreEntry("Source", {{"go.txt", "go"}, {"stay.txt", "stay"}});
    TEntryData* open = OpenWithMarked(source, {"go.txt"});
    ASSERT_TRUE(open);
    ASSERT_TRUE(manager->TransferFolderFiles(open->FolderFiles(), TEntryManager::TFolderTransfer::CutIntoNewEntry));
    ASSERT_TRUE(editorShown.last().second);
    TEntryData* created = manager->OpenEntries().FindOpenEntry(editorShown.last().first);
    ASSERT_TRUE(created);
    created->SetTitle("Cut");
    created->SetCategory(main->Categories().FindByCode(kNotes));

    BlockTable("update", source);   // only the source's row refuses to change
    desktop.Clear();
    bool saved = false;
    EXPECT_NO_THROW(saved = Save(*created));
    UnblockTable("update");
    EXPECT_TRUE(saved);
    const QStringList texts = desktop.MessageTexts();
    ASSERT_EQ(texts.size(), 1) << texts.join(" / ").toStdString();
    EXPECT_TRUE(texts[0].startsWith(QString("The files copied into entry [ %1. Cut ] could not be taken out of entry "
                                            "[ %2. Source ], which still holds them.\r\n")
                                        .arg(created->Code())
                                        .arg(source)))
        << texts[0].toStdString();
    EXPECT_TRUE(texts[0].contains("blocked by the test")) << texts[0].toStdString();
    EXPECT_EQ(StoredFiles(created->Code()), (TFiles{{"go.txt", "go"}}));
    EXPECT_EQ(StoredFiles(source), (TFiles{{"go.txt", "go"}, {"stay.txt", "stay"}}));
}

// Files added to an entry that is then shown in its editor: an editor that
// refuses the entry makes the command fail before any file moved.
TEST_P(EntryTransfersTest, AddingFilesForTheEditorFailsWhenTheEditorRefusesTheEntry)
{
    const int target = StoreEntry("Target", {{"t.txt", "t"}});
    WriteSettled(Monitored() + "m.txt", "m");
    main->App.AutoEditEntriesIfFilesAdded = true;
    main->Connection().AccessPolicy = [target](int code, int kind) { return code != target || kind != akView; };
    auto list = MonitoredList();
    list->SelectAll();
    desktop.Clear();
    EXPECT_FALSE(manager->AddFilesToEntry(*list, target, false));
    main->Connection().AccessPolicy = nullptr;
    EXPECT_EQ(desktop.MessageTexts(), QStringList{"You have insufficient rights to view this entry."});
    EXPECT_TRUE(editorShown.isEmpty());
    EXPECT_EQ(FilesBelow(Monitored()), (TFiles{{"m.txt", "m"}}));
    EXPECT_TRUE(FilesBelow(FolderOf(target)).empty());
    EXPECT_EQ(StoredFiles(target), (TFiles{{"t.txt", "t"}}));
}

// A new entry from the monitored folder that cannot be made says why.
TEST_P(EntryTransfersTest, ANewEntryFromTheMonitoredFolderThatFailsSaysWhy)
{
    WriteSettled(Monitored() + "m.txt", "m");
    // The extract folder cannot be made: a file stands where it should be.
    const QString blocker = TestEnv::ScratchFolder() + "/not-a-folder";
    WriteFile(blocker, "x");
    main->App.ExtractFolder = blocker + "/extracted/";
    desktop.Clear();
    EXPECT_FALSE(manager->CreateEntryFromMonitoredFolder(Monitored()));
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_TRUE(desktop.messages[0].text.startsWith("The folder \"" + blocker + "/extracted/"))
        << desktop.messages[0].text.toStdString();
    EXPECT_EQ(desktop.messages[0].kind, IDesktop::TMsgKind::Error);
    EXPECT_TRUE(editorShown.isEmpty());
    EXPECT_EQ(FilesBelow(Monitored()), (TFiles{{"m.txt", "m"}}));
}

TEST_P(EntryTransfersTest, AFileStillBeingWrittenIsTakenOnlyWhenComplete)
{
    const QString path = Monitored() + "download.bin";
    WriteFile(path, "");
    std::atomic<bool> stop = false;
    QByteArray expected;
    for (int i = 0; i < 8; ++i)
        expected += QByteArray(4096, char('a' + i));
    // Another program writes the file in chunks over about 0.8 s.
    std::thread writer([&] {
        QFile file(path);
        if (!file.open(QIODevice::Append))
            return;
        for (int i = 0; i < 8 && !stop; ++i) {
            file.write(QByteArray(4096, char('a' + i)));
            file.flush();
            QThread::msleep(100);
        }
    });
    QThread::msleep(50);
    auto list = MonitoredList();
    list->SelectAll();
    const bool created = manager->TransferFolderFiles(*list, TEntryManager::TFolderTransfer::CopyIntoNewEntry);
    stop = true;
    writer.join();
    ASSERT_TRUE(created) << desktop.MessageTexts().join(" / ").toStdString();
    TEntryData* entry = manager->OpenEntries().FindOpenEntry(editorShown.value(0).first);
    ASSERT_TRUE(entry);
    EXPECT_EQ(FilesBelow(entry->GetFolder()), (TFiles{{"download.bin", expected}}));

    // A file that never settles within the wait is refused, and nothing is taken.
    manager->StableFileWaitMs = 400;
    const QString endless = Monitored() + "endless.bin";
    WriteFile(endless, "");
    stop = false;
    std::thread second([&] {
        QFile file(endless);
        if (!file.open(QIODevice::Append))
            return;
        while (!stop) {
            file.write("x");
            file.flush();
            QThread::msleep(30);
        }
    });
    list->Refresh();
    list->SelectNone();
    list->SetSelectedByName("endless.bin", true);
    desktop.Clear();
    editorShown.clear();
    const bool taken = manager->TransferFolderFiles(*list, TEntryManager::TFolderTransfer::CutIntoNewEntry);
    stop = true;
    second.join();
    EXPECT_FALSE(taken);
    EXPECT_TRUE(editorShown.isEmpty());
    EXPECT_TRUE(desktop.MessageTexts().last().startsWith("The file \"" + endless + "\" is still being written"))
        << desktop.MessageTexts().join(" / ").toStdString();
    EXPECT_TRUE(QFile::exists(endless));
}

TEST_P(EntryTransfersTest, AnEntryWorkingOnTheMonitoredFolderStoresAFileOnlyWhenItIsWhole)
{
    const QString path = Monitored() + "growing.log";
    WriteFile(path, "");
    ASSERT_TRUE(manager->CreateEntryFromMonitoredFolder(Monitored()));
    TEntryData* entry = manager->FindEntryUsingMonitoredFolder();
    ASSERT_TRUE(entry);
    entry->SetTitle("Growing");
    entry->SetCategory(main->Categories().FindByCode(kNotes));
    QByteArray expected;
    for (int i = 0; i < 6; ++i)
        expected += QByteArray(2048, char('0' + i));
    std::thread writer([&] {
        QFile file(path);
        if (!file.open(QIODevice::Append))
            return;
        for (int i = 0; i < 6; ++i) {
            file.write(QByteArray(2048, char('0' + i)));
            file.flush();
            QThread::msleep(120);
        }
    });
    QThread::msleep(30);
    const bool saved = Save(*entry);
    writer.join();
    ASSERT_TRUE(saved) << desktop.MessageTexts().join(" / ").toStdString();
    EXPECT_EQ(StoredFiles(entry->Code()), (TFiles{{"growing.log", expected}}));
}

TEST_P(EntryTransfersTest, HostileNamesAndOutsideLinksOfTheMonitoredFolder)
{
    const QStringList names = {"with space.txt", "quote\"and'.txt", "-leading-dash.txt", "new\nline.txt",
                               QString(251, u'n') + ".txt"};
    for (const QString& name : names)
        WriteSettled(Monitored() + name, name.toUtf8());
    auto list = MonitoredList();
    list->SelectAll();
    ASSERT_TRUE(manager->TransferFolderFiles(*list, TEntryManager::TFolderTransfer::CutIntoNewEntry))
        << desktop.MessageTexts().join(" / ").toStdString();
    TEntryData* entry = manager->OpenEntries().FindOpenEntry(editorShown.value(0).first);
    ASSERT_TRUE(entry);
    entry->SetTitle("Hostile");
    entry->SetCategory(main->Categories().FindByCode(kNotes));
    ASSERT_TRUE(Save(*entry)) << desktop.MessageTexts().join(" / ").toStdString();
    const int code = entry->Code();
    manager->OpenEntries().CloseEntry(entry);
    TFiles expected;
    for (const QString& name : names)
        expected[name] = name.toUtf8();
    EXPECT_EQ(StoredFiles(code), expected);
    EXPECT_TRUE(FilesBelow(Monitored()).empty());

    // A link that leads out of the folder is never followed into storage.
    const QString outside = TestEnv::ScratchFolder() + "/outside-secret.txt";
    WriteFile(outside, "secret");
    ASSERT_TRUE(QFile::link(outside, Monitored() + "link.txt"));
    WriteSettled(Monitored() + "plain.txt", "plain");
    list->Refresh();
    list->SelectAll();
    desktop.Clear();
    editorShown.clear();
    EXPECT_FALSE(manager->TransferFolderFiles(*list, TEntryManager::TFolderTransfer::CopyIntoNewEntry));
    EXPECT_TRUE(editorShown.isEmpty());
    EXPECT_TRUE(desktop.MessageTexts().value(0).contains("is a link to a place outside the monitored folder"))
        << desktop.MessageTexts().join(" / ").toStdString();

    // A name that is not UTF-8 cannot be named: it stays, and the user is told.
    QFile::remove(Monitored() + "link.txt");
    const QByteArray bad = QFile::encodeName(Monitored()) + "bad\xff\xfe.txt";
    {
        FILE* f = std::fopen(bad.constData(), "w");
        ASSERT_TRUE(f);
        std::fclose(f);
    }
    list->Refresh();
    list->SelectAll();
    desktop.Clear();
    EXPECT_TRUE(manager->TransferFolderFiles(*list, TEntryManager::TFolderTransfer::CutIntoNewEntry));
    ASSERT_EQ(desktop.messages.size(), 2);
    EXPECT_TRUE(desktop.messages[1].text.contains("names that are not valid text (UTF-8)")) << desktop.messages[1].text.toStdString();
    EXPECT_TRUE(desktop.messages[1].text.contains(QString("bad") + QChar::ReplacementCharacter));
    entry = manager->OpenEntries().FindOpenEntry(editorShown.value(0).first);
    ASSERT_TRUE(entry);
    EXPECT_EQ(FilesBelow(entry->GetFolder()), (TFiles{{"plain.txt", "plain"}}));
    entry->SetTitle("Plain");
    entry->SetCategory(main->Categories().FindByCode(kNotes));
    ASSERT_TRUE(Save(*entry));
    EXPECT_FALSE(QFile::exists(Monitored() + "plain.txt"));
    EXPECT_EQ(::access(bad.constData(), F_OK), 0) << "the file without a name stays";
    // The scratch folder's own removal cannot name it either.
    ::unlink(bad.constData());
}

TEST_P(EntryTransfersTest, PasswordIsAddedRemovedAndGuarded)
{
    const int code = StoreEntry("Guarded", {{"secret.txt", "the secret"}});
    // Cancelled: nothing changes.
    manager->ShowPasswordProtect = [] { return std::optional<QString>(); };
    desktop.Clear();
    EXPECT_FALSE(manager->AddPasswordToEntry(code));
    EXPECT_EQ(desktop.MessageTexts(), QStringList{"The password was NOT added to the selected entry."});
    EXPECT_EQ(Column(code, "PasswordProtected").toInt(), 0);
    EXPECT_TRUE(desktop.passwordRequests.isEmpty());

    manager->ShowPasswordProtect = [] { return std::optional<QString>(" p4ss "); };
    desktop.Clear();
    ASSERT_TRUE(manager->AddPasswordToEntry(code)) << desktop.MessageTexts().join(" / ").toStdString();
    EXPECT_TRUE(desktop.notices.contains(kNoticeTitle + "Password was added succesfully."));
    EXPECT_EQ(Column(code, "PasswordProtected").toInt(), 1);
    // Viewing now asks; a wrong password brings nothing out.
    desktop.Clear();
    desktop.QueuePassword(QString("wrong"));
    EXPECT_THROW(manager->LoadAndExtractEntry(code), ETessarynError);
    EXPECT_EQ(StoredFiles(code, " p4ss "), (TFiles{{"secret.txt", "the secret"}}));

    // Removing needs the right password.
    desktop.Clear();
    desktop.QueuePassword(QString("wrong"));
    EXPECT_FALSE(manager->RemovePasswordFromEntry(code));
    EXPECT_EQ(desktop.MessageTexts().last(), "The password was NOT removed from the selected entry.");
    EXPECT_EQ(Column(code, "PasswordProtected").toInt(), 1);
    desktop.Clear();
    desktop.QueuePassword(std::nullopt);
    EXPECT_FALSE(manager->RemovePasswordFromEntry(code));
    EXPECT_EQ(desktop.MessageTexts(), QStringList{"The password was NOT removed from the selected entry."});
    desktop.Clear();
    desktop.QueuePassword(QString(" p4ss "));
    ASSERT_TRUE(manager->RemovePasswordFromEntry(code)) << desktop.MessageTexts().join(" / ").toStdString();
    EXPECT_TRUE(desktop.notices.contains(kNoticeTitle + "Password was removed succesfully."));
    EXPECT_EQ(Column(code, "PasswordProtected").toInt(), 0);
    desktop.passwordRequests.clear();
    EXPECT_EQ(StoredFiles(code), (TFiles{{"secret.txt", "the secret"}}));
    EXPECT_TRUE(desktop.passwordRequests.isEmpty());
}

TEST_P(EntryTransfersTest, AddingTheMonitoredFolderAsksWithTheNamesOrTheCount)
{
    const int code = StoreEntry("Target", {{"t.txt", "t"}});
    WriteSettled(Monitored() + "one.txt", "1");
    WriteSettled(Monitored() + "two.txt", "2");
    desktop.QueueAnswer(IDesktop::TAnswer::No);
    EXPECT_FALSE(manager->AddMonitoredFolderFilesToEntry(code, "Target"));
    // The names in the folder's order, each followed by a line break.
    const QString question = desktop.messages.value(0).text;
    EXPECT_TRUE(question.startsWith("Are you sure you want to add the following files:\r\n\r\n")) << question.toStdString();
    EXPECT_TRUE(question.contains("one.txt\r\n") && question.contains("two.txt\r\n")) << question.toStdString();
    EXPECT_TRUE(question.endsWith(QString("\r\n \r\n\r\nto entry: \r\n\r\n[%1. Target]?").arg(code))) << question.toStdString();
    EXPECT_TRUE(QFile::exists(Monitored() + "one.txt"));
    for (int i = 0; i < 11; ++i)
        WriteSettled(Monitored() + QString("f%1.txt").arg(i), "f");
    desktop.Clear();
    ASSERT_TRUE(manager->AddMonitoredFolderFilesToEntry(code, "Target"));
    EXPECT_EQ(desktop.messages.value(0).text,
              QString("Are you sure you want to add the 13 files in the monitored folder to entry: \r\n[%1. Target]?")
                  .arg(code));
    EXPECT_EQ(StoredFiles(code).size(), 14u);
    EXPECT_TRUE(FilesBelow(Monitored()).empty());
}

} // namespace

TESSARYN_INSTANTIATE_ENGINES(EntryTransfersTest);

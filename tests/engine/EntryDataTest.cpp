#include "TestFiles.h"
#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "app/Errors.h"
#include "engine/Category.h"
#include "engine/EntryData.h"
#include "engine/FileHelpers.h"
#include "settings/dmMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace {

const QByteArray kArchive("PK\x03\x04 stand-in archive bytes \x00\x01\x02", 32);
constexpr int kCategoryCode = 7;

QStringList MarkedNames(const TGenericFiles& files)
{
    QStringList names;
    for (int i = 0; i < files.Count(); ++i)
        if (files.IsSelected(i))
            names << files.Items(i)->Name();
    names.sort();
    return names;
}

QStringList SortedNames(const TGenericFiles& files)
{
    QStringList names;
    for (int i = 0; i < files.Count(); ++i)
        names << files.Items(i)->Name();
    names.sort();
    return names;
}

void Settle(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// What the packaging module does around the entry: the built archive goes
// into the row, the temporary archive goes, the rows are written.
bool StoreLikePackaging(TEntryData& entry)
{
    WriteFile(entry.GetStoreArchivePath(), kArchive);
    entry.LoadArchiveIntoRecord();
    QFile::remove(entry.GetStoreArchivePath());
    entry.Main().Connection().ApplyEntryUpdates(entry.BuildEntryDelta());
    return true;
}

class CountingObserver : public IEntryDataObserver {
public:
    int calls = 0;
    std::function<void(TEntryData*)> onCall;
    void EntryDataChanged(TEntryData* entry) override
    {
        ++calls;
        if (onCall)
            onCall(entry);
    }
};

class EntryDataTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
        QSqlQuery q(conn->Database());
        ASSERT_TRUE(q.exec(QString("insert into categories (code, parent, name) values (%1, 0, 'Notes')")
                               .arg(kCategoryCode)))
            << q.lastError().text().toStdString();
        main = std::make_unique<TdmMain>(*conn, desktop);
        ASSERT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
        main->App.AutoSelectAddedFiles = false;
    }

    void TearDown() override
    {
        main.reset();
        EngineTest::TearDown();
    }

    // A new entry as the entry manager makes one, with files in its folder.
    std::unique_ptr<TEntryData> NewEntry(const QStringList& files, bool watch = false)
    {
        auto entry = std::make_unique<TEntryData>(*main, watch);
        entry->LoadFromPacket(conn->GetEntry(0));
        entry->SetCode(conn->GetNewEntryCode());
        entry->EntryRecordSet().SetValue("DateCreated", QDateTime::currentDateTime());
        entry->EntryRecordSet().SetValue("GUID", NewGuidText());
        for (const QString& name : files)
            WriteFile(entry->GetFolder() + name, name.toUtf8());
        entry->RefreshFileLists();
        return entry;
    }

    // Stores a new entry with the given files marked, then loads it afresh.
    std::unique_ptr<TEntryData> StoredEntry(const QStringList& files, const QStringList& marked, bool watch = false)
    {
        auto entry = NewEntry(files);
        entry->SetTitle("Stored");
        for (const QString& name : marked)
            entry->FolderFiles().SetSelectedByName(name, true);
        EXPECT_TRUE(entry->Save(StoreLikePackaging));
        auto loaded = std::make_unique<TEntryData>(*main, watch);
        loaded->SetCode(entry->Code());
        loaded->LoadFromPacket(conn->GetEntry(entry->Code()));
        loaded->RefreshFileLists();
        desktop.Clear();
        return loaded;
    }

    RecordingDesktop desktop;
    std::unique_ptr<TdmMain> main;
};

} // namespace

TEST_P(EntryDataTest, SaveWritesTheRowAndOneRowPerMarkedFileWithConsecutiveCodes)
{
    auto entry = NewEntry({"a.txt", "b.txt", "c.txt", "d.txt"});
    EXPECT_TRUE(entry->IsModified());   // a new entry, nothing changed yet
    EXPECT_EQ(entry->FolderFiles().SelectedCount(), 0);
    entry->FolderFiles().SetSelectedByName("a.txt", true);
    entry->FolderFiles().SetSelectedByName("c.txt", true);
    entry->FolderFiles().SetSelectedByName("d.txt", true);
    TCategory* category = main->Categories().FindByCode(kCategoryCode);
    ASSERT_NE(category, nullptr);
    entry->SetTitle("Trip notes");
    entry->SetKeywords("travel;rail");
    entry->SetSource("timetable");
    entry->SetCategory(category);
    const int code = entry->Code();

    ASSERT_TRUE(entry->Save(StoreLikePackaging));
    EXPECT_FALSE(entry->IsModified());
    EXPECT_EQ(entry->Comments(), " ");
    EXPECT_EQ(desktop.notices,
              QStringList({"[Tessaryn]:|The selected file(s) have been successfully stored under the title \"Trip notes\"."}));
    EXPECT_TRUE(desktop.messages.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(entry->GetStoreArchivePath()));
    const int nextFree = conn->ReserveNextRecIDs("entryfiles", 1);

    const DataPackets back = conn->GetEntry(code);
    ASSERT_EQ(back[0].RowCount(), 1);
    EXPECT_EQ(back[0].Value(0, "Title").toString(), "Trip notes");
    EXPECT_EQ(back[0].Value(0, "Keywords").toString(), "travel;rail");
    EXPECT_EQ(back[0].Value(0, "source").toString(), "timetable");
    EXPECT_EQ(back[0].Value(0, "comments").toString(), " ");
    EXPECT_EQ(back[0].Value(0, "category").toInt(), kCategoryCode);
    EXPECT_EQ(back[0].Value(0, "PasswordProtected").toInt(), 0);
    EXPECT_EQ(back[0].Value(0, "DateModified").toDateTime(), QDateTime(QDate::currentDate(), QTime(0, 0)));
    EXPECT_EQ(back[0].Value(0, "Items").toByteArray(), kArchive);

    // Codes for all four items were reserved; the three marked ones got the
    // first three, in list order.
    const DataPacket& rows = back[1];
    ASSERT_EQ(rows.RowCount(), 3);
    QList<QPair<int, int>> positionAndCode;
    for (int r = 0; r < rows.RowCount(); ++r) {
        EXPECT_EQ(rows.Value(r, "entry").toInt(), code);
        EXPECT_EQ(rows.Value(r, "Type").toInt(), TEntryItem::KindFile);
        const QString name = rows.Value(r, "Name").toString();
        EXPECT_EQ(rows.Value(r, "FileSize").toInt(), name.toUtf8().size());
        positionAndCode.append({entry->FolderFiles().IndexOfExact(name), rows.Value(r, "code").toInt()});
    }
    std::sort(positionAndCode.begin(), positionAndCode.end());
    const int first = positionAndCode[0].second;
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(positionAndCode[i].second, first + i);
    EXPECT_EQ(nextFree, first + 4);
    EXPECT_EQ(SortedNames(entry->EntryFiles()), QStringList({"a.txt", "c.txt", "d.txt"}));

    // Loaded afresh: the fields, the archive file, the marks, unmodified.
    WriteFile(entry->GetExtractArchivePath(), "stale content to be replaced");
    TEntryData loaded(*main, false);
    loaded.SetCode(code);
    loaded.LoadFromPacket(conn->GetEntry(code));
    EXPECT_EQ(loaded.Title(), "Trip notes");
    EXPECT_EQ(loaded.Keywords(), "travel;rail");
    EXPECT_EQ(loaded.Source(), "timetable");
    EXPECT_EQ(loaded.Comments(), " ");
    EXPECT_EQ(loaded.Category(), category);
    EXPECT_FALSE(loaded.PasswordProtected());
    EXPECT_TRUE(loaded.DateCreated().isValid());
    EXPECT_EQ(ReadFile(loaded.GetExtractArchivePath()), kArchive);
    EXPECT_FALSE(loaded.IsModified());
    loaded.RefreshFileLists();
    EXPECT_EQ(MarkedNames(loaded.FolderFiles()), QStringList({"a.txt", "c.txt", "d.txt"}));
    EXPECT_EQ(loaded.FolderFiles().Count(), 4);
    EXPECT_FALSE(loaded.IsModified());
}

TEST_P(EntryDataTest, ChangeTrackingOfAStoredEntry)
{
    auto entry = StoredEntry({"a.txt", "b.txt"}, {"a.txt"});
    ASSERT_FALSE(entry->IsModified());

    entry->SetTitle(entry->Title());
    entry->SetComments(entry->Comments());
    EXPECT_FALSE(entry->IsModified());

    // Only the selection: modified while it differs from the stored one.
    entry->FolderFiles().SetSelectedByName("b.txt", true);
    EXPECT_TRUE(entry->IsModified());
    entry->FolderFiles().SetSelectedByName("b.txt", false);
    EXPECT_FALSE(entry->IsModified());

    // Unless the folder itself changed.
    WriteFile(entry->GetFolder() + "new.txt");
    entry->FolderFiles().Refresh();
    EXPECT_EQ(MarkedNames(entry->FolderFiles()), QStringList({"a.txt"}));
    EXPECT_TRUE(entry->IsModified());
    entry->ClearModified();
    EXPECT_FALSE(entry->IsModified());

    entry->SetTitle("Renamed");
    EXPECT_TRUE(entry->IsModified());
    entry->EntryRecordSet().Post();
    EXPECT_TRUE(entry->IsModified());   // posted but not yet accepted
    entry->AcceptChanges();
    EXPECT_FALSE(entry->IsModified());

    entry->SetPassword("secret");
    EXPECT_TRUE(entry->PasswordChanged());
    EXPECT_TRUE(entry->IsModified());
    entry->ClearModified();
    EXPECT_FALSE(entry->PasswordChanged());
    EXPECT_FALSE(entry->IsModified());
}

TEST_P(EntryDataTest, MissingEntryWarnsAndAbortsSilently)
{
    TEntryData entry(*main, false);
    entry.SetCode(987654);
    EXPECT_THROW(entry.LoadFromPacket(conn->GetEntry(987654)), EAbort);
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_EQ(desktop.messages[0].text, "Entry [ 987654 ] was not found in the Knowledge Base.");
    EXPECT_EQ(desktop.messages[0].kind, IDesktop::TMsgKind::Warning);
    EXPECT_EQ(desktop.messages[0].buttons, IDesktop::TButtons::Ok);
    EXPECT_FALSE(QFileInfo::exists(entry.GetExtractArchivePath()));
}

TEST_P(EntryDataTest, NothingMarkedOrAFailedStoreIsReportedAndLeavesTheEntryModified)
{
    auto entry = NewEntry({"a.txt"});
    entry->SetTitle("No files");
    EXPECT_THROW(entry->BuildEntryDelta(), EAbort);
    EXPECT_EQ(desktop.MessageTexts(), QStringList({"You must store at least one file in the entry."}));
    EXPECT_EQ(desktop.messages[0].kind, IDesktop::TMsgKind::Warning);
    EXPECT_EQ(entry->Comments(), " ");

    desktop.Clear();
    EXPECT_FALSE(entry->Save([](TEntryData&) { return false; }));
    EXPECT_EQ(desktop.MessageTexts(), QStringList({"Entry was NOT saved."}));
    EXPECT_TRUE(desktop.notices.isEmpty());
    EXPECT_TRUE(entry->IsModified());
    EXPECT_TRUE(conn->GetEntry(entry->Code())[0].IsEmpty());

    // Without "Notify when entries are changed" a store shows nothing.
    desktop.Clear();
    main->App.NotifyEntriesChanged = false;
    entry->FolderFiles().SelectAll();
    EXPECT_TRUE(entry->Save(StoreLikePackaging));
    EXPECT_TRUE(desktop.notices.isEmpty());
    EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST_P(EntryDataTest, DeletingTheOnlyMarkedFileDropsItFromTheStoredList)
{
    auto entry = StoredEntry({"a.txt", "b.txt"}, {"a.txt"});
    ASSERT_EQ(MarkedNames(entry->FolderFiles()), QStringList({"a.txt"}));
    ASSERT_EQ(SortedNames(entry->EntryFiles()), QStringList({"a.txt"}));

    entry->FolderFiles().DeleteSelectedFiles();
    EXPECT_FALSE(QFileInfo::exists(entry->GetFolder() + "a.txt"));
    EXPECT_TRUE(QFileInfo::exists(entry->GetFolder() + "b.txt"));
    EXPECT_EQ(entry->FolderFiles().SelectedCount(), 0);
    EXPECT_EQ(SortedNames(entry->FolderFiles()), QStringList({"b.txt"}));
    EXPECT_EQ(entry->EntryFiles().Count(), 0);
    EXPECT_TRUE(entry->IsModified());
}

TEST_P(EntryDataTest, StoredFilesMissingFromTheFolderLeaveTheStoredList)
{
    auto entry = StoredEntry({"a.txt", "b.txt"}, {"a.txt", "b.txt"});
    ASSERT_TRUE(QFile::remove(entry->GetFolder() + "b.txt"));
    entry->RefreshFileLists();
    EXPECT_EQ(SortedNames(entry->EntryFiles()), QStringList({"a.txt"}));
    EXPECT_EQ(MarkedNames(entry->FolderFiles()), QStringList({"a.txt"}));
}

TEST_P(EntryDataTest, ObserversAreToldOnceEachWithoutReentry)
{
    auto entry = StoredEntry({"a.txt", "b.txt"}, {"a.txt"});
    CountingObserver first;
    CountingObserver second;
    entry->AddObserver(&first);
    entry->AddObserver(&first);
    entry->AddObserver(&second);

    entry->SetPassword("pw");
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(second.calls, 1);
    entry->SetPassword("pw");   // unchanged
    entry->SetCategory(entry->Category());
    EXPECT_EQ(first.calls, 1);

    // A change made while observers are told raises no second round.
    first.onCall = [](TEntryData* e) { e->SetPassword(e->Password() + "+"); };
    entry->FolderFiles().SetSelectedByName("b.txt", true);
    EXPECT_EQ(first.calls, 2);
    EXPECT_EQ(second.calls, 2);
    EXPECT_EQ(entry->Password(), "pw+");
    EXPECT_FALSE(entry->Notifying());

    // A failing observer does not leave the guard set.
    first.onCall = [](TEntryData*) { throw std::runtime_error("window failed"); };
    EXPECT_THROW(entry->FolderFiles().SelectNone(), std::runtime_error);
    EXPECT_FALSE(entry->Notifying());
    first.onCall = nullptr;

    entry->RemoveObserver(&second);
    const int before = second.calls;
    entry->SetTitle("Edited");   // the row goes into edit mode
    EXPECT_EQ(second.calls, before);
    EXPECT_GT(first.calls, 3);
    entry->RemoveObserver(&first);
}

TEST_P(EntryDataTest, AWatchedEntryFolderListsNewFilesAndBecomesModified)
{
    auto entry = StoredEntry({"a.txt"}, {"a.txt"}, true);
    ASSERT_TRUE(entry->FolderFiles().IsWatching());
    ASSERT_FALSE(entry->IsModified());
    CountingObserver observer;
    entry->AddObserver(&observer);
    TFolderFiles& files = entry->FolderFiles();

    WriteFile(entry->GetFolder() + "dropped.txt");
    ASSERT_TRUE(TestEnv::WaitFor([&] { return files.IndexOfExact("dropped.txt") != -1; }));
    EXPECT_FALSE(files.IsSelected(files.IndexOfExact("dropped.txt")));
    EXPECT_TRUE(entry->IsModified());
    EXPECT_GT(observer.calls, 0);

    main->App.AutoSelectAddedFiles = true;
    WriteFile(entry->GetFolder() + "auto.txt");
    ASSERT_TRUE(TestEnv::WaitFor([&] { return files.IndexOfExact("auto.txt") != -1; }));
    EXPECT_EQ(MarkedNames(files), QStringList({"a.txt", "auto.txt"}));

    // A file added inside a subfolder made after watching began.
    QDir().mkpath(entry->GetFolder() + "later/deep");
    ASSERT_TRUE(TestEnv::WaitFor([&] { return files.IndexOfExact("later") != -1; }));
    Settle(150);
    entry->ClearModified();
    ASSERT_FALSE(entry->IsModified());
    WriteFile(entry->GetFolder() + "later/deep/inner.txt");
    EXPECT_TRUE(TestEnv::WaitFor([&] { return entry->IsModified(); }));
    entry->RemoveObserver(&observer);
}

TEST_P(EntryDataTest, AnEntryThatDoesNotWatchIgnoresItsFolder)
{
    auto entry = StoredEntry({"a.txt"}, {"a.txt"}, false);
    EXPECT_FALSE(entry->FolderFiles().IsWatching());
    WriteFile(entry->GetFolder() + "dropped.txt");
    Settle(300);
    EXPECT_EQ(entry->FolderFiles().IndexOfExact("dropped.txt"), -1);
    EXPECT_FALSE(entry->IsModified());
}

TEST_P(EntryDataTest, FoldersPathsCleanUpAndExplore)
{
    auto entry = NewEntry({"x.txt", "sub/y.txt"});
    const QString code = QString::number(entry->Code());
    EXPECT_EQ(entry->GetFolder(), main->App.ExtractFolder + code + "/");
    EXPECT_EQ(entry->GetStoreArchivePath(), main->App.CompressionFolder + code + ".zip");
    EXPECT_EQ(entry->GetExtractArchivePath(), main->App.ExtractFolder + code + ".zip");
    entry->ExploreFolder();
    EXPECT_EQ(desktop.explored, QStringList({entry->GetFolder()}));

    main->App.CleanupTemporaryFiles = 2;
    entry->CleanFolder();
    EXPECT_TRUE(QFileInfo::exists(entry->GetFolder() + "x.txt"));
    main->App.CleanupTemporaryFiles = 0;
    entry->CleanFolder();
    EXPECT_TRUE(QDir(entry->GetFolder()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));

    // A folder the entry was only pointed at is the user's, not temporary.
    const QString own = TestEnv::ScratchFolder();
    WriteFile(own + "keep.txt");
    entry->SetFolderOverride(own.chopped(1));
    EXPECT_EQ(entry->GetFolder(), own);
    entry->CleanFolder();
    EXPECT_TRUE(QFileInfo::exists(own + "keep.txt"));
}

TEST_P(EntryDataTest, MoveSelectedFilesToKeepsFilesOfTheSameName)
{
    auto entry = NewEntry({"a.txt", "b.txt"});
    entry->FolderFiles().SetSelectedByName("a.txt", true);
    const QString target = TestEnv::ScratchFolder();
    WriteFile(target + "a.txt", "already there");

    // The main data module's entry manager moves: a taken name makes the
    // source take a new code as prefix first, so both files survive.
    entry->MoveSelectedFilesTo(target);
    EXPECT_EQ(ReadFile(target + "a.txt"), "already there");
    const QStringList moved = QDir(target).entryList({"*_a.txt"}, QDir::Files);
    ASSERT_EQ(moved.size(), 1);
    EXPECT_EQ(ReadFile(target + moved.first()), "a.txt");
    EXPECT_FALSE(QFileInfo::exists(entry->GetFolder() + "a.txt"));
    EXPECT_EQ(SortedNames(entry->FolderFiles()), QStringList({"b.txt"}));

    // The entry manager's own move replaces the plain one.
    QStringList calls;
    TEntryData::SetFileMover([&](TFolderFiles& from, TFolderFiles& to) {
        calls << from.FolderPath() + "|" + to.FolderPath() + "|" + QString::number(to.Count());
    });
    entry->MoveSelectedFilesTo(target);
    TEntryData::SetFileMover(nullptr);
    EXPECT_EQ(calls, QStringList({entry->GetFolder() + "|" + target + "|2"}));
}

TESSARYN_INSTANTIATE_ENGINES(EntryDataTest);

#include "EntryManagerFixture.h"

TEST_P(EntryManagerTest, NewEntryStoresItsFilesAndExtractsThemBack)
{
    std::unique_ptr<TEntryData> entry = manager->CreateNewEntry(false);
    ASSERT_TRUE(entry);
    EXPECT_GT(entry->Code(), 0);
    EXPECT_EQ(entry->Title(), "<Enter title here>");
    EXPECT_EQ(entry->Category(), nullptr);
    EXPECT_TRUE(entry->IsModified());
    EXPECT_TRUE(QDir(entry->GetFolder()).exists());
    EXPECT_EQ(entry->GetFolder(), FolderOf(entry->Code()));

    const TFiles files{{"notes.txt", "plain notes"}, {"docs/a/b.txt", "nested"}, {"empty.dat", ""}};
    for (const auto& [name, content] : files)
        WriteFile(entry->GetFolder() + name, content);
    entry->FolderFiles().ListFolder(entry->GetFolder());
    entry->FolderFiles().SelectAll();
    entry->SetTitle("Round trip");
    entry->SetCategory(main->Categories().FindByCode(kNotes));
    ASSERT_TRUE(Save(*entry)) << desktop.MessageTexts().join(" / ").toStdString();
    const int code = entry->Code();
    entry.reset();
    // not open in an editor: the stored files left the folder
    EXPECT_TRUE(FilesBelow(FolderOf(code)).empty());

    EXPECT_EQ(Column(code, "Title").toString(), "Round trip");
    EXPECT_EQ(Column(code, "GUID").toString().size(), 36);
    EXPECT_EQ(Column(code, "DateCreated").toDateTime(), QDateTime(main->CurrentDate(), QTime(0, 0)));

    std::unique_ptr<TEntryData> loaded = manager->LoadAndExtractEntry(code);
    EXPECT_EQ(FilesBelow(loaded->GetFolder()), files);
    EXPECT_EQ(loaded->Title(), "Round trip");
    EXPECT_EQ(loaded->EntryFiles().Count(), 3);
    EXPECT_FALSE(loaded->IsModified());
    EXPECT_FALSE(QFile::exists(loaded->GetExtractArchivePath()));
    loaded.reset();

    // the record alone: the archive is left in the extract folder, nothing unpacked
    QDir(FolderOf(code)).removeRecursively();
    std::unique_ptr<TEntryData> record = manager->LoadEntryRecordOnly(code);
    EXPECT_EQ(record->Title(), "Round trip");
    EXPECT_TRUE(FilesBelow(FolderOf(code)).empty());
    QString listing;
    ASSERT_EQ(TestEnv::Run("unzip", {"-Z1", record->GetExtractArchivePath()}, &listing), 0) << listing.toStdString();
    QStringList members = listing.split('\n', Qt::SkipEmptyParts);
    members.sort();
    EXPECT_EQ(members, QStringList({"docs/", "docs/a/", "docs/a/b.txt", "empty.dat", "notes.txt"}));
    EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.MessageTexts().join(" / ").toStdString();
}

TEST_P(EntryManagerTest, DeleteConfirmationNamesUpToTwentyEntries)
{
    QList<int> codes;
    QStringList titles;
    for (int i = 1; i <= 21; ++i) {
        titles << QString("Entry %1 (50%)").arg(i);
        codes << StoreEntry(titles.last(), {{"f.txt", "x"}});
    }
    ASSERT_EQ(conn->CountEntries(), 21);
    desktop.Clear();

    desktop.QueueAnswer(IDesktop::TAnswer::No);
    EXPECT_FALSE(manager->DeleteEntries(codes.mid(0, 20), titles.mid(0, 20)));
    QString listed;
    for (int i = 0; i < 20; ++i)
        listed += QString("[ %1. Entry %2 (50%) ]\r\n").arg(codes[i]).arg(i + 1);
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_EQ(desktop.messages[0].text, "Are you sure you want to delete entries:\r\n\r\n" + listed +
                                            "\r\n\r\n and their included files from the database?");
    EXPECT_EQ(desktop.messages[0].kind, IDesktop::TMsgKind::Confirmation);
    EXPECT_EQ(desktop.messages[0].buttons, IDesktop::TButtons::YesNo);
    EXPECT_EQ(conn->CountEntries(), 21);
    EXPECT_TRUE(desktop.notices.isEmpty());

    desktop.Clear();
    EXPECT_TRUE(manager->DeleteEntries(codes, titles));
    EXPECT_EQ(desktop.MessageTexts(), QStringList{"Are you sure you want to delete the selected entries?"});
    EXPECT_EQ(desktop.notices,
              QStringList{kNoticeTitle + "The selected entries have been successfully deleted from the database."});
    EXPECT_EQ(conn->CountEntries(), 0);
}

TEST_P(EntryManagerTest, DeletingRefusesOpenEntriesFirstAndReportsFailure)
{
    main->App.EditMultipleEntries = true;
    const int open = StoreEntry("Open one", {{"a.txt", "a"}});
    const int other = StoreEntry("Other", {{"b.txt", "b"}});
    manager->EditEntry(open);
    ASSERT_EQ(manager->OpenEntries().Count(), 1);
    EXPECT_EQ(editorShown, (QList<std::pair<int, bool>>{{open, false}}));
    desktop.Clear();

    EXPECT_FALSE(manager->DeleteEntries({other, open}, {"Other", "Open one"}));
    ASSERT_EQ(desktop.messages.size(), 1);   // no confirmation was asked
    EXPECT_EQ(desktop.messages[0].text,
              "Some of the selected entries are open for editing. You must first close them before deleting.");
    EXPECT_EQ(desktop.messages[0].kind, IDesktop::TMsgKind::Information);
    EXPECT_EQ(conn->CountEntries(), 2);

    // the database refuses: the error message, no notice
    QSqlQuery q(conn->Database());
    if (GetParam() == TEngine::SQLite) {
        ASSERT_TRUE(q.exec("create trigger keep before delete on entries begin select raise(abort, 'kept'); end"));
    } else {
        ASSERT_TRUE(q.exec("create function keep() returns trigger language plpgsql as "
                           "$$ begin raise exception 'kept'; end $$"));
        ASSERT_TRUE(q.exec("create trigger keep before delete on entries for each row execute function keep()"));
    }
    desktop.Clear();
    EXPECT_FALSE(manager->DeleteEntries({other}, {"Other"}));
    ASSERT_EQ(desktop.messages.size(), 2);
    EXPECT_EQ(desktop.messages[1].text, "Entries were NOT deleted.");
    EXPECT_EQ(desktop.messages[1].kind, IDesktop::TMsgKind::Error);
    EXPECT_TRUE(desktop.notices.isEmpty());
    EXPECT_EQ(conn->CountEntries(), 2);
}

TEST_P(EntryManagerTest, MovingUnderACategoryRefreshesTheBrowserAndNotifies)
{
    const QList<int> codes{StoreEntry("One", {{"1.txt", "1"}}), StoreEntry("Two", {{"2.txt", "2"}})};
    const int untouched = StoreEntry("Three", {{"3.txt", "3"}});
    int refreshes = 0;
    manager->RefreshBrowser = [&refreshes] { ++refreshes; };
    desktop.Clear();

    EXPECT_TRUE(manager->MoveEntriesUnderCategory(codes, kArchive));
    EXPECT_EQ(Column(codes[0], "category").toInt(), kArchive);
    EXPECT_EQ(Column(codes[1], "category").toInt(), kArchive);
    EXPECT_EQ(Column(untouched, "category").toInt(), kNotes);
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(desktop.notices,
              QStringList{kNoticeTitle + "The selected entries have been moved under the specified category."});

    // without the notify setting the move is silent
    main->App.NotifyEntriesChanged = false;
    desktop.Clear();
    EXPECT_TRUE(manager->MoveEntriesUnderCategory({untouched}, kArchive));
    EXPECT_EQ(Column(untouched, "category").toInt(), kArchive);
    EXPECT_TRUE(desktop.notices.isEmpty());
    EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST_P(EntryManagerTest, ViewingOpensTheMainFileOrTheEditor)
{
    const int page = StoreEntry("Saved page", {{"page.html", "<html/>"}, {"page_files/img.png", "png"}});
    const int two = StoreEntry("Two files", {{"a.txt", "a"}, {"b.txt", "b"}});
    desktop.Clear();

    manager->ViewEntry(page);
    EXPECT_EQ(desktop.opened, QStringList{FolderOf(page) + "page.html"});
    EXPECT_TRUE(editorShown.isEmpty());
    EXPECT_EQ(manager->OpenEntries().ModalEntry(), nullptr);
    // the extracted page stays for the program that opens it
    EXPECT_EQ(FilesBelow(FolderOf(page)).size(), 2u);

    desktop.Clear();
    manager->ViewEntry(two);
    EXPECT_TRUE(desktop.opened.isEmpty());
    EXPECT_EQ(editorShown, (QList<std::pair<int, bool>>{{two, false}}));
    // one modal editor at a time: its entry is held but not listed
    ASSERT_NE(manager->OpenEntries().ModalEntry(), nullptr);
    EXPECT_EQ(manager->OpenEntries().ModalEntry()->Code(), two);
    EXPECT_EQ(manager->OpenEntries().FindOpenEntry(two), nullptr);
    EXPECT_FALSE(manager->OpenEntries().ModalEntry()->DeleteStoredFilesAfterSave());
}

TEST_P(EntryManagerTest, DefaultActionFollowsTheSettings)
{
    const int single = StoreEntry("Single", {{"only.pdf", "pdf"}});
    const int three = StoreEntry("Three", {{"a.txt", "a"}, {"b.txt", "b"}, {"c.txt", "c"}});
    struct TCase {
        int code;
        int singleAction;
        int multipleAction;
        QStringList opened;
        QStringList explored;
        bool editor;
    };
    const TCase cases[] = {
        {three, 0, 2, {}, {FolderOf(three)}, false},
        {three, 0, 1, {}, {}, true},
        {single, 0, 2, {FolderOf(single) + "only.pdf"}, {}, false},
        {single, 2, 1, {}, {FolderOf(single)}, false},
        {single, 1, 2, {}, {}, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "code " << c.code << " actions " << c.singleAction << "/" << c.multipleAction);
        main->App.DefaultActionSingleFile = c.singleAction;
        main->App.DefaultActionMultipleFiles = c.multipleAction;
        desktop.Clear();
        editorShown.clear();
        manager->OpenEntryByDefaultAction(c.code);
        EXPECT_EQ(desktop.opened, c.opened);
        EXPECT_EQ(desktop.explored, c.explored);
        EXPECT_EQ(editorShown.size(), c.editor ? 1 : 0);
        EXPECT_TRUE(desktop.messages.isEmpty());
    }

    // exploring always extracts afresh and leaves the folder behind
    QDir(FolderOf(three)).removeRecursively();
    desktop.Clear();
    manager->ExploreEntry(three);
    EXPECT_EQ(desktop.explored, QStringList{FolderOf(three)});
    EXPECT_EQ(FilesBelow(FolderOf(three)).size(), 3u);
}

TEST_P(EntryManagerTest, OnlyOneEntryMayWorkOnTheMonitoredFolder)
{
    main->App.EditMultipleEntries = true;
    const QString monitored = main->App.MonitoredFolder;
    WriteFile(monitored + "scan.pdf", "scan");
    WriteFile(monitored + "sub/note.txt", "note");
    QList<int> pagesShown;
    manager->OpenEntries().ShowEntryPage = [&pagesShown](int code) { pagesShown << code; };

    ASSERT_TRUE(manager->CreateEntryFromMonitoredFolder(monitored));
    ASSERT_EQ(manager->OpenEntries().Count(), 1);
    TEntryData* open = manager->OpenEntries().Items(0).Entry.get();
    EXPECT_EQ(open->GetFolder(), monitored);
    EXPECT_EQ(open->FolderFiles().Count(), 2);   // scan.pdf and sub
    EXPECT_EQ(open->FolderFiles().SelectedCount(), 2);
    EXPECT_EQ(manager->FindEntryUsingMonitoredFolder(), open);
    EXPECT_EQ(editorShown, (QList<std::pair<int, bool>>{{open->Code(), true}}));
    EXPECT_TRUE(desktop.messages.isEmpty());

    EXPECT_FALSE(manager->CreateEntryFromMonitoredFolder(monitored));
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_EQ(desktop.messages[0].text, "There is an open entry using the monitored folder. To proceed to this "
                                        "operation, you must first close this entry.");
    EXPECT_EQ(desktop.messages[0].kind, IDesktop::TMsgKind::Warning);
    EXPECT_EQ(pagesShown, QList<int>{open->Code()});
    EXPECT_EQ(manager->OpenEntries().Count(), 1);

    // closing it frees the way; the user's files in the monitored folder stay,
    // whatever the clean-up policy
    main->App.CleanupTemporaryFiles = 0;
    manager->OpenEntries().CloseEntry(open);
    EXPECT_EQ(manager->FindEntryUsingMonitoredFolder(), nullptr);
    EXPECT_EQ(FilesBelow(monitored).size(), 2u);
    EXPECT_TRUE(manager->CreateEntryFromMonitoredFolder(monitored));
}

TEST_P(EntryManagerTest, MoveAndCopyRenameANameTheTargetAlreadyLists)
{
    const QString root = TestEnv::ScratchFolder();
    for (const bool move : {true, false}) {
        SCOPED_TRACE(move ? "move" : "copy");
        const QString from = root + (move ? "move-from/" : "copy-from/");
        const QString to = root + (move ? "move-to/" : "copy-to/");
        WriteFile(from + "report.pdf", "source report");
        WriteFile(from + "fresh.txt", "fresh");
        WriteFile(from + "left.txt", "not marked");
        WriteFile(to + "Report.PDF", "target report");
        TFolderFiles source(*main, nullptr);
        TFolderFiles target(*main, nullptr);
        source.ListFolder(from);
        target.ListFolder(to);
        source.SelectNone();
        source.SetSelectedByName("report.pdf", true);
        source.SetSelectedByName("fresh.txt", true);

        const QStringList names = move ? manager->MoveSelectedFiles(source, target)
                                       : manager->CopySelectedFiles(source, target);
        ASSERT_EQ(names.size(), 2);
        const QString renamed = names.filter("_report.pdf").value(0);
        bool numeric = false;
        EXPECT_GT(renamed.section('_', 0, 0).toInt(&numeric), 0) << renamed.toStdString();
        EXPECT_TRUE(numeric);
        EXPECT_EQ(renamed.section('_', 1), "report.pdf");
        EXPECT_TRUE(names.contains("fresh.txt"));

        TFiles expectedTarget{{"Report.PDF", "target report"}, {renamed, "source report"}, {"fresh.txt", "fresh"}};
        EXPECT_EQ(FilesBelow(to), expectedTarget);
        TFiles expectedSource{{"left.txt", "not marked"}};
        if (!move) {   // a copy leaves the source, renamed all the same
            expectedSource[renamed] = "source report";
            expectedSource["fresh.txt"] = "fresh";
        }
        EXPECT_EQ(FilesBelow(from), expectedSource);
        // the lists themselves are left as they were
        EXPECT_EQ(source.Count(), 3);
        EXPECT_EQ(target.Count(), 1);
    }
}

TEST_P(EntryManagerTest, EntriesMoveTheirFilesThroughTheManager)
{
    // An entry relocating its files (the editor saving an entry made from the
    // monitored folder) uses the manager's move, renames included.
    const QString monitored = main->App.MonitoredFolder;
    WriteFile(monitored + "a.txt", "from monitored");
    std::unique_ptr<TEntryData> entry = manager->CreateNewEntry(true);
    entry->SetFolderOverride(monitored);
    entry->FolderFiles().ListFolder(monitored);
    entry->FolderFiles().SelectAll();
    const QString own = FolderOf(entry->Code());
    WriteFile(own + "A.TXT", "already there");

    entry->MoveSelectedFilesTo(own);
    const TFiles moved = FilesBelow(own);
    ASSERT_EQ(moved.size(), 2u);
    EXPECT_EQ(moved.at("A.TXT"), "already there");
    const QString renamed = moved.begin()->first;   // digits sort before letters
    EXPECT_TRUE(renamed.endsWith("_a.txt")) << renamed.toStdString();
    EXPECT_EQ(moved.at(renamed), "from monitored");
    EXPECT_TRUE(FilesBelow(monitored).empty());
    EXPECT_EQ(entry->FolderFiles().Count(), 0);
}

TEST_P(EntryManagerTest, ExtractingEntriesReportsTheOutcome)
{
    const int first = StoreEntry("First", {{"one.txt", "1"}});
    const int second = StoreEntry("Second", {{"two/deep.txt", "2"}});
    const int locked = StoreEntry("Locked", {{"secret.txt", "s"}}, "pass");
    desktop.Clear();

    EXPECT_TRUE(manager->ExtractMarkedEntries({first, second}));
    EXPECT_EQ(FilesBelow(FolderOf(first)), (TFiles{{"one.txt", "1"}}));
    EXPECT_EQ(FilesBelow(FolderOf(second)), (TFiles{{"two/deep.txt", "2"}}));
    EXPECT_EQ(desktop.notices,
              QStringList{kNoticeTitle + "The selected entries have been successfully extracted to disk."});
    EXPECT_TRUE(desktop.messages.isEmpty());

    // a wrong password stops the run at that entry
    QDir(FolderOf(second)).removeRecursively();
    desktop.Clear();
    desktop.QueuePassword(QString("wrong"));
    EXPECT_FALSE(manager->ExtractMarkedEntries({locked, second}));
    EXPECT_EQ(desktop.MessageTexts(), QStringList{"Entries could not be extracted."});
    EXPECT_EQ(desktop.messages[0].kind, IDesktop::TMsgKind::Error);
    EXPECT_TRUE(desktop.notices.isEmpty());
    EXPECT_TRUE(FilesBelow(FolderOf(second)).empty());

    desktop.Clear();
    desktop.QueuePassword(QString("pass"));
    EXPECT_TRUE(manager->ExtractMarkedEntries({locked}));
    EXPECT_EQ(FilesBelow(FolderOf(locked)), (TFiles{{"secret.txt", "s"}}));
}

TEST_P(EntryManagerTest, CancelledPasswordChangesNothingAndShowsNothing)
{
    const int locked = StoreEntry("Locked", {{"secret.txt", "s"}}, "pass");
    const QStringList before = QDir(main->App.ExtractFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    desktop.Clear();

    desktop.QueuePassword(std::nullopt);
    EXPECT_FALSE(manager->ExtractMarkedEntries({locked}));
    desktop.QueuePassword(std::nullopt);
    EXPECT_THROW(manager->ViewEntry(locked), EAbort);   // which callers never report
    EXPECT_EQ(desktop.passwordRequests, (QList<int>{locked, locked}));
    EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.MessageTexts().join(" / ").toStdString();
    EXPECT_TRUE(desktop.notices.isEmpty());
    EXPECT_TRUE(desktop.opened.isEmpty());
    EXPECT_TRUE(editorShown.isEmpty());
    EXPECT_EQ(QDir(main->App.ExtractFolder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
}

TEST_P(EntryManagerTest, SingleStoredItemsComeOutOnDemand)
{
    const int code = StoreEntry("Page", {{"page.html", "<html/>"}, {"page_files/a.css", "css"}, {"other.txt", "o"}});
    std::unique_ptr<TEntryData> loaded = manager->LoadAndExtractEntry(code);
    TEntryFiles& stored = loaded->EntryFiles();
    QDir(FolderOf(code)).removeRecursively();
    desktop.Clear();

    // a stored-files list opens its item through the manager: only that item
    // comes out, with the companion folder of a web page
    stored.OpenItem(stored.IndexOf("page.html"));
    EXPECT_EQ(desktop.opened, QStringList{FolderOf(code) + "page.html"});
    EXPECT_EQ(FilesBelow(FolderOf(code)), (TFiles{{"page.html", "<html/>"}, {"page_files/a.css", "css"}}));

    QDir(FolderOf(code)).removeRecursively();
    stored.SelectNone();
    stored.SetSelectedByName("other.txt", true);
    manager->ExtractSelectedEntryFiles(code, stored);
    EXPECT_EQ(FilesBelow(FolderOf(code)), (TFiles{{"other.txt", "o"}}));

    // for an open entry the user is offered its editor instead
    main->App.EditMultipleEntries = true;
    manager->EditEntry(code);
    editorShown.clear();
    desktop.Clear();
    desktop.QueueAnswer(IDesktop::TAnswer::Yes);
    manager->ExtractSelectedEntryFiles(code, stored);
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_EQ(desktop.messages[0].text, QString("Entry \r\n[ %1. Page ] \r\nis already open for editing. Do you wish "
                                                "to view it now?").arg(code));
    EXPECT_EQ(desktop.messages[0].buttons, IDesktop::TButtons::YesNo);
    EXPECT_EQ(editorShown, (QList<std::pair<int, bool>>{{code, false}}));
    EXPECT_EQ(manager->OpenEntries().Count(), 1);
}

TEST_P(EntryManagerTest, RegistryKeepsOneObjectPerCodeAndCleansOnClose)
{
    main->App.EditMultipleEntries = true;
    main->App.CleanupTemporaryFiles = 0;
    const int code = StoreEntry("Kept", {{"k.txt", "k"}});
    TOpenEntries& registry = manager->OpenEntries();

    manager->EditEntry(code);
    ASSERT_EQ(registry.Count(), 1);
    TEntryData* open = registry.FindOpenEntry(code);
    ASSERT_NE(open, nullptr);
    EXPECT_FALSE(open->DeleteStoredFilesAfterSave());
    EXPECT_FALSE(registry.AnyModified());
    EXPECT_TRUE(registry.AnyOpen({1, code}));
    EXPECT_FALSE(registry.AnyOpen({code + 1}));

    // nothing is extracted again into the open entry's folder
    EXPECT_THROW(manager->LoadAndExtractEntry(code), ETessarynError);
    // a second object of the same code is not taken in: the open one is shown
    const auto secondObject = [this, code] {
        auto entry = std::make_unique<TEntryData>(*main, true);
        entry->SetCode(code);
        return entry;
    };
    manager->ShowEntryEditor(secondObject().release(), false);
    EXPECT_EQ(registry.Count(), 1);
    EXPECT_EQ(registry.FindOpenEntry(code), open);
    EXPECT_EQ(FilesBelow(FolderOf(code)).size(), 1u);

    open->SetComments("changed");
    EXPECT_TRUE(registry.AnyModified());

    // an object it does not hold is only freed: its folder stays
    registry.CloseEntry(secondObject().release());
    EXPECT_EQ(registry.Count(), 1);
    EXPECT_EQ(FilesBelow(FolderOf(code)).size(), 1u);

    QList<int> closing;
    registry.EntryClosing = [&closing](TEntryData* entry) { closing << entry->Code(); };
    registry.CloseEntry(open);
    EXPECT_EQ(registry.Count(), 0);
    EXPECT_EQ(closing, QList<int>{code});
    EXPECT_TRUE(FilesBelow(FolderOf(code)).empty());
}

TEST_P(EntryManagerTest, ExtractionStartsFromAnEmptiedFolderUnlessTheEntryIsOpen)
{
    main->App.EditMultipleEntries = true;
    const int code = StoreEntry("Kept", {{"kept.txt", "k"}});
    WriteFile(FolderOf(code) + "left over.txt", "old");
    WriteFile(FolderOf(code) + "old folder/x.txt", "old");
    manager->EditEntry(code);
    TEntryData* open = manager->OpenEntries().FindOpenEntry(code);
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(FilesBelow(FolderOf(code)), (TFiles{{"kept.txt", "k"}}));
    EXPECT_EQ(open->FolderFiles().Count(), 1);

    // The folder of an open entry holds the user's unsaved work: extracting
    // the entry again (to explore it) leaves that alone.
    WriteFile(FolderOf(code) + "draft.txt", "unsaved");
    manager->ExploreEntry(code);
    EXPECT_EQ(FilesBelow(FolderOf(code)), (TFiles{{"draft.txt", "unsaved"}, {"kept.txt", "k"}}));
    manager->OpenEntries().CloseEntry(open);

    // An archive that yields nothing is a failed extraction, whatever an
    // earlier one left in the folder.
    const QString emptyArchive = "504B0506" + QString(36, u'0');
    QSqlQuery q(conn->Database());
    ASSERT_TRUE(q.exec(QString(GetParam() == TEngine::SQLite ? "update entries set Items = X'%1' where code = %2"
                                                               : "update entries set Items = decode('%1', 'hex') "
                                                                 "where code = %2")
                           .arg(emptyArchive)
                           .arg(code)))
        << q.lastError().text().toStdString();
    editorShown.clear();
    try {
        manager->EditEntry(code);
        ADD_FAILURE() << "the extraction passed for successful";
    } catch (const ETessarynError& e) {
        EXPECT_EQ(e.Message(), TdmDB::NotExtractedText());
    }
    EXPECT_TRUE(editorShown.isEmpty());
}

TEST_P(EntryManagerTest, NoTemporaryArchiveOutlivesAFailureOrAKilledRun)
{
    // A damaged archive: the extraction fails and its copy goes as well.
    const int code = StoreEntry("Damaged", {{"d.txt", "d"}});
    QSqlQuery q(conn->Database());
    ASSERT_TRUE(q.exec(QString(GetParam() == TEngine::SQLite ? "update entries set Items = X'%1' where code = %2"
                                                               : "update entries set Items = decode('%1', 'hex') "
                                                                 "where code = %2")
                           .arg(QString("504B0304") + QString(200, u'7'))
                           .arg(code)))
        << q.lastError().text().toStdString();
    EXPECT_ANY_THROW(manager->EditEntry(code));
    EXPECT_FALSE(QFileInfo::exists(main->App.ExtractFolder + QString::number(code) + ".zip"));

    // Archives being built when a run was killed go at the next start.
    const QString compression = IncludeTrailingBackslash(main->App.CompressionFolder);
    QDir().mkpath(compression);
    WriteFile(compression + "12.zip.Ab3xYz", "partial");
    WriteFile(compression + "12.zip", "partial");
    WriteFile(compression + "keep.txt", "not ours");
    TdmMain next(*conn, desktop);
    ASSERT_TRUE(next.IsInitialized());
    EXPECT_FALSE(QFileInfo::exists(compression + "12.zip.Ab3xYz"));
    EXPECT_FALSE(QFileInfo::exists(compression + "12.zip"));
    EXPECT_TRUE(QFileInfo::exists(compression + "keep.txt"));
}

TEST_P(EntryManagerTest, AFileNoProgramOpensIsReportedByName)
{
    const int code = StoreEntry("Single", {{"only.pdf", "pdf"}});
    desktop.shellOpenSucceeds = false;
    const std::pair<const char*, std::function<void()>> ways[] = {
        {"viewing the entry", [&] { manager->ViewEntry(code); }},
        {"a stored item", [&] { manager->OpenEntryFile(code, "only.pdf", 1); }},
        {"a stored item of an open entry",
         [&] {
             main->App.EditMultipleEntries = true;
             manager->EditEntry(code);
             desktop.Clear();
             manager->OpenEntryFile(code, "only.pdf", 1);
         }},
        {"an item of the open entry's folder",
         [&] {
             TFolderFiles& files = manager->OpenEntries().FindOpenEntry(code)->FolderFiles();
             files.OpenItem(files.IndexOf("only.pdf"));
         }},
    };
    for (const auto& [way, open] : ways) {
        SCOPED_TRACE(way);
        desktop.Clear();
        open();
        EXPECT_EQ(desktop.opened, QStringList{FolderOf(code) + "only.pdf"});
        ASSERT_EQ(desktop.messages.size(), 1);
        EXPECT_EQ(desktop.messages[0].text, "No program is set up to open \"only.pdf\". Open it from its folder, "
                                            "or install a program for this kind of file.");
        EXPECT_EQ(desktop.messages[0].kind, IDesktop::TMsgKind::Error);
    }

    // A file gone from the folder is no matter of a missing program.
    QFile::remove(FolderOf(code) + "only.pdf");
    desktop.Clear();
    manager->OpenEntries().FindOpenEntry(code)->FolderFiles().OpenItem(0);
    EXPECT_EQ(desktop.MessageTexts(), QStringList{"\"only.pdf\" could not be found in \"" + FolderOf(code) +
                                                  "\". It may have been moved or deleted."});

    // Showing the entry's folder without a file manager says so too.
    desktop.Clear();
    desktop.shellExploreSucceeds = false;
    manager->ExploreEntry(code);
    EXPECT_EQ(desktop.explored, QStringList{FolderOf(code)});
    EXPECT_EQ(desktop.MessageTexts(),
              QStringList{"No file manager is set up to show the folder \"" + QDir(FolderOf(code)).absolutePath() +
                          "\". Open it from a file manager, or install one."});
}

// The folder of an entry open for editing holds the editor's work, saved or
// not: every command acts on it as it is or refuses, none extracts over it,
// with the entry in the open-entries window or in the modal editor.
TEST_P(EntryManagerTest, NoCommandExtractsOverTheWorkOfAnOpenEntry)
{
    manager->ShowPasswordProtect = [] { return std::optional<QString>("pw"); };
    const int other = StoreEntry("Other", {{"o.txt", "o"}});
    for (const bool listed : {true, false}) {
        SCOPED_TRACE(listed ? "open-entries window" : "modal editor");
        main->App.EditMultipleEntries = listed;
        const int code = StoreEntry("Stored", {{"kept.txt", "stored"}});
        manager->EditEntry(code);
        TOpenEntries& registry = manager->OpenEntries();
        const auto held = [&registry, listed, code] {
            return listed ? registry.FindOpenEntry(code) : registry.ModalEntry();
        };
        TEntryData* open = held();
        ASSERT_NE(open, nullptr);
        WriteFile(FolderOf(code) + "kept.txt", "edited, not saved");
        open->FolderFiles().Refresh();   // as its watcher does
        open->SetTitle("Title not saved");
        const TFiles work = FilesBelow(FolderOf(code));
        TEntryFiles& stored = open->EntryFiles();
        stored.SetSelectedByName("kept.txt", true);

        const QString openRefusal = QString("Entry [ %1. Title not saved ] is open for editing; extracting it again "
                                            "would overwrite the work in its folder. You must first close it.")
                                        .arg(code);
        const struct {
            const char* name;
            std::function<void()> run;
            QStringList messages;
            std::optional<QStringList> modalMessages;   // when they differ
            QStringList shown;   // folders explored and files opened
        } commands[] = {
            {"explore", [&] { manager->ExploreEntry(code); }, {}, {}, {FolderOf(code)}},
            {"view", [&] { manager->ViewEntry(code); }, {}, {}, {FolderOf(code) + "kept.txt"}},
            {"open a stored file", [&] { manager->OpenEntryFile(code, "kept.txt", 1); }, {}, {},
             {FolderOf(code) + "kept.txt"}},
            {"extract selected files",
             [&] {
                 desktop.QueueAnswer(IDesktop::TAnswer::No);
                 try {
                     manager->ExtractSelectedEntryFiles(code, stored);
                 } catch (const ETessarynError& e) {
                     desktop.ShowMessage(e.Message(), IDesktop::TMsgKind::Error);
                 }
             },
             {QString("Entry \r\n[ %1. Title not saved ] \r\nis already open for editing. Do you wish to view it "
                      "now?")
                  .arg(code)},
             QStringList{openRefusal},
             {}},
            {"extract marked entries", [&] { manager->ExtractMarkedEntries({other, code}); },
             {"Some of the selected entries are open for editing. You must first close them before extracting them.",
              "Entries could not be extracted."},
             {},
             {}},
            {"add a password", [&] { manager->AddPasswordToEntry(code); },
             {"This entry is open for editing. You must first close it before adding a password to it.",
              "The password was NOT added to the selected entry."},
             {},
             {}},
            {"remove the password", [&] { manager->RemovePasswordFromEntry(code); },
             {"This entry is open for editing. You must first close it before removing its password.",
              "The password was NOT removed from the selected entry."},
             {},
             {}},
            {"merge", [&] { manager->MergeMarkedEntries({other, code}); },
             {"Some of the selected entries are open for editing. You must first close them before merging them.",
              "Entries were NOT merged."},
             {},
             {}},
        };
        for (const auto& command : commands) {
            SCOPED_TRACE(command.name);
            desktop.Clear();
            command.run();
            EXPECT_EQ(desktop.MessageTexts(), listed ? command.messages : command.modalMessages.value_or(command.messages));
            EXPECT_EQ(desktop.explored + desktop.opened, command.shown);
            EXPECT_EQ(FilesBelow(FolderOf(code)), work);
            EXPECT_EQ(open->Title(), "Title not saved");
            EXPECT_EQ(held(), open);
        }
        EXPECT_TRUE(FilesBelow(FolderOf(other)).empty()) << "a refused extraction extracts nothing";
        // Editing it again brings its page forward; a modal editor already
        // shows it, and no second one is opened over the same entry.
        const qsizetype shownBefore = editorShown.size();
        manager->EditEntry(code);
        EXPECT_EQ(editorShown.size(), shownBefore + (listed ? 1 : 0));
        EXPECT_EQ(FilesBelow(FolderOf(code)), work);
        EXPECT_EQ(held(), open);

        // The editor's next save stores its work.
        desktop.Clear();
        ASSERT_TRUE(Save(*open)) << desktop.MessageTexts().join(" / ").toStdString();
        EXPECT_EQ(Column(code, "title").toString(), "Title not saved");
        EXPECT_EQ(Column(code, "PasswordProtected").toInt(), 0);
        registry.CloseEntry(open);
        std::unique_ptr<TEntryData> reread = manager->LoadAndExtractEntry(code);
        EXPECT_EQ(FilesBelow(FolderOf(code)), (TFiles{{"kept.txt", "edited, not saved"}}));
    }
}

TESSARYN_INSTANTIATE_ENGINES(EntryManagerTest);

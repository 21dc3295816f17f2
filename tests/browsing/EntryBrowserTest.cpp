#include "RecordingDesktop.h"
#include "SmtpSink.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "app/AppResources.h"
#include "browsing/EntryFilesGrid.h"
#include "browsing/EntryGrid.h"
#include "browsing/IDataChangeListener.h"
#include "browsing/fEntryBrowser.h"
#include "controls/BTreeView.h"
#include "editing/fSelectCategories.h"
#include "db/ClientRecordSet.h"
#include "db/EngineDialect.h"
#include "engine/Category.h"
#include "engine/EntryData.h"
#include "engine/EntryManager.h"
#include "mainwindow/CategoryMenu.h"
#include "preferences/fPreferences.h"
#include "engine/FileLists.h"
#include "engine/dDB.h"
#include "engine/fMailEntries.h"
#include "search/dmSearch.h"
#include "settings/MruDropDown.h"
#include "settings/MruLists.h"
#include "settings/dmMain.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDrag>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QPlainTextEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

constexpr int kNotes = 7;
constexpr int kTravel = 9;   // below Notes
constexpr int kArchive = 8;
const QString kNoticeTitle = QStringLiteral("[Tessaryn]|");

// A window hosting the browser that wants to hear of record changes.
class THost : public QWidget, public IDataChangeListener {
public:
    void DataChanged(ClientRecordSet* source, const QString& field) override
    {
        changes.append({source, field});
    }
    QList<std::pair<ClientRecordSet*, QString>> changes;
};

// One entry row written straight into the database.
struct TRow {
    int code = 0;
    QString title;
    QDate created = QDate(2020, 1, 1);
    QDate modified = QDate(2020, 1, 1);
    QString comments;
    int category = kNotes;
    int password = 0;
};

class EntryBrowserTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
        TAppResources::Register();
        QSqlQuery q(conn->Database());
        for (const auto& [code, parent, name] : {std::tuple{kNotes, 0, "Notes"}, std::tuple{kArchive, 0, "Archive"},
                                                 std::tuple{kTravel, kNotes, "Travel"}})
            ASSERT_TRUE(q.exec(QString("insert into categories (code, parent, name) values (%1, %2, '%3')")
                                   .arg(code)
                                   .arg(parent)
                                   .arg(name)))
                << q.lastError().text().toStdString();
        main = std::make_unique<TdmMain>(*conn, desktop);
        ASSERT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
        main->EntryManager().OpenEntries().ShowEditor = [this](TEntryData* entry, bool) {
            editorShown.append(entry->Code());
        };
        host = std::make_unique<THost>();
        host->resize(760, 520);
        browser = CreateEntryBrowser(*main, host.get());
        host->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(host.get()));
        grid = browser->Grid();
    }
    void TearDown() override
    {
        host.reset();
        main.reset();
        EngineTest::TearDown();
    }

    void Insert(const QList<TRow>& rows)
    {
        conn->BeginTransaction();
        QSqlQuery q(conn->Database());
        ASSERT_TRUE(q.prepare("insert into entries (code, DateCreated, DateModified, category, Title, Keywords, "
                              "PasswordProtected, source, Comments, GUID) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (const TRow& row : rows) {
            q.addBindValue(row.code);
            q.addBindValue(conn->Dialect().DateTimeParam(QDateTime(row.created, QTime(0, 0))));
            q.addBindValue(conn->Dialect().DateTimeParam(QDateTime(row.modified, QTime(0, 0))));
            q.addBindValue(row.category);
            q.addBindValue(row.title);
            q.addBindValue(QString("key%1").arg(row.code));
            q.addBindValue(row.password);
            q.addBindValue(QString());
            q.addBindValue(row.comments);
            q.addBindValue(QString("%1").arg(row.code, 36, 10, QChar('0')));
            ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
        }
        conn->Commit();
    }
    // Entries code, code+1, ... titled "Entry <code>".
    void InsertNumbered(int first, int count)
    {
        QList<TRow> rows;
        for (int code = first; code < first + count; ++code)
            rows.append({code, QString("Entry %1").arg(code)});
        Insert(rows);
    }

    // A real entry: made by the entry manager, its files written, stored.
    int StoreEntry(const QString& title, const std::map<QString, QByteArray>& files, int category = kNotes,
                   const QString& password = {}, const QString& comments = {}, const QString& keywords = {},
                   const QString& source = {})
    {
        std::unique_ptr<TEntryData> entry = main->EntryManager().CreateNewEntry(false);
        if (!entry)
            return 0;
        for (const auto& [name, content] : files) {
            QFile f(entry->GetFolder() + name);
            QDir().mkpath(QFileInfo(f).path());
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        entry->FolderFiles().ListFolder(entry->GetFolder());
        entry->FolderFiles().SelectAll();
        entry->SetTitle(title);
        entry->SetComments(comments);
        entry->SetKeywords(keywords);
        entry->SetSource(source);
        entry->SetCategory(main->Categories().FindByCode(category));
        if (!password.isEmpty()) {
            entry->SetPasswordProtected(true);
            entry->SetPassword(password);
        }
        EXPECT_TRUE(entry->Save([this](TEntryData& e) { return main->DB().StoreEntry(e); }))
            << desktop.MessageTexts().join(" / ").toStdString();
        return entry->Code();
    }

    // Selects the one entry there is and exports it to the file chosen.
    void ExportTheOnlyEntry(const QString& chosen)
    {
        SearchFor("");
        ClickRow(0, Qt::ControlModifier);
        ASSERT_TRUE(QDir().mkpath(QFileInfo(chosen).path()));
        desktop.QueuePick(chosen);
        browser->miHTMLExport->trigger();
    }

    QLineEdit* Edit() const { return browser->findChild<QLineEdit*>("edSearch"); }
    QLabel* Count() const { return browser->findChild<QLabel*>("laRecordCount"); }

    // Types keys into the search box and presses Enter.
    void SearchFor(const QString& keys)
    {
        Edit()->setFocus();
        Edit()->clear();
        QTest::keyClicks(Edit(), keys);
        QTest::keyClick(Edit(), Qt::Key_Return);
    }

    QList<int> GridCodes() const
    {
        QList<int> codes;
        for (int row = 0; row < grid->RecordCount(); ++row)
            codes.append(grid->CodeAt(row));
        return codes;
    }
    QSet<int> GridSet() const
    {
        const QList<int> codes = GridCodes();
        return QSet<int>(codes.begin(), codes.end());
    }
    QSet<int> SelectedSet() const
    {
        const QList<int> codes = browser->SelectedEntryCodes();
        return QSet<int>(codes.begin(), codes.end());
    }
    void ClickRow(int row, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers, grid->RowRect(row).center());
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        grid->setFocus();
        QTest::keyClick(grid, Qt::Key(key), modifiers);
    }
    QVariant Column(int code, const QString& column)
    {
        QSqlQuery q(conn->Database());
        q.prepare(QString("select %1 from entries where code = ?").arg(column));
        q.addBindValue(code);
        EXPECT_TRUE(q.exec()) << q.lastError().text().toStdString();
        return q.next() ? q.value(0) : QVariant();
    }
    // Runs `pick` on the popup menu that opens next (a modal menu).
    void OnNextPopup(const std::function<void(QMenu*)>& pick)
    {
        QTimer::singleShot(50, [pick] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            if (menu)
                pick(menu);
        });
    }

    RecordingDesktop desktop;
    std::unique_ptr<TdmMain> main;
    std::unique_ptr<THost> host;
    TfrmEntryBrowser* browser = nullptr;
    TEntryGrid* grid = nullptr;
    QList<int> editorShown;
};

// Searches whose statements differ between the engines run on both.
class EntryBrowserSearchTest : public EntryBrowserTest {};

// --- searching -------------------------------------------------------------------

TEST_P(EntryBrowserTest, KeylessSearchAsksOnlyAboveAThousandEntries)
{
    InsertNumbered(1, 1000);
    EXPECT_FALSE(Count()->isVisible());
    SearchFor("   ");
    EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.MessageTexts().join(" / ").toStdString();
    EXPECT_EQ(browser->ResultCount(), 1000);
    EXPECT_EQ(Count()->text(), "1000 entries found.");
    EXPECT_TRUE(Count()->isVisible());
    EXPECT_TRUE(grid->hasFocus());

    InsertNumbered(1001, 1);
    desktop.QueueAnswer(IDesktop::TAnswer::No);
    SearchFor("");
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_EQ(desktop.messages[0].text, "Searching without specifying any keys will fetch ALL 1001 entries from the "
                                        "database. Are you sure you want to proceed?");
    EXPECT_EQ(desktop.messages[0].kind, IDesktop::TMsgKind::Confirmation);
    EXPECT_EQ(desktop.messages[0].buttons, IDesktop::TButtons::YesNo);
    EXPECT_EQ(browser->ResultCount(), 1000);   // refusing changes nothing

    desktop.Clear();
    desktop.QueueAnswer(IDesktop::TAnswer::Yes);
    SearchFor("");
    EXPECT_EQ(desktop.messages.size(), 1);
    EXPECT_EQ(browser->ResultCount(), 1001);
    EXPECT_EQ(Count()->text(), "1001 entries found.");
    EXPECT_EQ(grid->CurrentRow(), 0);
}

TEST_P(EntryBrowserTest, SearchIsRememberedAndOffersItselfAgain)
{
    Insert({{101, "Alpha centauri"}, {102, "Alpha beta"}, {103, "Gamma"}});
    QComboBox* op = browser->findChild<QComboBox*>("coSearchOperator");
    ASSERT_TRUE(op);
    EXPECT_EQ(op->currentText(), "ALL of the keys");
    SearchFor("alpha beta");
    EXPECT_EQ(GridCodes(), QList<int>({102}));
    op->setCurrentIndex(1);
    SearchFor("alpha beta");
    EXPECT_EQ(GridSet(), QSet<int>({101, 102}));
    EXPECT_EQ(main->SearchOptions().Operator, TOstrivaleSearchOptions::OperatorAny);
    EXPECT_EQ(browser->OwnSearchOptions().Keys, "alpha beta");

    main->SearchMRU().LoadItems("alpha");
    EXPECT_EQ(main->SearchMRU().Items().RecordCount(), 1);
    // typing the beginning again offers the remembered search
    Edit()->setFocus();
    Edit()->clear();
    QTest::keyClicks(Edit(), "alp");
    ASSERT_TRUE(TfrmMRUList::Instance());
    EXPECT_EQ(TfrmMRUList::Instance()->Grid()->Items(), QStringList({"alpha beta"}));
    EXPECT_TRUE(Edit()->hasFocus());
    // the first Escape closes the list only, the next one hides the search box
    QTest::keyClick(Edit(), Qt::Key_Escape);
    EXPECT_FALSE(TfrmMRUList::Instance());
    EXPECT_TRUE(browser->findChild<QFrame*>("paSearch")->isVisible());
    EXPECT_TRUE(Edit()->hasFocus());
    QTest::keyClick(Edit(), Qt::Key_Escape);
    EXPECT_FALSE(browser->findChild<QFrame*>("paSearch")->isVisible());
    QTest::keyClick(grid, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(browser->findChild<QFrame*>("paSearch")->isVisible());
    EXPECT_TRUE(Edit()->hasFocus());
}

TEST_P(EntryBrowserTest, EmptyResultShowsItsNoteAndOffersNoMenu)
{
    Insert({{101, "Something"}});
    SearchFor("nothing like it");
    EXPECT_EQ(browser->ResultCount(), 0);
    EXPECT_EQ(Count()->text(), "No entries found.");
    EXPECT_EQ(grid->RowCount(), 1);
    EXPECT_EQ(browser->CurrentEntryCode(), 0);
    QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, grid->RowRect(0).center(),
                                grid->viewport()->mapToGlobal(grid->RowRect(0).center()));
    QApplication::sendEvent(grid->viewport(), &menuEvent);
    QApplication::processEvents();
    EXPECT_FALSE(browser->EntriesMenu()->isVisible());
    // the note is drawn in bold note colour where the title would be
    const QImage image = grid->viewport()->grab().toImage();
    bool noteDrawn = false;
    for (int x = grid->TextIndent(); x < grid->TextIndent() + 120 && !noteDrawn; ++x)
        for (int y = 1; y < 15 && !noteDrawn; ++y)
            noteDrawn = image.pixelColor(x, y) != main->Colour(csGrid);
    EXPECT_TRUE(noteDrawn);
}

// Keys the user may type: each gives its entries or the parser's own
// message, never a failure of the database.
TEST_P(EntryBrowserSearchTest, AnyTypedKeysGiveResultsOrTheParsersMessage)
{
    Insert({{101, "O'Brien notes"}, {102, R"(he said "hi")"}, {103, "100% sure"}, {104, "a_b"}, {105, "axb"},
            {106, "new york trip"}, {107, "york"}});
    const QString longKey(2000, QChar('q'));
    const QList<std::pair<QString, QSet<int>>> cases = {
        {"O'Brien", {101}},   {R"("""hi""")", {102}}, {"100%", {103}},          {"a_b", {104, 105}},
        {R"("new york")", {106}}, {"#105", {105}},    {"york", {106, 107}},     {longKey, {}},
        {"'; drop table entries; --", {}},
    };
    for (const auto& [keys, expected] : cases) {
        desktop.Clear();
        SearchFor(keys);
        EXPECT_EQ(GridSet(), expected) << keys.left(40).toStdString();
        EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.MessageTexts().join(" / ").toStdString();
    }
    EXPECT_EQ(conn->CountEntries(), 7);

    desktop.Clear();
    SearchFor("york #abc");
    EXPECT_EQ(desktop.MessageTexts(),
              QStringList{"An error occurred while parsing the search keys. Please check the keywords and retry."});
    EXPECT_EQ(GridCodes(), QList<int>()) << "the previous (empty) result stays";
}

TEST_P(EntryBrowserSearchTest, RejectedSearchIsReportedAndThePreviousResultStays)
{
    Insert({{101, "alpha one"}, {102, "alpha two"}, {103, "beta"}});
    SearchFor("alpha");
    ASSERT_EQ(browser->ResultCount(), 2);
    Key(Qt::Key_Down);
    const int current = browser->CurrentEntryCode();
    db->ExecOutside("drop table entryfiles");
    desktop.Clear();
    SearchFor("beta");
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_TRUE(desktop.messages[0].text.startsWith(
        "The search could not be completed; the previous result is still shown.\r\n\r\nThe database reported: "))
        << desktop.messages[0].text.toStdString();
    EXPECT_EQ(desktop.messages[0].kind, IDesktop::TMsgKind::Error);
    EXPECT_EQ(grid->RecordCount(), 2);
    EXPECT_EQ(browser->ResultCount(), 2);
    EXPECT_EQ(browser->CurrentEntryCode(), current);
    EXPECT_EQ(Count()->text(), "2 entries found.");
    EXPECT_EQ(browser->OwnSearchOptions().Keys, "alpha") << "a refresh re-runs what is shown";
    desktop.Clear();
    browser->RefreshKeepingSelection();
    EXPECT_TRUE(desktop.messages.isEmpty()) << "a refresh after an operation says nothing of its own failure";
    EXPECT_EQ(grid->RecordCount(), 2);
    // the commands still act on what is shown
    Key(Qt::Key_Space);
    EXPECT_EQ(browser->SelectedEntryCodes(), QList<int>({current}));
}

// --- selection, sorting, expansion ------------------------------------------------

// "Options" beside the search box asks for the settings at the search
// options, the way every window of the program asks for them (the main
// window opens them over itself: tested with it).
TEST_P(EntryBrowserTest, OptionsOpensTheSettingsAtTheSearchOptions)
{
    browser->ShowSearchBox();
    auto* options = browser->findChild<QPushButton*>("btnSearchOptions");
    ASSERT_TRUE(options);
    QStringList pages;
    main->EntryManager().ShowPreferences = [&](const QString& page) { pages << page; };
    QTest::mouseClick(options, Qt::LeftButton);
    main->EntryManager().ShowPreferences = nullptr;
    EXPECT_EQ(pages, QStringList({"tsSearchOptions"}));
}

TEST_P(EntryBrowserTest, SelectionKeepsTheOrderRowsWereSelectedIn)
{
    InsertNumbered(101, 12);
    main->App.EntriesSortOrder = 1;   // creation order: row n is entry 101 + n
    SearchFor("entry");
    ASSERT_EQ(browser->ResultCount(), 12);
    for (const int row : {5, 2, 9})
        ClickRow(row, Qt::ControlModifier);
    EXPECT_EQ(browser->SelectedEntryCodes(), QList<int>({106, 103, 110}));
    EXPECT_EQ(grid->CurrentRow(), 9);
    EXPECT_TRUE(browser->findChild<QMenu*>("miEN_MarkedEntries")->isEnabled());

    // the mark is drawn on selected rows only
    const QImage image = grid->viewport()->grab().toImage();
    auto markArea = [&](int row) {
        const QRect rect = grid->RowRect(row);
        int differing = 0;
        for (int x = 10; x < 26; ++x)
            for (int y = rect.top(); y < rect.top() + 16; ++y)
                differing += image.pixelColor(x, y) != main->Colour(csGrid);
        return differing;
    };
    EXPECT_GT(markArea(5), 20);
    EXPECT_EQ(markArea(4), 0);

    const QSet<int> before = SelectedSet();
    Key(Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(browser->SelectedCount(), 9);
    Key(Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(SelectedSet(), before);

    ClickRow(2, Qt::ControlModifier);   // a second Ctrl+click unselects
    EXPECT_FALSE(browser->SelectedEntryCodes().contains(103));
    browser->popEntriesPopup();
    EXPECT_EQ(browser->acEN_SelectThis->text(), "Select highlighted entry");
    Key(Qt::Key_Space);
    browser->popEntriesPopup();
    EXPECT_EQ(browser->acEN_SelectThis->text(), "Unselect highlighted entry");

    Key(Qt::Key_A, Qt::ControlModifier);
    QList<int> all;
    for (int code = 101; code <= 112; ++code)
        all.append(code);
    EXPECT_EQ(browser->SelectedEntryCodes(), all);
    Key(Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(browser->SelectedCount(), 0);
    EXPECT_FALSE(browser->findChild<QMenu*>("miEN_MarkedEntries")->isEnabled());

    // a new search clears the selection; the picker's browser ignores selection keys
    Key(Qt::Key_Space);
    SearchFor("entry");
    EXPECT_EQ(browser->SelectedCount(), 0);
    browser->SetSelectionEnabled(false);
    Key(Qt::Key_Space);
    ClickRow(3, Qt::ControlModifier);
    EXPECT_EQ(browser->SelectedCount(), 0);
}

TEST_P(EntryBrowserTest, FourSortOrdersAndTheSelectionFollowsItsEntries)
{
    Insert({{101, "delta", QDate(2020, 1, 1), QDate(2021, 5, 1)},
            {102, "Alpha", QDate(2020, 1, 2), QDate(2021, 3, 1)},
            {103, "charlie", QDate(2020, 1, 3), QDate(2021, 9, 1)},
            {104, "bravo", QDate(2020, 1, 4), QDate(2021, 1, 1)},
            {105, "bravo", QDate(2020, 1, 5), QDate(2021, 3, 1)}});
    SearchFor("a");
    ASSERT_EQ(main->App.EntriesSortOrder, 2);
    EXPECT_EQ(GridCodes(), QList<int>({105, 104, 103, 102, 101}));
    ClickRow(2, Qt::ControlModifier);   // charlie
    ClickRow(4, Qt::ControlModifier);   // delta

    // equal titles and equal days follow their codes
    const QList<std::pair<QAction*, QList<int>>> orders = {
        {browser->acEN_SortByLastModifiedDesc, {103, 101, 102, 105, 104}},
        {browser->acEN_SortByCreationOrderAsc, {101, 102, 103, 104, 105}},
        {browser->acEN_SortByCreationOrderDesc, {105, 104, 103, 102, 101}},
        {browser->acEN_SortByTitle, {102, 104, 105, 103, 101}},
    };
    for (int order = 0; order < orders.size(); ++order) {
        orders[order].first->trigger();
        EXPECT_EQ(main->App.EntriesSortOrder, order);
        EXPECT_EQ(GridCodes(), orders[order].second) << order;
        EXPECT_EQ(grid->CurrentRow(), 0);
        EXPECT_EQ(browser->CurrentEntryCode(), orders[order].second.first());
        EXPECT_EQ(browser->SelectedEntryCodes(), QList<int>({103, 101})) << order;
        for (int other = 0; other < orders.size(); ++other)
            EXPECT_EQ(orders[other].first->isChecked(), other == order);
        // the next search of the same entries brings the same order
        Key(Qt::Key_Down);
        browser->RefreshKeepingSelection();
        EXPECT_EQ(GridCodes(), orders[order].second) << order;
        EXPECT_EQ(browser->CurrentEntryCode(), orders[order].second[1]);
        EXPECT_EQ(browser->SelectedEntryCodes(), QList<int>({103, 101})) << order;
    }
}

// The grid sorts titles itself; the next search, ordered by the result's own
// index, must bring the very same order, whatever the letters.
TEST_P(EntryBrowserTest, TitleOrderOfTheGridAgreesWithTheNextSearch)
{
    const QStringList titles = {"Éclair", "eclair", "ÉCLAIR", "Straße", "STRASSE", "strasse", "θάλασσα",
                                "ΘΆΛΑΣΣΑ", "Zebra", "zebra", "zebra", "a", "A", "", "𝔄 fraktur", "Ωmega", "100% sure"};
    QList<TRow> rows;
    for (int i = 0; i < titles.size(); ++i)
        rows.append({200 + i, titles[i]});
    rows.append({300, QString()});   // no title at all
    Insert(rows);
    main->App.EntriesSortOrder = 2;
    SearchFor("");
    ASSERT_EQ(browser->ResultCount(), titles.size() + 1);
    browser->acEN_SortByTitle->trigger();
    const QList<int> sorted = GridCodes();
    EXPECT_EQ(sorted.first(), 300) << "a missing title comes first";
    EXPECT_LT(sorted.indexOf(212), sorted.indexOf(211)) << "\"A\" before \"a\"";
    EXPECT_LT(sorted.indexOf(209), sorted.indexOf(210)) << "equal titles by their codes";
    browser->RefreshKeepingSelection();
    EXPECT_EQ(GridCodes(), sorted);
}

TEST_P(EntryBrowserTest, SelectedEntriesAreDraggedTowardsTheCategoryTree)
{
    InsertNumbered(101, 5);
    main->App.EntriesSortOrder = 1;
    SearchFor("entry");
    ClickRow(3, Qt::ControlModifier);
    ClickRow(1, Qt::ControlModifier);
    int ended = 0;
    browser->OnCategoryDragEnded = [&] { ++ended; };
    // The drag object lives until the events after the drag are processed.
    auto dragFrom = [&](int row) {
        const QPoint start = grid->RowRect(row).center();
        QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, start);
        QTest::mouseMove(grid->viewport(), start + QPoint(QApplication::startDragDistance() + 5, 0));
        const QDrag* drag = grid->findChild<QDrag*>();
        const QList<int> codes = drag ? TfrmEntryBrowser::EntryCodesFromMime(drag->mimeData()) : QList<int>();
        QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, start);
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return codes;
    };
    EXPECT_EQ(dragFrom(2), QList<int>()) << "nothing to drop entries on";
    EXPECT_EQ(ended, 0);
    browser->SetLeftView(TfrmEntryBrowser::TLeftView::Categories);
    EXPECT_EQ(dragFrom(2), QList<int>({104, 102})) << "the selected entries, not the one under the mouse";
    EXPECT_EQ(ended, 1);
    Key(Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(dragFrom(2), QList<int>()) << "no selection, no drag";
    browser->SetLeftView(TfrmEntryBrowser::TLeftView::BookmarkSets);
    EXPECT_EQ(dragFrom(2), QList<int>({103})) << "within a bookmark set the highlighted entry moves";
    EXPECT_EQ(grid->DropTargetRow(), -1);
}

// The listing of a bookmark set has a select list of its own on each engine.
TEST_P(EntryBrowserSearchTest, BookmarkSetKeepsItsOwnOrderWhateverTheSetting)
{
    Insert({{101, "delta"}, {102, "alpha"}, {103, "charlie"}, {104, "bravo"}});
    QSqlQuery q(conn->Database());
    for (const auto& [entry, ordering] : {std::pair{103, 1}, std::pair{101, 2}, std::pair{104, 3}})
        ASSERT_TRUE(q.exec(QString("insert into bookmarks (bookmarkset, entry, ordering) values (1, %1, %2)")
                               .arg(entry)
                               .arg(ordering)))
            << q.lastError().text().toStdString();
    SearchFor("a");
    Key(Qt::Key_Space);
    browser->BrowseBookmarkSet(1);
    EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.MessageTexts().join(" / ").toStdString();
    EXPECT_EQ(GridCodes(), QList<int>({103, 101, 104}));
    EXPECT_EQ(browser->SelectedCount(), 0);
    EXPECT_EQ(browser->CurrentBookmarkSet(), 1);
    EXPECT_FALSE(browser->findChild<QFrame*>("paSearch")->isVisible());
    for (QAction* sort : {browser->acEN_SortByTitle, browser->acEN_SortByCreationOrderAsc}) {
        sort->trigger();
        EXPECT_EQ(GridCodes(), QList<int>({103, 101, 104}));
    }
    EXPECT_EQ(main->App.EntriesSortOrder, 1);
    browser->RefreshKeepingSelection();
    EXPECT_EQ(GridCodes(), QList<int>({103, 101, 104}));
    // a search afterwards is sorted by the setting again
    SearchFor("a");
    EXPECT_EQ(GridCodes(), QList<int>({101, 102, 103, 104}));
}

TEST_P(EntryBrowserTest, AnExpandedCardShowsABoundedNumberOfCommentLines)
{
    // three short lines, and comments of one and a half megabytes
    Insert({{101, "short", {}, {}, "one\r\ntwo\r\nthree"},
            {102, "huge", {}, {}, QString("a long comment ").repeated(100000)}});
    main->App.EntriesSortOrder = 1;
    SearchFor("");
    const int spacing = QFontMetrics(grid->font()).lineSpacing();
    grid->ToggleExpansion(0);
    ASSERT_EQ(grid->ExpandedRow(), 0);
    const int shortHeight = grid->RowHeight(0);
    grid->ToggleExpansion(1);
    ASSERT_EQ(grid->ExpandedRow(), 1);
    const int hugeHeight = grid->RowHeight(1);
    EXPECT_EQ(hugeHeight - shortHeight, 17 * spacing);   // 20 lines against 3
}

// A large base has long entry numbers: the text moves right so that the
// number stands between the mark and the title instead of under the mark.
TEST_P(EntryBrowserTest, LongEntryNumbersWidenTheIndent)
{
    Insert({{1234567, "large"}, {5, "small"}});
    SearchFor("");
    ASSERT_FALSE(grid->AutoExpand());
    QFont bold = grid->font();
    bold.setBold(true);
    const int number = QFontMetrics(bold).horizontalAdvance("1234567");
    EXPECT_GT(grid->TextIndent(), 100);
    EXPECT_GE(grid->TextIndent() - 10 - number, grid->ExpansionMarkRect(0).right());
    browser->acEN_ToggleAutoExpand->trigger();
    EXPECT_GE(grid->TextIndent() - 10 - number, 5);
}

TEST_P(EntryBrowserTest, RowsExpandByTheirMarkOrEnterAndCollapseWhenLeft)
{
    const QString comments = "A comment long enough to wrap over several lines of the card when it is shown. " +
                             QString("More words follow here. ").repeated(12);
    Insert({{101, "first"}, {102, "second", {}, {}, comments}, {103, "third"}});
    main->App.EntriesSortOrder = 1;
    SearchFor("");
    ASSERT_EQ(grid->CurrentRow(), 0);
    EXPECT_FALSE(grid->AutoExpand());
    EXPECT_EQ(grid->TextIndent(), 100);
    EXPECT_EQ(grid->ExpandedRow(), -1);

    // the plus mark of a row that is not highlighted expands it
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->ExpansionMarkRect(2).center());
    EXPECT_EQ(grid->CurrentRow(), 2);
    EXPECT_EQ(grid->ExpandedRow(), 2);
    // four lines of details (title, keywords, category, source) and a margin
    const int line = grid->DefaultRowHeight();
    EXPECT_GE(line, std::max(16, QFontMetrics(grid->font()).height()));
    EXPECT_EQ(grid->RowHeight(2), 4 * line + 6);
    // a click beside the mark only moves the highlight, and collapses
    ClickRow(0);
    EXPECT_EQ(grid->ExpandedRow(), -1);
    EXPECT_EQ(grid->RowHeight(2), line);

    Key(Qt::Key_Down);
    Key(Qt::Key_Return);
    EXPECT_EQ(grid->ExpandedRow(), 1);
    EXPECT_GT(grid->RowHeight(1), 4 * line + 6 + 2 * QFontMetrics(grid->font()).height());
    EXPECT_EQ(grid->RowRect(2).top(), grid->RowRect(1).bottom() + 1);
    Key(Qt::Key_Return);
    EXPECT_EQ(grid->ExpandedRow(), -1);
    Key(Qt::Key_Return);
    Key(Qt::Key_Up);
    EXPECT_EQ(grid->ExpandedRow(), -1);

    // auto expand: the highlighted row is always open, no marks
    browser->acEN_ToggleAutoExpand->trigger();
    EXPECT_TRUE(main->App.AutoExpandSearchEntries);
    EXPECT_TRUE(browser->acEN_ToggleAutoExpand->isChecked());
    EXPECT_EQ(grid->TextIndent(), 80);
    EXPECT_EQ(grid->ExpandedRow(), 0);
    Key(Qt::Key_Down);
    EXPECT_EQ(grid->ExpandedRow(), 1);
    Key(Qt::Key_Return);
    EXPECT_EQ(grid->ExpandedRow(), 1) << "Enter does not collapse with auto expand";
    browser->acEN_ToggleAutoExpand->trigger();
    EXPECT_FALSE(main->App.AutoExpandSearchEntries);
    EXPECT_EQ(grid->ExpandedRow(), -1);

    // a larger font makes every row taller, so no text is cut, and the
    // rows stay where the grid says they are
    QFont larger = grid->font();
    larger.setPixelSize(24);
    grid->setFont(larger);
    const int largerLine = grid->DefaultRowHeight();
    QFont bold = larger;
    bold.setBold(true);
    bold.setPixelSize(25);
    EXPECT_GE(largerLine, QFontMetrics(bold).height());
    EXPECT_GT(largerLine, line);
    EXPECT_EQ(grid->RowRect(1).top(), grid->RowRect(0).top() + largerLine);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->ExpansionMarkRect(2).center());
    EXPECT_EQ(grid->ExpandedRow(), 2);
    EXPECT_EQ(grid->RowHeight(2), 4 * largerLine + 6);
}

// --- what the host and the files grid learn ---------------------------------------

TEST_P(EntryBrowserTest, TheHostHearsOfRecordChangesAndTheFilesFollow)
{
    const int one = StoreEntry("First entry", {{"one.txt", "1"}, {"two.txt", "22"}});
    const int two = StoreEntry("Second entry", {{"three.txt", QByteArray(2048, 'x')}});
    main->App.EntriesSortOrder = 1;
    QAbstractButton* down = browser->findChild<QAbstractButton*>("btnBrowseDown");
    EXPECT_FALSE(browser->findChild<QFrame*>("paEntryFiles")->isVisible());
    QTest::mouseClick(down, Qt::LeftButton);
    EXPECT_TRUE(browser->findChild<QFrame*>("paEntryFiles")->isVisible());
    EXPECT_FALSE(down->isVisible());

    SearchFor("entry");
    ASSERT_EQ(GridCodes(), QList<int>({one, two}));
    ASSERT_FALSE(host->changes.isEmpty());
    EXPECT_EQ(host->changes.last().first, &browser->Search().cdsSearch);
    EXPECT_EQ(host->changes.last().second, QString());
    EXPECT_EQ(browser->EntryFiles().EntryCode(), one);
    EXPECT_EQ(browser->EntryFiles().Count(), 2);

    host->changes.clear();
    Key(Qt::Key_Down);
    EXPECT_EQ(host->changes.size(), 1);
    EXPECT_EQ(browser->EntryFiles().EntryCode(), two);
    ASSERT_EQ(browser->EntryFiles().Count(), 1);
    EXPECT_EQ(browser->EntryFiles().Items(0)->Name(), "three.txt");
    EXPECT_EQ(TEntryFilesGrid::SizeText(2048), QLocale().toString(2.0, 'f', 1) + " Kb");
    EXPECT_EQ(TEntryFilesGrid::SizeText(1023), "1023 bytes");

    // files go out of the grid extracted; double click opens one
    TEntryFilesGrid* files = browser->FilesGrid();
    const QStringList dragged = files->FilesToDrag();
    ASSERT_EQ(dragged.size(), 1);
    QFile extracted(dragged[0]);
    ASSERT_TRUE(extracted.open(QIODevice::ReadOnly));
    EXPECT_EQ(extracted.readAll(), QByteArray(2048, 'x'));
    EXPECT_EQ(browser->EntryFiles().SelectedCount(), 0) << "dragging leaves the marks alone";
    QTest::mouseDClick(files->viewport(), Qt::LeftButton, {}, files->RowRect(0).center());
    EXPECT_EQ(desktop.opened.size(), 1);
    EXPECT_TRUE(desktop.opened.value(0).endsWith("/three.txt"));

    files->setFocus();
    QTest::keyClick(files, Qt::Key_Space);
    EXPECT_TRUE(browser->EntryFiles().IsSelected(0));
    browser->popEntryFilesPopup();
    EXPECT_TRUE(browser->miExtractSelected->isEnabled());
    QTest::keyClick(files, Qt::Key_D, Qt::ControlModifier);
    browser->popEntryFilesPopup();
    EXPECT_FALSE(browser->miExtractSelected->isEnabled());
    QTest::mouseClick(browser->findChild<QAbstractButton*>("btnBrowseUp"), Qt::LeftButton);
    EXPECT_FALSE(browser->findChild<QFrame*>("paEntryFiles")->isVisible());
}

// --- commands ------------------------------------------------------------------------

// A click on a file's mark (the strip left of its icon) marks or unmarks it;
// a click on its name only highlights it, and two quick clicks on the mark
// are two toggles rather than an opening.
TEST_P(EntryBrowserTest, AClickOnAFilesMarkTogglesIt)
{
    StoreEntry("Two files", {{"a.txt", "a"}, {"b.txt", "b"}});
    SearchFor("");
    QTest::mouseClick(browser->findChild<QAbstractButton*>("btnBrowseDown"), Qt::LeftButton);
    TEntryFilesGrid* files = browser->FilesGrid();
    TEntryFiles& list = browser->EntryFiles();
    ASSERT_EQ(list.Count(), 2);
    ASSERT_TRUE(TestEnv::WaitFor([files] { return files->viewport()->height() > files->RowRect(1).bottom(); }))
        << files->viewport()->height();
    const auto markOf = [files](int row) {
        return QPoint(TEntryFilesGrid::MarkLeft + 5, files->RowRect(row).center().y());
    };

    QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, markOf(1));
    EXPECT_EQ(list.Selection(), QList<int>({1}));
    EXPECT_EQ(list.CurrentIndex(), 1);
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->RowRect(0).center());
    EXPECT_EQ(list.Selection(), QList<int>({1})) << "a click on the name marks nothing";
    EXPECT_EQ(list.CurrentIndex(), 0);
    QTest::mouseDClick(files->viewport(), Qt::LeftButton, {}, markOf(0));
    EXPECT_EQ(list.Selection(), QList<int>({1})) << "marked and unmarked again";
    EXPECT_TRUE(desktop.opened.isEmpty());
    QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, markOf(1));
    EXPECT_EQ(list.SelectedCount(), 0);
}


TEST_P(EntryBrowserTest, CommandsOnTheHighlightedEntryReachTheEngine)
{
    const int code = StoreEntry("Only file", {{"note.txt", "n"}});
    StoreEntry("Protected", {{"p.txt", "p"}}, kNotes, "secret");
    main->App.EntriesSortOrder = 1;
    SearchFor("");
    ASSERT_EQ(browser->CurrentEntryCode(), code);

    browser->acEN_ViewEntry->trigger();
    EXPECT_EQ(desktop.opened, QStringList{main->App.ExtractFolder + QString::number(code) + "/note.txt"});
    browser->acEN_ExploreEntry->trigger();
    EXPECT_EQ(desktop.explored, QStringList{main->App.ExtractFolder + QString::number(code) + "/"});
    QTest::keyClick(grid, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(editorShown, QList<int>({code}));
    desktop.opened.clear();
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, grid->RowRect(0).center());
    EXPECT_EQ(desktop.opened.size(), 1) << "one file: the default action views it";

    // the password items follow the highlighted entry
    browser->popEntriesPopup();
    EXPECT_TRUE(browser->acEN_AddPassword->isVisible());
    EXPECT_FALSE(browser->acEN_RemovePassword->isVisible());
    Key(Qt::Key_Down);
    browser->popEntriesPopup();
    EXPECT_FALSE(browser->acEN_AddPassword->isVisible());
    EXPECT_TRUE(browser->acEN_RemovePassword->isVisible());
    Key(Qt::Key_A, Qt::ControlModifier);
    browser->popEntriesPopup();
    // the protected entry is highlighted: the hidden "add" item cannot be chosen
    EXPECT_FALSE(browser->acEN_AddPassword->isVisible());
    for (QAction* transfer : {browser->acEN_RemovePassword, browser->acEN_MergeEntries, browser->miAddMonitoredFolderFiles})
        EXPECT_TRUE(transfer->isEnabled()) << transfer->objectName().toStdString();
    for (QAction* bookmarks : {browser->miMail, browser->miHTMLExport, browser->miAddToDefaultBookmarks,
                               browser->miAddToExistingBookmarkSet, browser->miAddToNewBookmarkSet})
        EXPECT_TRUE(bookmarks->isEnabled()) << bookmarks->objectName().toStdString();
    EXPECT_TRUE(browser->acEN_ExtractEntries->isEnabled());
    EXPECT_FALSE(browser->miRemoveBookmarks->isVisible());
    EXPECT_FALSE(browser->acEN_GoToCategory->isEnabled()) << "no category browser to go to";
    EXPECT_TRUE(browser->miAddClipboardContents->isEnabled());

    // the picker's browser hides the entry commands and opens nothing
    browser->SetEntryActionsEnabled(false);
    EXPECT_FALSE(browser->acEN_ViewEntry->isVisible());
    desktop.opened.clear();
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, grid->RowRect(0).center());
    EXPECT_TRUE(desktop.opened.isEmpty());
}

TEST_P(EntryBrowserTest, GoToCategoryAndClipboardContentsWhenTheHostOffersThem)
{
    const int code = StoreEntry("Travel notes", {{"plan.txt", "plan"}}, kTravel);
    StoreEntry("Other", {{"o.txt", "o"}});
    main->App.EntriesSortOrder = 1;
    QList<int> wentTo;
    browser->OnGoToCategory = [&](int category) {
        wentTo.append(category);
        browser->SetLeftView(TfrmEntryBrowser::TLeftView::Categories);
        browser->BrowseCategory(category);
    };
    SearchFor("");
    Key(Qt::Key_Space);
    browser->popEntriesPopup();
    ASSERT_TRUE(browser->acEN_GoToCategory->isEnabled());
    browser->acEN_GoToCategory->trigger();
    EXPECT_EQ(wentTo, QList<int>({kTravel}));
    EXPECT_EQ(GridCodes(), QList<int>({code}));
    EXPECT_EQ(browser->CurrentEntryCode(), code);
    browser->popEntriesPopup();
    EXPECT_FALSE(browser->acEN_GoToCategory->isEnabled()) << "categories are shown already";

    Key(Qt::Key_Space);
    QApplication::clipboard()->setText("pasted words");
    browser->popEntriesPopup();
    ASSERT_TRUE(browser->miAddClipboardContentsAsPlainText->isEnabled());
    browser->miAddClipboardContentsAsPlainText->trigger();
    QSqlQuery q(conn->Database());
    ASSERT_TRUE(q.exec(QString("select count(*) from entryfiles where entry = %1").arg(code)));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 2);
    EXPECT_EQ(browser->EntryFiles().Count(), 2) << "the result was fetched again";
    EXPECT_EQ(browser->SelectedEntryCodes(), QList<int>({code})) << "adding keeps the selection";
    QApplication::clipboard()->clear();
}

TEST_P(EntryBrowserTest, DeleteAsksRefusesOpenEntriesAndRefreshes)
{
    const int a = StoreEntry("Keep me", {{"a.txt", "a"}});
    const int b = StoreEntry("Delete me (50%)", {{"b.txt", "b"}});
    const int c = StoreEntry("Delete me too", {{"c.txt", "c"}});
    main->App.EntriesSortOrder = 1;
    SearchFor("");
    ClickRow(2, Qt::ControlModifier);
    ClickRow(1, Qt::ControlModifier);
    desktop.Clear();

    desktop.QueueAnswer(IDesktop::TAnswer::No);
    browser->acEN_DeleteEntries->trigger();
    EXPECT_EQ(desktop.MessageTexts(),
              QStringList{QString("Are you sure you want to delete entries:\r\n\r\n[ %1. Delete me too ]\r\n[ %2. "
                                  "Delete me (50%) ]\r\n\r\n\r\n and their included files from the database?")
                              .arg(c)
                              .arg(b)});
    EXPECT_EQ(conn->CountEntries(), 3);
    EXPECT_EQ(browser->SelectedCount(), 2);

    // an entry open in its editor is not deleted
    main->App.EditMultipleEntries = true;
    main->EntryManager().EditEntry(b);
    desktop.Clear();
    browser->acEN_DeleteEntries->trigger();
    EXPECT_EQ(desktop.MessageTexts(), QStringList{"Some of the selected entries are open for editing. You must first "
                                                  "close them before deleting."});
    EXPECT_EQ(desktop.messages[0].kind, IDesktop::TMsgKind::Information);
    EXPECT_EQ(conn->CountEntries(), 3);
    main->EntryManager().OpenEntries().CloseEntry(main->EntryManager().OpenEntries().FindOpenEntry(b));

    desktop.Clear();
    browser->acEN_DeleteEntries->trigger();
    EXPECT_EQ(desktop.messages.size(), 1);
    EXPECT_EQ(desktop.notices,
              QStringList{kNoticeTitle + "The selected entries have been successfully deleted from the database."});
    EXPECT_EQ(conn->CountEntries(), 1);
    EXPECT_EQ(GridCodes(), QList<int>({a}));
    EXPECT_EQ(browser->SelectedCount(), 0);

    // with the notices off nothing is announced
    main->App.NotifyEntriesChanged = false;
    Key(Qt::Key_Space);
    desktop.Clear();
    browser->acEN_DeleteEntries->trigger();
    EXPECT_TRUE(desktop.notices.isEmpty());
    EXPECT_EQ(browser->ResultCount(), 0);
}

// The Delete key on the grid runs Delete on the marked entries, or on the
// highlighted one when none is marked, after the same question.
TEST_P(EntryBrowserTest, DeleteKeyDeletesTheMarkedOrElseTheHighlightedEntry)
{
    const int a = StoreEntry("First", {{"a.txt", "a"}});
    const int b = StoreEntry("Second", {{"b.txt", "b"}});
    const int c = StoreEntry("Third", {{"c.txt", "c"}});
    main->App.EntriesSortOrder = 1;
    SearchFor("");
    const QString question = "Are you sure you want to delete entries:\r\n\r\n%1\r\n\r\n and their included files "
                             "from the database?";
    const auto listed = [](int code, const char* title) { return QString("[ %1. %2 ]\r\n").arg(code).arg(title); };

    Key(Qt::Key_Down);
    desktop.Clear();
    desktop.QueueAnswer(IDesktop::TAnswer::No);
    Key(Qt::Key_Delete);
    EXPECT_EQ(desktop.MessageTexts(), QStringList{question.arg(listed(b, "Second"))});
    EXPECT_EQ(conn->CountEntries(), 3);
    EXPECT_EQ(browser->SelectedCount(), 0) << "refusing marks nothing";

    desktop.Clear();
    Key(Qt::Key_Delete);
    EXPECT_EQ(desktop.MessageTexts(), QStringList{question.arg(listed(b, "Second"))});
    EXPECT_EQ(GridCodes(), QList<int>({a, c}));

    ClickRow(1, Qt::ControlModifier);
    ClickRow(0, Qt::ControlModifier);
    desktop.Clear();
    Key(Qt::Key_Delete);
    EXPECT_EQ(desktop.MessageTexts(), QStringList{question.arg(listed(c, "Third") + listed(a, "First"))});
    EXPECT_EQ(conn->CountEntries(), 0);
    EXPECT_EQ(browser->ResultCount(), 0);
}

TEST_P(EntryBrowserTest, MoveToCategoryKeepsSelectionAndCurrentEntry)
{
    InsertNumbered(101, 6);
    main->App.EntriesSortOrder = 1;
    SearchFor("entry");
    ClickRow(4, Qt::ControlModifier);
    ClickRow(1, Qt::ControlModifier);
    ClickRow(3);
    desktop.Clear();

    // the category picker: Archive is clicked and "Select" pressed, as the user does
    QStringList captions;
    TfrmSelectCategories::ExecuteHook = [&](TfrmSelectCategories& picker) {
        captions << picker.windowTitle();
        picker.show();
        TBTreeView* tree = picker.Tree();
        TBTreeViewNode* node = tree->FindNodeByData(main->Categories().FindByCode(kArchive));
        const QRect row = tree->RowRect(tree->RowOfNode(node));
        QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(tree->TextRect(row, node->Level()).left() + 2, row.center().y()));
        QTest::mouseClick(picker.btnSelect, Qt::LeftButton);
        return picker.result();
    };
    browser->miMoveToCategory->trigger();
    EXPECT_EQ(Column(105, "category").toInt(), kArchive);
    EXPECT_EQ(Column(102, "category").toInt(), kArchive);
    EXPECT_EQ(Column(104, "category").toInt(), kNotes);
    EXPECT_EQ(desktop.notices, QStringList{kNoticeTitle + "The selected entries have been moved under the "
                                                          "specified category."});
    EXPECT_EQ(browser->SelectedEntryCodes(), QList<int>({105, 102}));
    EXPECT_EQ(browser->CurrentEntryCode(), 104);

    EXPECT_EQ(captions, QStringList{"Select category"});

    // cancelling the picker moves nothing
    desktop.Clear();
    TfrmSelectCategories::ExecuteHook = [](TfrmSelectCategories& picker) {
        picker.show();
        QTest::mouseClick(picker.btnCancel, Qt::LeftButton);
        return picker.result();
    };
    browser->miMoveToCategory->trigger();
    TfrmSelectCategories::ExecuteHook = nullptr;
    EXPECT_TRUE(desktop.notices.isEmpty());
    EXPECT_EQ(Column(105, "category").toInt(), kArchive);

    // a category browse shows the moved entries and clears the selection
    browser->BrowseCategory(kArchive);
    EXPECT_EQ(GridCodes(), QList<int>({102, 105}));
    EXPECT_EQ(browser->SelectedCount(), 0);
}

TEST_P(EntryBrowserTest, RefreshKeepsSelectionCurrentEntryAndScrollPosition)
{
    InsertNumbered(101, 300);
    main->App.EntriesSortOrder = 1;
    SearchFor("entry");
    ClickRow(3, Qt::ControlModifier);
    grid->SetCurrentRow(250);
    Key(Qt::Key_Space);
    const int top = grid->TopRow();
    ASSERT_GT(top, 100);
    Insert({{50, "Entry fifty"}});   // appears before them all
    browser->RefreshKeepingSelection();
    EXPECT_EQ(browser->ResultCount(), 301);
    EXPECT_EQ(browser->SelectedEntryCodes(), QList<int>({104, 351}));
    EXPECT_EQ(browser->CurrentEntryCode(), 351);
    EXPECT_EQ(grid->CurrentRow(), 251);
    EXPECT_LE(std::abs(grid->TopRow() - top), 1);
    EXPECT_TRUE(grid->RowRect(grid->CurrentRow()).intersects(grid->viewport()->rect()));
}

// The browser with real entries in two colour schemes, for a look.
TEST_P(EntryBrowserTest, Screenshots)
{
    const QString folder = qEnvironmentVariable("TESSARYN_SCREENS");
    if (folder.isEmpty())
        GTEST_SKIP() << "TESSARYN_SCREENS names the folder for the pictures";
    StoreEntry("Quarterly budget review", {{"budget.xlsx", QByteArray(48000, 'b')}, {"minutes.txt", "m"}}, kNotes, {},
               "Figures for the second quarter, with the notes of the review meeting.", "budget, review, Q2",
               "Finance team");
    StoreEntry("Trip to the mountains", {{"route.html", "<html></html>"}, {"map.png", QByteArray(200000, 'p')}},
               kTravel, {}, "Three days on foot: the route, the huts where we stay and what to pack.\r\n"
                            "Leave early on the first day; the second stage is the longest.",
               "travel, mountains, hiking", "https://example.org/hiking/alps");
    StoreEntry("Bank account passwords", {{"accounts.txt", "secret"}}, kArchive, "pw", "Kept under a password.",
               "bank, passwords");
    StoreEntry("Recipe: lentil soup", {{"soup.txt", "lentils"}}, kNotes, {}, {}, "recipe, soup");
    StoreEntry("Notes from the Größe conference", {{"talks.pdf", QByteArray(1200, 't')}}, kNotes, {},
               "Talks on ΘΕΑΤΡΟ and Straße design.", "conference");
    StoreEntry("Letter to the landlord", {{"letter.odt", "l"}}, kArchive);
    main->App.EntriesSortOrder = 1;
    host->resize(640, 460);
    SearchFor("");
    ClickRow(0, Qt::ControlModifier);
    ClickRow(3, Qt::ControlModifier);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->ExpansionMarkRect(1).center());
    QTest::mouseClick(browser->findChild<QAbstractButton*>("btnBrowseDown"), Qt::LeftButton);
    QTest::keyClick(browser->FilesGrid(), Qt::Key_Space);
    grid->setFocus();
    QDir().mkpath(folder);
    for (const auto& [scheme, name] : {std::pair{0, "dusk"}, std::pair{3, "gold"}}) {
        main->SetColourScheme(scheme);
        QApplication::processEvents();
        EXPECT_TRUE(host->grab().save(folder + "/browser-" + name + ".png"));
    }
}

// --- HTML export ------------------------------------------------------------------------

TEST_P(EntryBrowserTest, SelectedEntriesAreExportedAsOnePageWithTheirFiles)
{
    const int tom = StoreEntry("<b>Tom & \"Jerry\"</b>", {{"a#b?.pdf", "pdf"}, {"notes with spaces.txt", "notes"}},
                               kNotes, {}, QString::fromUtf8("Καλημέρα <κόσμε> & more"));
    const int plain = StoreEntry("Plain", {{"one.txt", "1"}, {"two.txt", "22"}, {"three.txt", "333"}});
    main->App.EntriesSortOrder = 1;
    SearchFor("");
    ASSERT_EQ(browser->ResultCount(), 2);
    // selected in the other order than the grid shows them
    const int tomRow = grid->CodeAt(0) == tom ? 0 : 1, plainRow = 1 - tomRow;
    ClickRow(plainRow, Qt::ControlModifier);
    ClickRow(tomRow, Qt::ControlModifier);
    ASSERT_EQ(browser->SelectedEntryCodes(), QList<int>({plain, tom}));

    const QString folder = TestEnv::ScratchFolder() + "/export here";
    ASSERT_TRUE(QDir().mkpath(folder + "/REPORT_files/old"));
    desktop.QueuePick(folder + "/report");
    browser->miHTMLExport->trigger();
    EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.MessageTexts().join(" / ").toStdString();
    const QString page = folder + "/report.html";
    EXPECT_EQ(desktop.opened, QStringList{page});
    const QString files = folder + "/REPORT_files/";
    // the old files folder was replaced entirely
    EXPECT_FALSE(QFileInfo::exists(files + "old"));
    for (const QString& name : {QString("%1/a#b?.pdf").arg(tom), QString("%1/notes with spaces.txt").arg(tom),
                                QString("%1/three.txt").arg(plain), QString("PlusSign.gif"), QString("MinusSign.gif")})
        EXPECT_TRUE(QFileInfo(files + name).isFile()) << name.toStdString();
    QFile f(page);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(html.contains("charset=utf-8"));
    EXPECT_TRUE(html.contains("<title>REPORT</title>"));
    // texts escaped, links percent-encoded
    EXPECT_TRUE(html.contains("&lt;b&gt;Tom &amp; &quot;Jerry&quot;&lt;/b&gt;"));
    EXPECT_FALSE(html.contains("<b>Tom"));
    EXPECT_TRUE(html.contains(QString::fromUtf8("Καλημέρα &lt;κόσμε&gt; &amp; more</font></span><p>")));
    EXPECT_TRUE(html.contains(QString("<a href=\"REPORT_files/%1/a%23b%3F.pdf\" target=\"_blank\">a#b?.pdf</a><br>").arg(tom)));
    EXPECT_TRUE(html.contains(QString("REPORT_files/%1/notes%20with%20spaces.txt").arg(tom)));
    EXPECT_EQ(html.count(QString("href=\"REPORT_files/%1/").arg(plain)), 3);
    // no comments: the markup with nothing in it and no paragraph
    EXPECT_TRUE(html.contains("<font size=\"2\" color=\"#800000\"></font></span>\r\n"));
    // the blocks in the grid's order
    EXPECT_LT(html.indexOf(QString("id=\"Entry_%1\"").arg(grid->CodeAt(0))),
              html.indexOf(QString("id=\"Entry_%1\"").arg(grid->CodeAt(1))));

    // a name with a page extension keeps it; several dots give the part before the first
    desktop.Clear();
    desktop.QueuePick(folder + "/a.b.HTM");
    browser->miHTMLExport->trigger();
    EXPECT_EQ(desktop.opened, QStringList{folder + "/a.b.HTM"});
    EXPECT_TRUE(QFileInfo(folder + "/A_files/" + QString::number(tom)).isDir());

    // an entry open for editing stops the export before anything is asked
    desktop.Clear();
    main->App.EditMultipleEntries = true;
    main->EntryManager().EditEntry(plain);
    browser->miHTMLExport->trigger();
    EXPECT_EQ(desktop.MessageTexts(), QStringList{"Some of the selected entries are open for editing. You must first "
                                                  "close them before exporting them to HTML."});
    EXPECT_TRUE(desktop.opened.isEmpty());
}

TEST_P(EntryBrowserTest, APageNameWithLinkAndScriptCharactersKeepsItsPicturesAndItsScript)
{
    const int code = StoreEntry("Pictures", {{"one.txt", "1"}});
    const QString folder = TestEnv::ScratchFolder() + "/out";
    // "#", "?" and "%" end or change a path in a link, "'" a script string
    ExportTheOnlyEntry(folder + QString::fromUtf8("/it's #1 ?50% off, σημειώσεις"));
    const QString page = folder + QString::fromUtf8("/it's #1 ?50% off, σημειώσεις.html");
    ASSERT_EQ(desktop.opened, QStringList{page}) << desktop.MessageTexts().join(" / ").toStdString();
    QFile f(page);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString html = QString::fromUtf8(f.readAll());
    const QUrl pageUrl = QUrl::fromLocalFile(page);
    // A link as a browser reads it: relative to the page.
    auto reaches = [&](const QString& link) { return QFileInfo(pageUrl.resolved(QUrl(link)).toLocalFile()).isFile(); };

    // the name shows as typed, upper-cased
    EXPECT_TRUE(html.contains(QString::fromUtf8("<title>IT&#39;S #1 ?50% OFF, ΣΗΜΕΙΏΣΕΙΣ</title>")));
    EXPECT_TRUE(html.contains(QString::fromUtf8("<h1>IT&#39;S #1 ?50% OFF, ΣΗΜΕΙΏΣΕΙΣ</h1>")));
    // the entry's picture is found
    const QRegularExpressionMatch picture =
        QRegularExpression(QString("<img id=\"Entry_%1_files_sign\" src=\"([^\"]*)\"").arg(code)).match(html);
    ASSERT_TRUE(picture.hasMatch());
    EXPECT_TRUE(reaches(picture.captured(1))) << picture.captured(1).toStdString();
    // so is the file
    const QRegularExpressionMatch file = QRegularExpression("<a href=\"([^\"]*/one.txt)\"").match(html);
    ASSERT_TRUE(file.hasMatch());
    EXPECT_TRUE(reaches(file.captured(1))) << file.captured(1).toStdString();
    // and the script's path to the pictures, a string of its own
    const QRegularExpressionMatch script = QRegularExpression("sign\\.src = '((?:[^'\\\\]|\\\\.)*)'").match(html);
    ASSERT_TRUE(script.hasMatch());
    QString path = script.captured(1);
    path.replace(QRegularExpression("\\\\(.)"), "\\1");
    EXPECT_TRUE(reaches(path + "PlusSign.gif")) << path.toStdString();

    // The page's own script, run: the toggle turns the picture into the plus sign found beside the page.
    if (!QFileInfo("/usr/bin/node").isExecutable())
        return;
    const QRegularExpressionMatch body = QRegularExpression("<script[^>]*>(.*)</script>",
                                                            QRegularExpression::DotMatchesEverythingOption)
                                             .match(html);
    ASSERT_TRUE(body.hasMatch());
    const QString run = "const nodes = {};\n"
                        "const document = { getElementById: id => nodes[id] || (nodes[id] = { style: {}, src: '' }) };\n"
                        + body.captured(1)
                        + QString("\ntoggleEntry('Entry_%1_files');\nconsole.log(document.getElementById('Entry_%1_files_sign').src);\n")
                              .arg(code);
    QString output;
    ASSERT_EQ(TestEnv::Run("/usr/bin/node", {"-e", run}, &output), 0) << output.toStdString();
    EXPECT_TRUE(reaches(output.trimmed())) << output.toStdString();
    EXPECT_TRUE(output.trimmed().endsWith("PlusSign.gif"));
}

TEST_P(EntryBrowserTest, PlaceholdersTypedIntoATitleOrCommentsStayAsTyped)
{
    StoreEntry("Report %HTMLName% of %EntryTitle%", {{"a.txt", "a"}, {"b.txt", "b"}}, kNotes, {},
               "See %Entryfiles% and %Comments% for %EntryId%");
    const QString folder = TestEnv::ScratchFolder() + "/out";
    ExportTheOnlyEntry(folder + "/notes");
    QFile f(folder + "/notes.html");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << desktop.MessageTexts().join(" / ").toStdString();
    const QString html = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(html.contains("Report %HTMLName% of %EntryTitle% <small>[")) << html.toStdString();
    EXPECT_TRUE(html.contains(">See %Entryfiles% and %Comments% for %EntryId%</font></span><p>")) << html.toStdString();
    EXPECT_EQ(html.count("<a href="), 2);
}

TEST_P(EntryBrowserTest, AnExportNeverWritesOutsideItsFolderFromADamagedArchive)
{
    const int code = StoreEntry("Damaged", {{"ok.txt", "ok"}});
    // an archive whose member climbs out of the entry's folder
    const QString zip = TestEnv::ScratchFolder() + "evil.zip";
    ASSERT_EQ(TestEnv::Run("/usr/bin/python3",
                           {"-c", "import sys, zipfile\n"
                                  "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                                  "    z.writestr('ok.txt', 'ok')\n"
                                  "    z.writestr('../../../escaped.txt', 'x')\n",
                            zip}),
              0);
    QFile archive(zip);
    ASSERT_TRUE(archive.open(QIODevice::ReadOnly));
    QSqlQuery q(conn->Database());
    ASSERT_TRUE(q.prepare("update entries set Items = ? where code = ?"));
    q.addBindValue(archive.readAll());
    q.addBindValue(code);
    ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();

    const QString folder = TestEnv::ScratchFolder() + "out/deep/er/";
    ExportTheOnlyEntry(folder + "page");
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_TRUE(desktop.messages.first().text.contains(
        "The archive member \"../../../escaped.txt\" would be written outside the target folder and was refused."))
        << desktop.messages.first().text.toStdString();
    EXPECT_TRUE(desktop.opened.isEmpty());
    QDirIterator everything(TestEnv::HomeFolder() + "../..", QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (everything.hasNext())
        EXPECT_FALSE(everything.next().endsWith("escaped.txt"));
    EXPECT_FALSE(QFileInfo::exists(folder + "page.html"));
}

// --- mail ------------------------------------------------------------------------------

class EntryBrowserMailTest : public EntryBrowserTest {
protected:
    void SetUp() override
    {
        EntryBrowserTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        main->App.MailSmtpHost = "127.0.0.1";
        main->App.MailAddress = "me@example.org";
        main->EntryManager().ShowPreferences = [this](const QString& page) { preferencePages << page; };
        TfrmMailEntries::ExecuteHook = [this](TfrmMailEntries& window) {
            ++windowsShown;
            shownAttachments = window.Attachments();
            shownBody = window.meBody->toPlainText();
            return answerWindow ? answerWindow(window) : int(QDialog::Rejected);
        };
    }
    void TearDown() override
    {
        TfrmMailEntries::ExecuteHook = nullptr;
        TfrmMailEntries::AccountSource = nullptr;
        EntryBrowserTest::TearDown();
    }

    void MailEntries(const QList<int>& codes)
    {
        SearchFor("");
        grid->SelectNone();
        for (const int code : codes)
            ClickRow(int(GridCodes().indexOf(code)), Qt::ControlModifier);
        ASSERT_EQ(browser->SelectedEntryCodes(), codes);
        browser->miMail->trigger();
    }
    static void ServeFrom(int port)
    {
        TfrmMailEntries::AccountSource = [port](const TAppSettings&, QString*) {
            TSmtpAccount account;
            account.host = "127.0.0.1";
            account.port = port;
            return std::optional(account);
        };
    }
    static QByteArray Bytes(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QStringList preferencePages;
    int windowsShown = 0;
    QStringList shownAttachments;
    QString shownBody;
    std::function<int(TfrmMailEntries&)> answerWindow;
};

TEST_P(EntryBrowserMailTest, EntriesGoAsTheirArchivesThroughTheWindowToTheServer)
{
    const int greek = StoreEntry(QString::fromUtf8("Καλημέρα notes"), {{"a b.txt", "alpha"}}, kNotes, {},
                                 QString::fromUtf8("Σχόλια\nline two"));
    const int plain = StoreEntry("Plain", {{"one.txt", "1"}, {"sub/two.txt", "22"}});
    TSmtpSink sink;
    ASSERT_TRUE(sink.Started()) << sink.Log().toStdString();
    ServeFrom(sink.Port());
    answerWindow = [&](TfrmMailEntries& window) {
        window.show();
        EXPECT_TRUE(window.paStatus->isHidden());
        EXPECT_TRUE(window.laAttachments->text().startsWith(QString("%1.zip, %2.zip (").arg(greek).arg(plain)))
            << window.laAttachments->text().toStdString();
        // subject and recipient first
        window.btnSendClick();
        EXPECT_EQ(desktop.MessageTexts(),
                  QStringList{"You must first enter the subject and the recipient of the e-mail message."});
        window.coTo->setEditText("\"Doe, John\" <john@example.org>; nobody");
        window.edSubject->setText(QString::fromUtf8("Δύο entries"));
        window.btnSendClick();
        EXPECT_EQ(window.meStatus->toPlainText().section('\n', 0, 0),
                  "ERROR: \"nobody\" is not a valid e-mail address.");
        EXPECT_TRUE(window.btnSend->isEnabled());
        window.coTo->setEditText("\"Doe, John\" <john@example.org>; ann@example.org");
        window.coBCC->setEditText("boss@example.org");
        window.btnSendClick();
        EXPECT_TRUE(window.Sent()) << window.meStatus->toPlainText().toStdString();
        EXPECT_EQ(window.laStatus->text(), "e-mail message sent successfully.");
        EXPECT_TRUE(window.laStatus->isVisible());
        EXPECT_TRUE(window.paStatus->isHidden());
        EXPECT_FALSE(window.btnSend->isEnabled());
        window.close();
        return int(QDialog::Accepted);
    };
    MailEntries({greek, plain});
    ASSERT_EQ(windowsShown, 1);
    const QString mailFolder = main->App.MailFolder;
    EXPECT_EQ(shownAttachments, QStringList({mailFolder + QString("%1.zip").arg(greek), mailFolder + QString("%1.zip").arg(plain)}));
    const QString rule(80, '-');
    EXPECT_EQ(shownBody, QString::fromUtf8("%1. Καλημέρα notes\nΣχόλια\nline two\n%3\n%2. Plain\n \n%3\n")
                             .arg(greek).arg(plain).arg(rule));
    // the attachments are the stored archives, whole
    QString listing;
    ASSERT_EQ(TestEnv::Run("unzip", {"-Z1", shownAttachments[1]}, &listing), 0);
    EXPECT_EQ(listing.split('\n', Qt::SkipEmptyParts), QStringList({"one.txt", "sub/", "sub/two.txt"}));

    const QList<QJsonObject> received = sink.Messages();
    ASSERT_EQ(received.size(), 1);
    const QJsonObject mail = received.first();
    EXPECT_EQ(mail["headers"].toObject()["Subject"].toString(), QString::fromUtf8("Δύο entries"));
    EXPECT_EQ(mail["headers"].toObject()["To"].toString(), "\"Doe, John\" <john@example.org>, ann@example.org");
    EXPECT_EQ(mail["envelope"].toObject()["to"].toArray().size(), 3);
    EXPECT_EQ(mail["body"].toString().replace("\r\n", "\n"), shownBody);
    const QJsonArray attachments = mail["attachments"].toArray();
    ASSERT_EQ(attachments.size(), 2);
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(attachments[i].toObject()["name"].toString(), QFileInfo(shownAttachments[i]).fileName());
        EXPECT_EQ(QByteArray::fromBase64(attachments[i].toObject()["data"].toString().toLatin1()),
                  Bytes(shownAttachments[i]));
    }

    // the recipients are remembered for the next message
    TfrmMailEntries next(*main);
    next.show();
    QStringList remembered;
    for (int i = 0; i < next.coTo->count(); ++i)
        remembered << next.coTo->itemText(i);
    EXPECT_EQ(remembered, QStringList{"\"Doe, John\" <john@example.org>; ann@example.org"});
    EXPECT_EQ(next.coBCC->count(), 1);
    EXPECT_EQ(next.coCC->count(), 0);
}

TEST_P(EntryBrowserMailTest, AFailedSendKeepsEverythingForTheNextAttempt)
{
    main->App.MailAsZip = false;
    const int code = StoreEntry("Files", {{"notes with spaces.txt", "n"}, {"deep/x.bin", QByteArray("\0\1\2", 3)}});
    ServeFrom(TSmtpSink::UnusedPort());
    answerWindow = [&](TfrmMailEntries& window) {
        window.show();
        window.coTo->setEditText("ann@example.org");
        window.edSubject->setText("Subject");
        window.meBody->setPlainText("typed text");
        for (int attempt = 0; attempt < 2; ++attempt) {
            window.btnSendClick();
            const QStringList lines = window.meStatus->toPlainText().split('\n', Qt::SkipEmptyParts);
            // each attempt starts with an empty status: one error line
            EXPECT_EQ(lines.size(), 1) << window.meStatus->toPlainText().toStdString();
            EXPECT_TRUE(lines.value(0).startsWith("ERROR: ")) << lines.value(0).toStdString();
            EXPECT_TRUE(window.paStatus->isVisible());
            EXPECT_TRUE(window.btnSend->isEnabled());
            EXPECT_FALSE(window.Sent());
        }
        EXPECT_EQ(window.coTo->currentText(), "ann@example.org");
        EXPECT_EQ(window.edSubject->text(), "Subject");
        EXPECT_EQ(window.meBody->toPlainText(), "typed text");
        // no message box: the failure is told in the status area only
        EXPECT_TRUE(desktop.messages.isEmpty());
        // the server's settings are at hand
        window.btnSettings->click();
        EXPECT_EQ(preferencePages, QStringList{"laMail"});
        TSmtpSink sink;
        EXPECT_TRUE(sink.Started());
        ServeFrom(sink.Port());
        window.btnSendClick();
        EXPECT_TRUE(window.Sent()) << window.meStatus->toPlainText().toStdString();
        const QList<QJsonObject> received = sink.Messages();
        EXPECT_EQ(received.size(), 1);
        if (!received.isEmpty())
            EXPECT_EQ(received.first()["attachments"].toArray().size(), 2);
        return int(QDialog::Accepted);
    };
    MailEntries({code});
    ASSERT_EQ(windowsShown, 1);
    const QString folder = main->App.MailFolder + QString::number(code) + "/";
    EXPECT_EQ(shownAttachments, QStringList({folder + "deep/x.bin", folder + "notes with spaces.txt"}));
    // the prepared files stay until the clean-up of old mail
    for (const QString& path : shownAttachments)
        EXPECT_TRUE(QFileInfo(path).isFile()) << path.toStdString();
}

TEST_P(EntryBrowserMailTest, RefusalsAndLimitsStopBeforeTheWindow)
{
    const int one = StoreEntry("One", {{"1.txt", "1"}});
    // the sender still at its default text: offered the e-mail settings
    main->App.MailAddress = "<Enter your e-mail address here>";
    desktop.QueueAnswer(IDesktop::TAnswer::Yes);
    MailEntries({one});
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_EQ(desktop.messages.first().text, "Before sending e-mail, you must define the SMTP host and your e-mail "
                                             "address. Do you want to do this now?");
    EXPECT_EQ(desktop.messages.first().buttons, IDesktop::TButtons::YesCancel);
    EXPECT_EQ(preferencePages, QStringList{"laMail"});
    main->App.MailAddress = "me@example.org";

    // at most ten attachments: files of an entry sent one by one
    main->App.MailAsZip = false;
    std::map<QString, QByteArray> files;
    for (int i = 1; i <= 10; ++i)
        files[QString("f%1.txt").arg(i, 2, 10, QChar('0'))] = "x";
    const int ten = StoreEntry("Ten", files);
    files["f11.txt"] = "x";
    const int eleven = StoreEntry("Eleven", files);
    desktop.Clear();
    MailEntries({ten});
    EXPECT_EQ(windowsShown, 1);
    EXPECT_EQ(shownAttachments.size(), 10);
    MailEntries({eleven});
    EXPECT_EQ(windowsShown, 1);
    EXPECT_EQ(desktop.MessageTexts(),
              QStringList{"You have specified a large number of files to send (11). This could be quite tedious for "
                          "the recipients of the e-mail message.\r\nIt might be better if you requested the entries "
                          "to be e-mailed as .ZIP files.\r\nGo to [Application -> Settings -> eMail] and check the "
                          "box \"Send entries as compressed (.ZIP) files\"."});

    // the size limit: exactly 1024 KB passes, one byte more does not
    const int exact = StoreEntry("Exact", {{"big.bin", QByteArray(1048576, 'b')}});
    const int over = StoreEntry("Over", {{"big.bin", QByteArray(1048577, 'b')}});
    desktop.Clear();
    MailEntries({exact});
    EXPECT_EQ(windowsShown, 2);
    MailEntries({over});
    EXPECT_EQ(windowsShown, 2);
    EXPECT_EQ(desktop.MessageTexts(),
              QStringList{"The size of the files you want to send by e-mail is 1024 KB, which exceeds 1024. \r\nYou "
                          "cannot send this message.\r\n\r\nYou may increase the maximum allowed size from "
                          "[Application -> Settings -> eMail], \r\nbut be aware that some recipients may NOT be able "
                          "to receive large mail messages."});

    // a protected entry: its files need the password; cancelling ends quietly
    const int locked = StoreEntry("Locked", {{"secret.txt", "s"}}, kNotes, "pw");
    desktop.Clear();
    MailEntries({locked});
    EXPECT_EQ(desktop.passwordRequests, QList<int>{locked});
    EXPECT_TRUE(desktop.messages.isEmpty());
    EXPECT_EQ(windowsShown, 2);
    // as an archive it goes encrypted, without a prompt
    main->App.MailAsZip = true;
    desktop.Clear();
    MailEntries({locked});
    EXPECT_TRUE(desktop.passwordRequests.isEmpty());
    EXPECT_EQ(windowsShown, 3);
    EXPECT_NE(TestEnv::Run("7zz", {"t", "-pwrong", shownAttachments.first()}), 0);
    EXPECT_EQ(TestEnv::Run("7zz", {"t", "-ppw", shownAttachments.first()}), 0);

    // an entry open for editing is refused first
    main->App.EditMultipleEntries = true;
    main->EntryManager().EditEntry(one);
    desktop.Clear();
    MailEntries({one, ten});
    EXPECT_EQ(desktop.MessageTexts(), QStringList{"Some of the selected entries are open for editing. You must first "
                                                  "close them before sending them by e-mail."});
    EXPECT_EQ(windowsShown, 3);
}

INSTANTIATE_TEST_SUITE_P(SQLite, EntryBrowserMailTest, ::testing::Values(TEngine::SQLite), EngineName);

INSTANTIATE_TEST_SUITE_P(SQLite, EntryBrowserTest, ::testing::Values(TEngine::SQLite), EngineName);
TESSARYN_INSTANTIATE_ENGINES(EntryBrowserSearchTest);

} // namespace

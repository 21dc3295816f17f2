#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "app/AppResources.h"
#include "app/Errors.h"
#include "browsing/EntryGrid.h"
#include "browsing/fCategoryBrowser.h"
#include "browsing/fEntryBrowser.h"
#include "controls/BTreeView.h"
#include "db/ClientRecordSet.h"
#include "db/EngineDialect.h"
#include "engine/Category.h"
#include "settings/DatabaseSettingsManager.h"
#include "settings/ISettingsManager.h"
#include "settings/dmMain.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QFile>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMimeData>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <gtest/gtest.h>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// Archive, and Notes with Travel below it and Europe below Travel. In the
// fully expanded tree they take rows 0 to 3 in that order.
constexpr int kNotes = 7;
constexpr int kArchive = 8;
constexpr int kTravel = 9;
constexpr int kEurope = 10;

class CategoryBrowserTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
        TAppResources::Register();
        // Categories the program adds later draw their codes above these.
        conn->ReserveNextRecIDs(QStringLiteral("categories"), 100);
        QSqlQuery q(conn->Database());
        for (const auto& [code, parent, name] :
             {std::tuple{kNotes, 0, "Notes"}, std::tuple{kArchive, 0, "Archive"}, std::tuple{kTravel, kNotes, "Travel"},
              std::tuple{kEurope, kTravel, "Europe"}})
            ASSERT_TRUE(q.exec(QString("insert into categories (code, parent, name, description) "
                                       "values (%1, %2, '%3', '%3 notes')")
                                   .arg(code)
                                   .arg(parent)
                                   .arg(name)))
                << q.lastError().text().toStdString();
        main = std::make_unique<TdmMain>(*conn, desktop);
        ASSERT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
    }
    void TearDown() override
    {
        categories.reset();
        main.reset();
        EngineTest::TearDown();
    }

    // A browser in a window of its own that records what it browses.
    void MakeBrowser(bool show = true)
    {
        categories = std::make_unique<TfrmCategoryBrowser>(*main);
        categories->resize(260, 300);
        categories->OnBrowseCategory = [this](int code) { browsed.append(code); };
        if (show) {
            categories->show();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(categories.get()));
        }
    }
    TBTreeView* Tree() const { return categories->Tree(); }

    TBTreeViewNode* NodeOf(int code) const
    {
        const TTreeNodesIterator all(&Tree()->Nodes(), false, true);
        for (TBTreeViewNode* node : all.List())
            if (node->Caption == main->Categories().FindByCode(code)->Name())
                return node;
        return nullptr;
    }
    // The captions of the visible rows, top to bottom.
    QStringList Rows() const
    {
        QStringList captions;
        for (int row = 0; row < Tree()->RowCount(); ++row)
            captions.append(Tree()->NodeAtRow(row)->Caption);
        return captions;
    }
    void ClickButton(int code)
    {
        TBTreeViewNode* node = NodeOf(code);
        ASSERT_NE(node, nullptr);
        const QRect button = Tree()->ButtonRect(Tree()->RowRect(Tree()->RowOfNode(node)), node->Level());
        QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, Qt::NoModifier, button.center());
    }
    QPoint TextPoint(int code) const
    {
        TBTreeViewNode* node = NodeOf(code);
        const QRect row = Tree()->RowRect(Tree()->RowOfNode(node));
        return {Tree()->TextRect(row, node->Level()).left() + 4, row.center().y()};
    }
    void ClickText(int code)
    {
        QTest::mouseClick(Tree()->viewport(), Qt::LeftButton, Qt::NoModifier, TextPoint(code));
    }

    QString StoredCollapsed()
    {
        ISettingsManager& settings = main->Settings();
        TSettingsAccess access(settings);
        settings.UseUserAllComputers();
        return settings.ReadString(TfrmCategoryBrowser::CollapsedValue, QString(),
                                   TfrmCategoryBrowser::CollapsedSection);
    }
    void StoreCollapsed(const QString& value)
    {
        ISettingsManager& settings = main->Settings();
        TSettingsAccess access(settings);
        settings.UseUserAllComputers();
        settings.WriteString(TfrmCategoryBrowser::CollapsedValue, value, TfrmCategoryBrowser::CollapsedSection);
    }

    RecordingDesktop desktop;
    std::unique_ptr<TdmMain> main;
    std::unique_ptr<TfrmCategoryBrowser> categories;
    QList<int> browsed;
};

// --- the collapsed categories --------------------------------------------------------

TEST_P(CategoryBrowserTest, StartsExpandedAndRemembersWhatTheUserCollapsed)
{
    MakeBrowser();
    EXPECT_EQ(Rows(), QStringList({"Archive", "Notes", "Travel", "Europe"}));

    ClickButton(kTravel);
    ClickButton(kNotes);
    ASSERT_EQ(Rows(), QStringList({"Archive", "Notes"}));
    categories.reset();
    EXPECT_EQ(StoredCollapsed(), "7,9");

    MakeBrowser();
    EXPECT_EQ(Rows(), QStringList({"Archive", "Notes"}));
    // Travel stayed collapsed while hidden under Notes.
    ClickButton(kNotes);
    EXPECT_EQ(Rows(), QStringList({"Archive", "Notes", "Travel"}));
    EXPECT_FALSE(NodeOf(kTravel)->Expanded());
}

TEST_P(CategoryBrowserTest, StoredCodesOfNoCategoryAreIgnored)
{
    const struct {
        QString stored;
        QStringList rows;
        QString storedAgain;
    } cases[] = {
        {"999,abc,9", {"Archive", "Notes", "Travel"}, "9"},
        {"7,-1,12x", {"Archive", "Notes"}, "7"},
        {"x,,", {"Archive", "Notes", "Travel", "Europe"}, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored.toStdString());
        StoreCollapsed(c.stored);
        MakeBrowser();
        EXPECT_EQ(Rows(), c.rows);
        categories.reset();
        EXPECT_EQ(StoredCollapsed(), c.storedAgain);
    }
}

// --- browsing ----------------------------------------------------------------------

TEST_P(CategoryBrowserTest, BrowsesFromTheFirstShowOn)
{
    MakeBrowser(false);
    categories->SelectCategory(kTravel);
    categories->SelectCategory(kEurope);
    EXPECT_EQ(categories->CurrentCategoryCode(), kEurope);
    EXPECT_EQ(browsed, QList<int>()) << "nothing is browsed before the window shows";

    categories->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(categories.get()));
    EXPECT_EQ(browsed, QList<int>({kEurope}));
    categories->hide();
    categories->show();
    EXPECT_EQ(browsed, QList<int>({kEurope})) << "only the first show browses";

    ClickText(kArchive);
    EXPECT_EQ(categories->CurrentCategoryCode(), kArchive);
    EXPECT_EQ(browsed, QList<int>({kEurope, kArchive}));
    categories->SelectCategory(kNotes);
    EXPECT_EQ(browsed, QList<int>({kEurope, kArchive, kNotes}));
    categories->SelectCategory(-1);
    categories->SelectCategory(999);
    EXPECT_EQ(categories->CurrentCategoryCode(), kNotes);
    EXPECT_EQ(browsed.size(), 3);
}

// The main window freezes the browser around the category manager and
// reloads the tree after it.
TEST_P(CategoryBrowserTest, FrozenSelectionComesBackAfterTheTreeIsReloaded)
{
    MakeBrowser();
    categories->SelectCategory(kTravel);
    browsed.clear();

    categories->FreezeSelection();
    EXPECT_TRUE(categories->Frozen());
    ClickText(kArchive);
    EXPECT_EQ(categories->CurrentCategoryCode(), kArchive);
    ClickButton(kTravel);

    // What the manager does: edit the category objects and their records,
    // then write the changes.
    TCategories& tree = main->Categories();
    tree.FindByCode(kEurope)->SetName("Europa");
    tree.FindByCode(kEurope)->SetDescription("Old world");
    const int added = tree.FindByCode(kNotes)->Children().AddCategory(std::make_unique<TCategory>(0, "Recipes"))->Code();
    ASSERT_GT(added, 100);
    ClientRecordSet* records = tree.RecordSet();
    conn->ApplyCategoryUpdates({records->GetDelta()});
    records->MergeChangeLog();

    categories->ReloadTree();
    categories->ThawSelection();
    EXPECT_FALSE(categories->Frozen());
    EXPECT_EQ(Rows(), QStringList({"Archive", "Notes", "Travel", "Recipes"})) << "Travel stays collapsed";
    ClickButton(kTravel);
    EXPECT_EQ(Rows(), QStringList({"Archive", "Notes", "Travel", "Europa", "Recipes"}));
    EXPECT_EQ(Tree()->NodeHint(NodeOf(kEurope)), TfrmCategoryBrowser::NodeHintText.arg("Old world"));
    EXPECT_EQ(categories->CurrentCategoryCode(), kTravel);
    EXPECT_EQ(browsed, QList<int>()) << "neither the clicks nor the reload browsed";

    ClickText(added);
    EXPECT_EQ(browsed, QList<int>({added}));
}

// The settings store cannot be reached: its cache file is gone and the
// database has no settings table to rebuild it from. The reload reports
// that, and the tree goes on rebuilding its rows and browsing.
TEST_P(CategoryBrowserTest, AReloadThatCannotReachTheSettingsLeavesTheTreeWorking)
{
    MakeBrowser();
    browsed.clear();
    auto* store = dynamic_cast<TDatabaseSettingsManager*>(&main->Settings());
    ASSERT_TRUE(store);
    ASSERT_FALSE(store->CacheOpen());
    QSqlQuery q(conn->Database());
    ASSERT_TRUE(q.exec("alter table settings rename to settings_elsewhere")) << q.lastError().text().toStdString();
    ASSERT_TRUE(QFile::remove(store->CacheFileName()));

    EXPECT_THROW(categories->ReloadTree(), ETessarynError);
    EXPECT_FALSE(Tree()->IsUpdating());
    ClickButton(kNotes);
    EXPECT_EQ(Rows(), QStringList({"Archive", "Notes"}));
    ClickText(kNotes);
    EXPECT_EQ(browsed, QList<int>({kNotes}));
}

// --- entries dropped on a category ---------------------------------------------------

// The browser next to an entry browser, wired as the main window wires them.
class CategoryDropTest : public CategoryBrowserTest {
protected:
    void SetUp() override
    {
        CategoryBrowserTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        conn->ReserveNextRecIDs(QStringLiteral("entries"), 200);
        InsertEntries({{101, kNotes}, {102, kNotes}, {103, kNotes}, {104, kNotes}, {105, kArchive}});
        main->App.EntriesSortOrder = 1;

        window = std::make_unique<QWidget>();
        window->resize(900, 520);
        auto* row = new QHBoxLayout(window.get());
        auto* categoriesPanel = new QWidget(window.get());
        auto* entriesPanel = new QWidget(window.get());
        row->addWidget(categoriesPanel, 1);
        row->addWidget(entriesPanel, 3);
        entries = CreateEntryBrowser(*main, entriesPanel);
        grid = entries->Grid();

        browser = new TfrmCategoryBrowser(*main, categoriesPanel);
        (new QHBoxLayout(categoriesPanel))->addWidget(browser);
        browser->OnBrowseCategory = [this](int code) {
            browsed.append(code);
            entries->BrowseCategory(code);
        };
        browser->OnMoveSelectedToCategory = [this](int code) { entries->MoveSelectedToCategory(code); };
        // A drop outside a real drag has no source; the test says where it came from.
        browser->IsEntryGridDrag = [this](const QObject*) { return fromGrid; };
        entries->OnCategoryDragEnded = [this] { browser->tvEndDrag(); };
        entries->SetLeftView(TfrmEntryBrowser::TLeftView::Categories);
        browser->SelectCategory(kNotes);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        ASSERT_EQ(browsed, QList<int>({kNotes}));
    }
    void TearDown() override
    {
        window.reset();
        CategoryBrowserTest::TearDown();
    }

    void InsertEntries(const QList<std::pair<int, int>>& codeAndCategory)
    {
        QSqlQuery q(conn->Database());
        ASSERT_TRUE(q.prepare("insert into entries (code, DateCreated, DateModified, category, Title, Keywords, "
                              "PasswordProtected, source, Comments, GUID) values (?, ?, ?, ?, ?, ?, 0, '', '', ?)"));
        for (const auto& [code, category] : codeAndCategory) {
            q.addBindValue(code);
            q.addBindValue(conn->Dialect().DateTimeParam(QDateTime(QDate(2020, 1, 1), QTime(0, 0))));
            q.addBindValue(conn->Dialect().DateTimeParam(QDateTime(QDate(2020, 1, 1), QTime(0, 0))));
            q.addBindValue(category);
            q.addBindValue(QString("Entry %1").arg(code));
            q.addBindValue(QString("key%1").arg(code));
            q.addBindValue(QString("%1").arg(code, 36, 10, QChar('0')));
            ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
        }
    }
    int Category(int entry)
    {
        QSqlQuery q(conn->Database());
        q.prepare("select category from entries where code = ?");
        q.addBindValue(entry);
        EXPECT_TRUE(q.exec()) << q.lastError().text().toStdString();
        return q.next() ? q.value(0).toInt() : -1;
    }
    QList<int> GridCodes() const
    {
        QList<int> codes;
        for (int row = 0; row < grid->RecordCount(); ++row)
            codes.append(grid->CodeAt(row));
        return codes;
    }
    void ClickRow(int row, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
    {
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, modifiers, grid->RowRect(row).center());
    }

    TBTreeView* Tree() const { return browser->Tree(); }
    TBTreeViewNode* NodeOf(int code) const
    {
        const TTreeNodesIterator all(&Tree()->Nodes(), false, true);
        for (TBTreeViewNode* node : all.List())
            if (node->Caption == main->Categories().FindByCode(code)->Name())
                return node;
        return nullptr;
    }
    QPoint RowPoint(int code) const { return Tree()->RowRect(Tree()->RowOfNode(NodeOf(code))).center(); }

    // Drag events as the window system delivers them to the tree.
    bool Enter(int code)
    {
        QDragEnterEvent event(RowPoint(code), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Tree()->viewport(), &event);
        return event.isAccepted();
    }
    bool Move(int code)
    {
        QDragMoveEvent event(RowPoint(code), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Tree()->viewport(), &event);
        return event.isAccepted();
    }
    bool Drop(int code)
    {
        QDropEvent event(QPointF(RowPoint(code)), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(Tree()->viewport(), &event);
        return event.isAccepted();
    }
    // Selects entries 102 and 104 (in that order) of a search over every category.
    void SelectTwoOfAllEntries()
    {
        entries->ShowSearchBox();
        entries->SearchEdit()->setFocus();
        QTest::keyClicks(entries->SearchEdit(), "entry");
        QTest::keyClick(entries->SearchEdit(), Qt::Key_Return);
        ASSERT_EQ(GridCodes(), QList<int>({101, 102, 103, 104, 105}));
        ClickRow(1);
        ClickRow(3);
        ASSERT_EQ(entries->SelectedEntryCodes(), QList<int>({102, 104}));
        mime.setData(TfrmEntryBrowser::EntryCodesMimeType, "102,104");
    }

    std::unique_ptr<QWidget> window;
    TfrmCategoryBrowser* browser = nullptr;
    TfrmEntryBrowser* entries = nullptr;
    TEntryGrid* grid = nullptr;
    QMimeData mime;
    bool fromGrid = true;
};

TEST_P(CategoryDropTest, EntriesDroppedOnACategoryMoveThere)
{
    EXPECT_EQ(GridCodes(), QList<int>({101, 102, 103, 104}));
    SelectTwoOfAllEntries();

    ASSERT_TRUE(Enter(kTravel));
    EXPECT_EQ(browser->DropTargetNode(), NodeOf(kTravel));
    ASSERT_TRUE(Move(kArchive));
    EXPECT_EQ(browser->DropTargetNode(), NodeOf(kArchive));
    ASSERT_TRUE(Drop(kArchive));
    EXPECT_EQ(browser->DropTargetNode(), nullptr);
    for (const auto& [entry, category] : {std::pair{101, kNotes}, {102, kArchive}, {103, kNotes}, {104, kArchive}})
        EXPECT_EQ(Category(entry), category) << entry;
    // The result shows the new categories and keeps the marked entries.
    EXPECT_EQ(grid->Value(grid->RowOfCode(102), "category").toInt(), kArchive);
    EXPECT_EQ(grid->Value(grid->RowOfCode(104), "category").toInt(), kArchive);
    EXPECT_EQ(entries->SelectedEntryCodes(), QList<int>({102, 104}));
    EXPECT_EQ(browser->CurrentCategoryCode(), kNotes);
    EXPECT_EQ(browsed, QList<int>({kNotes})) << "a drop browses nothing";

    // The category being browsed takes nothing.
    ASSERT_TRUE(Enter(kNotes));
    EXPECT_EQ(browser->DropTargetNode(), NodeOf(kNotes));
    Drop(kNotes);
    EXPECT_EQ(browser->DropTargetNode(), nullptr);
    EXPECT_EQ(Category(102), kArchive);
    EXPECT_EQ(Category(104), kArchive);
}

TEST_P(CategoryDropTest, DragsFromElsewhereAreRefused)
{
    SelectTwoOfAllEntries();
    fromGrid = false;
    EXPECT_FALSE(Enter(kArchive));
    EXPECT_FALSE(Move(kArchive));
    EXPECT_EQ(browser->DropTargetNode(), nullptr);

    // Even a drag the tree took at first is checked again when it drops.
    fromGrid = true;
    ASSERT_TRUE(Enter(kArchive));
    fromGrid = false;
    EXPECT_FALSE(Drop(kArchive));
    EXPECT_EQ(Category(102), kNotes);
    EXPECT_EQ(Category(104), kNotes);
}

TEST_P(CategoryDropTest, EndOfTheDragClearsTheDropTarget)
{
    SelectTwoOfAllEntries();
    ASSERT_TRUE(Enter(kTravel));
    ASSERT_EQ(browser->DropTargetNode(), NodeOf(kTravel));
    browser->tvEndDrag();
    EXPECT_EQ(browser->DropTargetNode(), nullptr);

    // A drag of the grid's entries ends here through the entry browser.
    ASSERT_TRUE(Move(kArchive));
    ASSERT_EQ(browser->DropTargetNode(), NodeOf(kArchive));
    const QPoint start = grid->RowRect(1).center();
    QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, start);
    QTest::mouseMove(grid->viewport(), start + QPoint(QApplication::startDragDistance() + 5, 0));
    QTest::mouseRelease(grid->viewport(), Qt::LeftButton, {}, start);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(browser->DropTargetNode(), nullptr);

    // Leaving the tree clears it too.
    ASSERT_TRUE(Enter(kTravel));
    QDragLeaveEvent leave;
    QApplication::sendEvent(Tree()->viewport(), &leave);
    EXPECT_EQ(browser->DropTargetNode(), nullptr);
    EXPECT_EQ(Category(102), kNotes);
}

TESSARYN_INSTANTIATE_ENGINES(CategoryBrowserTest);
TESSARYN_INSTANTIATE_ENGINES(CategoryDropTest);

} // namespace

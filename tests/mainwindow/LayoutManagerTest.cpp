#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "app/AppResources.h"
#include "browsing/EntryGrid.h"
#include "browsing/fBookmarkSetBrowser.h"
#include "browsing/fCategoryBrowser.h"
#include "browsing/fEntryBrowser.h"
#include "controls/BTransparentButton.h"
#include "controls/CustomDrawnSplitter.h"
#include "controls/DropDownPanelWLabels.h"
#include "engine/EntryManager.h"
#include "engine/fMailEntries.h"
#include "engine/OpenEntries.h"
#include "mainwindow/HintManager.h"
#include "mainwindow/LayoutManager.h"
#include "mainwindow/TaskAssistant.h"
#include "mainwindow/ToolbarAssistant.h"
#include "mainwindow/ToolbarCatalogue.h"
#include "mainwindow/fMain.h"
#include "mainwindow/fTaskAssistant.h"
#include "preferences/ToolbarButtonsGrid.h"
#include "preferences/fPreferences.h"
#include "settings/ISettingsManager.h"
#include "settings/dmMain.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <memory>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

constexpr int kWork = 10;
constexpr int kAlpha = 12;

// The main window on a real database, started and ended the way the program
// does it: the main data module is made, the window shown; at the end the
// window goes first, then the data module, which sends the settings to the
// database. A restart makes both anew on the same database.
class LayoutTest : public EngineTest {
protected:
    static void SetUpTestSuite() { TAppResources::Register(); }

    void SetUp() override
    {
        EngineTest::SetUp();
        if (!conn)
            return;
        QSqlQuery q(conn->Database());
        for (const QString& row : {QString("%1, 0, 'Work'").arg(kWork), QString("%1, %2, 'Alpha'").arg(kAlpha).arg(kWork)})
            ASSERT_TRUE(q.exec("insert into categories (code, parent, name) values (" + row + ")"))
                << q.lastError().text().toStdString();
        ASSERT_TRUE(q.exec(QString("insert into entries (code, category, Title, Keywords, PasswordProtected) values "
                                   "(5, %1, 'Quarterly offer', 'offer', 0), (6, %1, 'Old offer', 'offer', 0), "
                                   "(7, %2, 'Lab offer', 'offer', 0)")
                               .arg(kAlpha)
                               .arg(kWork)))
            << q.lastError().text().toStdString();
        home = TestEnv::ScratchFolder();
        qputenv("TESSARYN_HOME", home.toUtf8());
    }

    void TearDown() override
    {
        Stop();
        EngineTest::TearDown();
    }

    TfrmTessarynMain& Start()
    {
        main = std::make_unique<TdmMain>(*conn, desktop);
        EXPECT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
        main->App.ShowTrayIcon = false;
        window = std::make_unique<TfrmTessarynMain>(*main);
        window->resize(1000, 700);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        QApplication::processEvents();
        return *window;
    }

    void Stop()
    {
        window.reset();
        main.reset();
    }

    TfrmTessarynMain& Restart()
    {
        Stop();
        return Start();
    }

    TCustomDrawnSplitter* Splitter(const char* name) const { return window->findChild<TCustomDrawnSplitter*>(name); }
    QWidget* Widget(const char* name) const { return window->findChild<QWidget*>(name); }
    QAction* Command(const QString& name) const { return window->findChild<QAction*>(name); }
    TMainLayoutManager& Layout() const { return window->LayoutManager(); }

    // A click of the user on a splitter's button.
    void ClickButton(TCustomDrawnSplitter* splitter)
    {
        TCustomDrawnSplitterHandle* bar = splitter->ControlHandle();
        ASSERT_TRUE(bar && bar->isVisible());
        QTest::mouseClick(bar, Qt::LeftButton, Qt::NoModifier, bar->ButtonRect().center());
    }

    void Search(const QString& text)
    {
        TfrmEntryBrowser* browser = window->EntryBrowser();
        Command("miSearch")->trigger();
        browser->SearchEdit()->setText(text);
        QTest::keyClick(browser->SearchEdit(), Qt::Key_Return);
    }

    // In the preferences window, as the user does it: the task assistant to
    // the left without the "Selection actions" and "Sorting" panels; on the
    // toolbar the first button moved to the fourth place and the second one
    // hidden; then "Save".
    static void ChooseLayout(TFrmPreferences& preferences)
    {
        preferences.show();
        const auto click = [](QAbstractButton* button) {
            QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
        };
        click(preferences.findChild<QPushButton*>("laLayout"));
        click(preferences.rbLayoutLeft);
        click(preferences.findChild<QPushButton*>("laTaskAssistantPanels"));
        click(preferences.chTaskPanels[3]);
        click(preferences.chTaskPanels[8]);
        click(preferences.findChild<QPushButton*>("laToolbarButtons"));
        TToolbarButtonsGrid* grid = preferences.grToobarButtons;
        grid->setFocus();
        for (int i = 0; i < 3; ++i)
            QTest::keyClick(grid->viewport(), Qt::Key_Down, Qt::ControlModifier);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(10, TToolbarButtonsGrid::RowHeight + 10));
        click(preferences.btnOK);
    }

    // The window running now shows what ChooseLayout chose.
    void ExpectChosenLayout()
    {
        QApplication::processEvents();   // the window lays itself out again
        TGenericTaskAssistant& tasks = Layout().TaskAssistant();
        EXPECT_EQ(tasks.Side(), TGenericTaskAssistant::SideLeft);
        EXPECT_LT(Widget("paTaskAssistant")->x(), Widget("paTop")->x());
        EXPECT_FALSE(tasks.PanelVisible(3));
        EXPECT_FALSE(tasks.PanelVisible(8));
        EXPECT_TRUE(tasks.PanelVisible(2));
        TToolbarAssistant& bar = Layout().Toolbar();
        EXPECT_EQ(bar.Entry(0)->Identifier, "btn_NewEntryFromMonitoredFolder");
        EXPECT_EQ(bar.Entry(3)->Identifier, "btn_NewEntryFromClipboard");
        EXPECT_EQ(bar.Button("btn_NewEntryFromQuickNote"), nullptr);
        ASSERT_NE(bar.Button("btn_NewEntryFromClipboard"), nullptr);
        EXPECT_EQ(bar.Button("btn_NewEntryFromMonitoredFolder")->x(), 7);
        EXPECT_GT(bar.Button("btn_NewEntryFromClipboard")->x(), bar.Button("btn_NewEntryFromMonitoredFolder")->x());
    }

    // Opens the preferences the way `open` does (at the page of that link),
    // chooses the layout there and checks it in the window now and after a
    // restart.
    void SaveLayoutThrough(const QString& page, const std::function<void(TfrmTessarynMain&)>& open)
    {
        TfrmTessarynMain& w = Start();
        QStringList pages;
        TFrmPreferences::ExecuteHook = [&](TFrmPreferences& preferences) {
            pages << preferences.CurrentLink();
            EXPECT_EQ(preferences.parentWidget(), &w) << "over the main window";
            ChooseLayout(preferences);
            return preferences.result();
        };
        open(w);
        EXPECT_TRUE(TestEnv::WaitFor([&] { return pages.size() == 1; }));
        TFrmPreferences::ExecuteHook = nullptr;
        ASSERT_EQ(pages, QStringList({page}));
        ExpectChosenLayout();
        Restart();
        ExpectChosenLayout();
    }

    ISettingsManager& Settings(bool thisComputer) const
    {
        ISettingsManager& s = main->Settings();
        thisComputer ? s.UseUserThisComputer() : s.UseUserAllComputers();
        return s;
    }

    RecordingDesktop desktop;
    QString home;
    std::unique_ptr<TdmMain> main;
    std::unique_ptr<TfrmTessarynMain> window;
};

} // namespace

TEST_P(LayoutTest, TheLayoutSurvivesARestart)
{
    TfrmTessarynMain& w = Start();
    // a first start: the category browser at its default width, the task
    // assistant on the right, no bottom panel
    ASSERT_TRUE(w.CategoryBrowser());
    EXPECT_EQ(Widget("paLeft")->width(), 249);
    EXPECT_TRUE(Widget("paTaskAssistant")->isVisible());
    EXPECT_TRUE(Command("miViewTaskAssistant")->isChecked());
    EXPECT_FALSE(Widget("paAuxiliary")->isVisible());

    // the user picks a category and an entry, widens the panel, then minimizes it
    w.CategoryBrowser()->SelectCategory(kAlpha);
    w.EntryBrowser()->LocateEntry(6);
    TCustomDrawnSplitter* vertical = Splitter("splitterVertical");
    QTest::mousePress(vertical->ControlHandle(), Qt::LeftButton, {}, QPoint(5, 20));
    QTest::mouseMove(vertical->ControlHandle(), QPoint(5 + 51, 20));
    QTest::mouseRelease(vertical->ControlHandle(), Qt::LeftButton, {}, QPoint(5, 20));
    EXPECT_EQ(Widget("paLeft")->width(), 300);
    EXPECT_EQ(Layout().BrowserWidth(), 300);
    ClickButton(vertical);
    EXPECT_EQ(Widget("paLeft")->width(), 1);
    EXPECT_FALSE(w.CategoryBrowser()->isEnabled());
    // the bottom panel at 150 pixels; a task panel collapsed, another hidden
    Command("miViewBottomPanel")->trigger();
    Splitter("splitterHorizontal")->SetPanelSize(150);
    EXPECT_EQ(Layout().BottomPanelHeight(), 150);
    TfrmTaskAssistant* tasks = Layout().TaskAssistant().Window();
    TDropDownPanelWLabels* sorting = tasks->Panel(8);
    sorting->SetExpanded(true);
    QTest::mouseClick(sorting, Qt::LeftButton, {}, sorting->ToggleRect().center());
    EXPECT_FALSE(sorting->Expanded());
    Layout().TaskAssistant().SetPanelVisible(3, false);
    Layout().TaskAssistant().SetSide(TGenericTaskAssistant::SideLeft);

    TfrmTessarynMain& again = Restart();
    ASSERT_TRUE(again.CategoryBrowser());
    EXPECT_EQ(again.CategoryBrowser()->CurrentCategoryCode(), kAlpha);
    EXPECT_EQ(again.EntryBrowser()->CurrentEntryCode(), 6);
    vertical = Splitter("splitterVertical");
    EXPECT_TRUE(vertical->Minimized());
    EXPECT_EQ(Widget("paLeft")->width(), 1);
    EXPECT_FALSE(again.CategoryBrowser()->isEnabled());
    // the bottom panel is hidden after every start, its height kept
    EXPECT_FALSE(Widget("paAuxiliary")->isVisible());
    EXPECT_EQ(Layout().BottomPanelHeight(), 150);
    tasks = Layout().TaskAssistant().Window();
    EXPECT_FALSE(tasks->Panel(8)->Expanded());
    EXPECT_TRUE(tasks->Panel(0)->Expanded());
    EXPECT_FALSE(Layout().TaskAssistant().PanelVisible(3));
    EXPECT_LT(Widget("paTaskAssistant")->x(), Widget("paTop")->x());

    // the click that restores the panel brings back the width it had
    ClickButton(vertical);
    EXPECT_EQ(Widget("paLeft")->width(), 300);
    EXPECT_TRUE(again.CategoryBrowser()->isEnabled());
    Command("miViewBottomPanel")->trigger();
    EXPECT_EQ(Widget("paAuxiliary")->height(), 150);

    // Search hides the panel; Bookmark sets shows it again, restored
    ClickButton(vertical);
    Command("miSearch")->trigger();
    EXPECT_FALSE(Widget("paLeft")->isVisible());
    EXPECT_EQ(Layout().VisibleBrowser(), TMainLayoutManager::vbNone);
    Command("miBrowseByBookmarkSet")->trigger();
    EXPECT_EQ(Layout().VisibleBrowser(), TMainLayoutManager::vbBookmarkSets);
    EXPECT_FALSE(vertical->Minimized());
    // (as wide as the entry browser beside it lets it be)
    EXPECT_GT(Widget("paLeft")->width(), 1);

    // and the next start comes up with the bookmark sets
    TfrmTessarynMain& third = Restart();
    EXPECT_TRUE(third.BookmarkSetBrowser());
    EXPECT_FALSE(third.CategoryBrowser());
    EXPECT_FALSE(Command("miBrowseByBookmarkSet")->isEnabled());
}

TEST_P(LayoutTest, BadStoredValuesGiveTheDefaultLayoutAndAreReplaced)
{
    const struct {
        const char* key;
        const char* value;
    } cases[] = {
        {"Browser width", "-40"},       {"Browser width", "99999"}, {"Browser width", "wide"},
        {"Browser state", "7"},         {"Visible browser", "x"},   {"Visible browser", "12"},
        {"Bottom panel height", "-1"},  {"Bottom panel height", "123456"},
        {"Bottom panel state", "many"}, {"Last category browsed", "twelve"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.key) + "=" + c.value);
        // a stored layout with one bad value among good ones
        Start();
        Splitter("splitterVertical")->SetPanelSize(320);
        Command("miViewBottomPanel")->trigger();
        Splitter("splitterHorizontal")->SetPanelSize(170);
        Stop();
        main = std::make_unique<TdmMain>(*conn, desktop);
        {
            ISettingsManager& s = Settings(true);
            TSettingsAccess access(s);
            s.WriteString(QString::fromLatin1(c.key), QString::fromLatin1(c.value), TMainLayoutManager::Section);
        }
        main.reset();

        TfrmTessarynMain& w = Start();
        const bool bottom = QByteArray(c.key).startsWith("Bottom");
        const bool lastOnly = QByteArray(c.key).startsWith("Last");
        if (bottom) {
            EXPECT_EQ(Layout().BottomPanelHeight(), 128);
            EXPECT_EQ(Widget("paLeft")->width(), 320);
        } else if (!lastOnly) {
            EXPECT_EQ(Widget("paLeft")->width(), 249);
            EXPECT_EQ(Layout().BrowserWidth(), 249);
        }
        EXPECT_TRUE(w.CategoryBrowser());
        EXPECT_FALSE(Splitter("splitterVertical")->Minimized());
        // the window is on the screen whole
        EXPECT_LE(w.width(), w.screen()->availableGeometry().width());
        // the bad value is gone from the store
        {
            ISettingsManager& s = Settings(true);
            TSettingsAccess access(s);
            bool ok = false;
            s.ReadString(QString::fromLatin1(c.key), QString(), TMainLayoutManager::Section).toInt(&ok);
            EXPECT_TRUE(ok);
            EXPECT_NE(s.ReadString(QString::fromLatin1(c.key), QString(), TMainLayoutManager::Section),
                      QString::fromLatin1(c.value));
        }
        Stop();
    }

    // the task assistant on an unknown side stays on the right; a toolbar
    // position that is no number gives the default toolbar
    main = std::make_unique<TdmMain>(*conn, desktop);
    {
        ISettingsManager& s = Settings(false);
        TSettingsAccess access(s);
        s.WriteInteger("Task assistant layout", 5, TMainLayoutManager::Section);
        s.WriteString("btn_HelpContents order", "first", TToolbarAssistant::Section);
    }
    main.reset();
    Start();
    EXPECT_EQ(Layout().TaskAssistant().Side(), TGenericTaskAssistant::SideRight);
    EXPECT_GT(Widget("paTaskAssistant")->x(), Widget("paTop")->x());
    EXPECT_EQ(Layout().Toolbar().Entry(42)->Identifier, "btn_HelpContents");
    EXPECT_EQ(Layout().Toolbar().Button("btn_NewEntryFromClipboard")->x(), 7);
}

TEST_P(LayoutTest, SplitterHintsNameThePanel)
{
    THintManager hints;
    Start();
    TCustomDrawnSplitter* vertical = Splitter("splitterVertical");
    TCustomDrawnSplitterHandle* bar = vertical->ControlHandle();
    const QPoint button = bar->ButtonRect().center();
    const QPoint grip(bar->width() / 2, 4);
    QTest::mouseMove(bar, button);
    EXPECT_EQ(bar->statusTip(), "Click to minimize Category Browser");
    // the window's status bar shows what the pointer is over
    EXPECT_EQ(THintManager::ApplicationHint(), "Click to minimize Category Browser");
    QTest::mouseMove(bar, grip);
    EXPECT_EQ(bar->statusTip(), "Drag to resize Category Browser");
    EXPECT_EQ(THintManager::ApplicationHint(), "Drag to resize Category Browser");
    ClickButton(vertical);
    QTest::mouseMove(bar, button + QPoint(0, 1));
    EXPECT_EQ(bar->statusTip(), "Click to restore Category Browser");
    Command("miBrowseByBookmarkSet")->trigger();
    QTest::mouseMove(bar, grip + QPoint(0, 1));
    EXPECT_EQ(bar->statusTip(), "Drag to resize Bookmark Browser");

    // nothing on the left: nothing to say
    Command("miSearch")->trigger();
    Command("miBrowseByCategory")->trigger();
    Command("miSearch")->trigger();
    QString hint = "x";
    vertical->OnGetSplitterHint(*vertical, hint);
    EXPECT_EQ(hint, "");

    Command("miViewBottomPanel")->trigger();
    TCustomDrawnSplitterHandle* bottom = Splitter("splitterHorizontal")->ControlHandle();
    QTest::mouseMove(bottom, bottom->ButtonRect().center());
    EXPECT_EQ(bottom->statusTip(), "Click to minimize Task Assistant");
    ClickButton(Splitter("splitterHorizontal"));
    EXPECT_EQ(Widget("paAuxiliary")->height(), 1);
    QTest::mouseMove(bottom, bottom->ButtonRect().center() + QPoint(1, 0));
    EXPECT_EQ(bottom->statusTip(), "Click to restore Task Assistant");
}

TEST_P(LayoutTest, EveryLinkIsEnabledExactlyWhenItsCommandIs)
{
    TfrmTessarynMain& w = Start();
    TGenericTaskAssistant& assistant = Layout().TaskAssistant();
    TfrmTaskAssistant* tasks = assistant.Window();
    auto check = [&](const char* when) {
        SCOPED_TRACE(when);
        int checked = 0;
        for (int p = 0; p < TfrmTaskAssistant::PanelCount; ++p) {
            for (const TDropDownLink& link : tasks->Panel(p)->Lines()) {
                const QString command = TGenericTaskAssistant::CommandOf(link.Name);
                bool expected = false;
                if (command.isEmpty()) {
                    expected = w.CategoryBrowser() != nullptr;
                } else if (link.Name.startsWith("laMonitored")) {
                    // enabled exactly when the monitored folder is not empty;
                    // it is empty throughout
                    expected = false;
                } else {
                    QAction* action = Command(command);
                    ASSERT_TRUE(action) << command.toStdString();
                    expected = action->isEnabled() && !(link.Name.startsWith("laSortBy") && action->isChecked());
                }
                EXPECT_EQ(tasks->Panel(p)->LabelEnabled(link.Name), expected) << link.Name.toStdString();
                ++checked;
            }
        }
        EXPECT_EQ(checked, 39);
    };
    auto enabled = [&](int panel, const char* link) { return tasks->Panel(panel)->LabelEnabled(link); };

    // categories browsed, nothing listed
    check("categories, empty");
    EXPECT_FALSE(enabled(5, "laBrowseCategories"));
    EXPECT_TRUE(enabled(6, "laCategoriesExpand"));
    // a search with three results, nothing selected
    Search("offer");
    ASSERT_EQ(w.EntryBrowser()->ResultCount(), 3);
    check("search, none selected");
    EXPECT_TRUE(enabled(1, "laCurrentEntryView"));
    EXPECT_FALSE(enabled(4, "laSelectedDelete"));
    EXPECT_FALSE(enabled(6, "laCategoriesExpand"));
    // one selected: everything but Merge
    w.EntryBrowser()->acEN_SelectThis->trigger();
    check("one selected");
    EXPECT_TRUE(enabled(4, "laSelectedDelete"));
    EXPECT_FALSE(enabled(4, "laSelectedMerge"));
    w.EntryBrowser()->acEN_SelectAll->trigger();
    check("all selected");
    // bookmark sets: no sorting
    Command("miBrowseByBookmarkSet")->trigger();
    check("bookmark sets");

    // a real click on a link runs its command: "Browse categories"
    TDropDownPanelWLabels* browse = tasks->Panel(5);
    tasks->ScrollBox()->ensureWidgetVisible(browse);
    QApplication::processEvents();
    QTest::mouseMove(browse, browse->LabelRect(0).center());
    EXPECT_EQ(browse->HighlightedLabel(), 0);
    EXPECT_EQ(browse->statusTip(), "Opens the category browser");
    QTest::mouseClick(browse, Qt::LeftButton, {}, browse->LabelRect(0).center());
    EXPECT_TRUE(w.CategoryBrowser());
    EXPECT_EQ(browse->ClickedLabel(), 0);
    check("categories again");
    // a disabled link is not highlighted and runs nothing
    QTest::mouseMove(browse, browse->LabelRect(0).center() + QPoint(0, 1));
    EXPECT_EQ(browse->HighlightedLabel(), -1);
    QTest::mouseClick(browse, Qt::LeftButton, {}, browse->LabelRect(0).center());
    EXPECT_TRUE(w.CategoryBrowser());

    // the menu item shows and hides the column
    Command("miViewTaskAssistant")->trigger();
    EXPECT_FALSE(Widget("paTaskAssistant")->isVisible());
    EXPECT_FALSE(Command("miViewTaskAssistant")->isChecked());
    Command("miViewTaskAssistant")->trigger();
    EXPECT_TRUE(Widget("paTaskAssistant")->isVisible());
    // defaults: all shown, three collapsed
    assistant.SetPanelVisible(1, false);
    assistant.RestoreDefaults();
    for (int p = 0; p < TfrmTaskAssistant::PanelCount; ++p) {
        EXPECT_TRUE(assistant.PanelVisible(p)) << p;
        EXPECT_EQ(tasks->Panel(p)->Expanded(), p != 2 && p != 6 && p != 8) << p;
    }
}

// A bookmark set is listed in its own order: while bookmark sets are browsed
// none of the four sort commands is offered, by a link, a toolbar button or
// the entry browser's menu, and none changes the stored order. Otherwise all
// but the current order are offered.
TEST_P(LayoutTest, NoSortCommandIsOfferedWhileBookmarkSetsAreBrowsed)
{
    TfrmTessarynMain& w = Start();
    w.resize(1600, 700);
    TToolbarAssistant& bar = Layout().Toolbar();
    const struct {
        const char* link;
        int linkIndex;
        const char* button;
        const char* item;
        int order;
    } sorts[] = {
        {"laSortByDate", 0, "btn_SortByLastModified", "acEN_SortByLastModifiedDesc", 0},
        {"laSortByCreationOrder", 1, "btn_SortByCreation", "acEN_SortByCreationOrderAsc", 1},
        {"laSortByReverseCreationOrder", 2, "btn_SortCreationReverse", "acEN_SortByCreationOrderDesc", 2},
        {"laSortByTitle", 3, "btn_SortByTitle", "acEN_SortByTitle", 3},
    };
    // the sort buttons are not on the default toolbar: the user adds them
    for (const auto& sort : sorts)
        bar.FindEntry(sort.button)->Visible = true;
    bar.BuildButtons();
    TDropDownPanelWLabels* sorting = Layout().TaskAssistant().Window()->Panel(8);
    sorting->SetExpanded(true);
    Layout().TaskAssistant().Window()->ScrollBox()->ensureWidgetVisible(sorting);
    QApplication::processEvents();
    Search("offer");

    const auto offered = [&](bool bookmarkSets, int order) {
        for (const auto& sort : sorts) {
            SCOPED_TRACE(sort.link);
            const bool expected = !bookmarkSets && sort.order != order;
            EXPECT_EQ(sorting->LabelEnabled(sort.link), expected);
            EXPECT_EQ(bar.Button(sort.button)->isEnabled(), expected);
            EXPECT_EQ(Command(sort.item)->isEnabled(), !bookmarkSets);
        }
    };
    offered(false, 2);
    QTest::mouseClick(sorting, Qt::LeftButton, {}, sorting->LabelRect(3).center());
    EXPECT_EQ(main->App.EntriesSortOrder, 3);
    offered(false, 3);

    Command("miBrowseByBookmarkSet")->trigger();
    ASSERT_TRUE(w.BookmarkSetBrowser());
    offered(true, 3);
    for (const auto& sort : sorts) {
        SCOPED_TRACE(sort.link);
        QTest::mouseClick(sorting, Qt::LeftButton, {}, sorting->LabelRect(sort.linkIndex).center());
        QTest::mouseClick(bar.Button(sort.button), Qt::LeftButton);
        Command(sort.item)->trigger();
        EXPECT_EQ(main->App.EntriesSortOrder, 3);
    }

    Command("miBrowseByCategory")->trigger();
    offered(false, 3);
}

// The toolbar's buttons are picture buttons: each shows its bitmap and,
// under the pointer, the hint of the command it stands for, as a tooltip and
// in the status bar.
TEST_P(LayoutTest, ToolbarButtonsShowTheirPicturesAndTheirCommandsHints)
{
    THintManager hints;
    Start().resize(1600, 700);
    QApplication::processEvents();
    TToolbarAssistant& bar = Layout().Toolbar();
    const struct {
        const char* button;
        const char* bitmap;
        const char* hint;
    } expected[] = {
        {"btn_NewEntryFromClipboard", "BMP_NEW_ENTRY_FROM_CLIPBOARD",
         "Creates a new entry from clipboard contents (files, text, etc)"},
        {"btn_ManageMonitoredFolder", "BMP_MONITORED_FOLDER_MANAGE",
         "View monitored folder to select files to store in Tessaryn entries"},
        {"btn_SelectedDelete", "BMP_SELECTED_DELETE", "Permanently deletes the selected entries from the database"},
        {"btn_BrowseSeacrh", "BMP_BROWSE_SEARCH", "Search for certain words or phrases"},
        {"btn_AppSettings", "BMP_APP_SETTINGS", "Edit application settings"},
        {"btn_HelpContents", "BMP_HELP_CONTENTS", "Shows Tessaryn help contents"},
    };
    for (const auto& d : expected) {
        SCOPED_TRACE(d.button);
        auto* button = qobject_cast<TBTransparentButton*>(bar.Button(d.button));
        ASSERT_TRUE(button);
        EXPECT_EQ(button->ResourceId(), d.bitmap);
        EXPECT_EQ(button->toolTip(), d.hint);
        QTest::mouseMove(button, button->rect().center());
        EXPECT_EQ(THintManager::ApplicationHint(), d.hint);
    }
    // every button of the catalogue, shown: its own picture from the
    // program's resources, no two alike
    QSet<size_t> pictures;
    int buttons = 0;
    for (int i = 0; i < bar.CatalogueCount(); ++i) {
        TToolbarAssistantButton* entry = bar.CatalogueEntry(i);
        if (entry->IsSeparator())
            continue;
        entry->Visible = true;
    }
    bar.BuildButtons();
    for (int i = 0; i < bar.CatalogueCount(); ++i) {
        TToolbarAssistantButton* entry = bar.CatalogueEntry(i);
        if (entry->IsSeparator())
            continue;
        SCOPED_TRACE(entry->Identifier.toStdString());
        auto* button = qobject_cast<TBTransparentButton*>(bar.Button(entry->Identifier));
        ASSERT_TRUE(button);
        const QPixmap picture = TAppResources::Picture(button->ResourceId());
        ASSERT_FALSE(picture.isNull());
        EXPECT_LE(picture.width(), TToolbarAssistant::ButtonSize);
        EXPECT_LE(picture.height(), TToolbarAssistant::ButtonSize);
        const QImage image = picture.toImage();
        pictures.insert(qHashBits(image.constBits(), size_t(image.sizeInBytes())));
        ++buttons;
        EXPECT_FALSE(button->toolTip().isEmpty());
        EXPECT_EQ(button->statusTip(), button->toolTip());
    }
    EXPECT_EQ(buttons, 33);
    EXPECT_EQ(pictures.size(), buttons);
}

TEST_P(LayoutTest, ToolbarOrderRoundTripsThroughTheSettings)
{
    TfrmTessarynMain& w = Start();
    TToolbarAssistant& bar = Layout().Toolbar();
    ASSERT_EQ(bar.Count(), 43);
    // (the toolbar of the window running now)
    auto left = [&](const char* id) {
        QToolButton* b = Layout().Toolbar().Button(id);
        return b ? b->x() : -1;
    };
    // the default row: gaps for the separators, none for the hidden ones
    EXPECT_EQ(left("btn_NewEntryFromClipboard"), 7);
    EXPECT_EQ(left("btn_NewEntryFromQuickNote"), 7 + 2 * 31);
    EXPECT_EQ(left("btn_MonitoredFolderPaste"), 7 + 3 * 31 + 30);
    EXPECT_EQ(left("btn_MonitoredFolderPasteAsText"), -1);
    EXPECT_EQ(left("btn_ViewTaskAssistant") - left("btn_BookmarkAdd"), 31 + 30);
    // buttons follow their commands
    EXPECT_FALSE(bar.Button("btn_SelectedDelete")->isEnabled());
    EXPECT_FALSE(bar.Button("btn_AppSendToTraybar")->isEnabled());
    EXPECT_TRUE(bar.Button("btn_BrowseBookmarks")->isEnabled());
    EXPECT_FALSE(bar.Button("btn_BrowseCategories")->isEnabled());
    Search("offer");
    w.EntryBrowser()->acEN_SelectAll->trigger();
    EXPECT_TRUE(bar.Button("btn_SelectedDelete")->isEnabled());
    EXPECT_EQ(bar.Button("btn_SelectedMerge")->isEnabled(), w.EntryBrowser()->acEN_MergeEntries->isEnabled());
    // a click runs the command
    QTest::mouseClick(bar.Button("btn_BrowseCategories"), Qt::LeftButton);
    EXPECT_TRUE(w.CategoryBrowser());
    // narrow windows lose the rightmost buttons first
    w.resize(782, 600);
    QApplication::processEvents();
    EXPECT_EQ(bar.VisibleLimit(), 17);
    EXPECT_TRUE(bar.Button("btn_BrowseBookmarks")->isHidden());
    EXPECT_FALSE(bar.Button("btn_SelectedDelete")->isHidden());
    w.resize(1600, 600);
    QApplication::processEvents();
    EXPECT_FALSE(bar.Button("btn_BrowseBookmarks")->isHidden());

    // the user's choice: help first, the delete button hidden, text paste shown
    const int help = bar.Count() - 1;
    bar.Move(help, 0);
    bar.FindEntry("BTN_SELECTEDDELETE")->Visible = false;
    bar.FindEntry("btn_MonitoredFolderPasteAsText")->Visible = true;
    QStringList order;
    for (int i = 0; i < bar.Count(); ++i)
        order << bar.Entry(i)->Identifier;
    TfrmTessarynMain& again = Restart();
    (void)again;
    TToolbarAssistant& stored = Layout().Toolbar();
    QStringList reread;
    for (int i = 0; i < stored.Count(); ++i)
        reread << stored.Entry(i)->Identifier;
    EXPECT_EQ(reread, order);
    EXPECT_EQ(left("btn_HelpContents"), 7);
    EXPECT_EQ(stored.Button("btn_SelectedDelete"), nullptr);
    EXPECT_NE(stored.Button("btn_MonitoredFolderPasteAsText"), nullptr);
    {
        ISettingsManager& s = Settings(false);
        TSettingsAccess access(s);
        EXPECT_EQ(s.ReadInteger("btn_HelpContents order", -1, TToolbarAssistant::Section), 0);
        EXPECT_FALSE(s.ReadBool("btn_SelectedDelete", true, TToolbarAssistant::Section));
        EXPECT_EQ(s.ReadInteger("(Separator)1 order", -1, TToolbarAssistant::Section), 4);
    }

    // a stored position out of range, or one that repeats, gives the
    // default toolbar at the next start, never a button twice
    for (const int position : {43, 0}) {
        SCOPED_TRACE(position);
        Stop();
        main = std::make_unique<TdmMain>(*conn, desktop);
        {
            ISettingsManager& s = Settings(false);
            TSettingsAccess access(s);
            s.WriteInteger("btn_SortByTitle order", position, TToolbarAssistant::Section);
        }
        main.reset();
        Start();
        TToolbarAssistant& reset = Layout().Toolbar();
        EXPECT_EQ(left("btn_NewEntryFromClipboard"), 7);
        EXPECT_EQ(reset.Entry(0)->Identifier, "btn_NewEntryFromClipboard");
        EXPECT_EQ(reset.Entry(34)->Identifier, "btn_SortByTitle");
        EXPECT_EQ(reset.Entry(42)->Identifier, "btn_HelpContents");
        EXPECT_EQ(reset.Button("btn_MonitoredFolderPasteAsText"), nullptr);
    }
}

// What is saved in the preferences shows in the window at once and is
// still there after the program ended and started again, whichever way the
// preferences were opened.
TEST_P(LayoutTest, LayoutSavedInThePreferencesOfTheSettingsCommandOutlivesTheProgram)
{
    SaveLayoutThrough("laEntryBrowsing", [this](TfrmTessarynMain&) {
        Command("miPreferences")->trigger();   // posted: it opens after the command returns
    });
}

TEST_P(LayoutTest, LayoutSavedInThePreferencesOfTheMailCommandOutlivesTheProgram)
{
    SaveLayoutThrough("laMail", [this](TfrmTessarynMain& w) {
        main->App.MailSmtpHost.clear();
        Search("offer");
        w.EntryBrowser()->acEN_SelectAll->trigger();
        desktop.QueueAnswer(IDesktop::TAnswer::Yes);   // define the mail server now
        w.EntryBrowser()->miMail->trigger();
    });
}

TEST_P(LayoutTest, LayoutSavedInThePreferencesOfTheSearchOptionsButtonOutlivesTheProgram)
{
    SaveLayoutThrough("tsSearchOptions", [this](TfrmTessarynMain& w) {
        Command("miSearch")->trigger();
        QTest::mouseClick(w.EntryBrowser()->findChild<QPushButton*>("btnSearchOptions"), Qt::LeftButton);
    });
}

TEST_P(LayoutTest, LayoutSavedInThePreferencesOfTheMailWindowOutlivesTheProgram)
{
    SaveLayoutThrough("laMail", [this](TfrmTessarynMain& w) {
        TfrmMailEntries mail(*main, &w);
        QTest::mouseClick(mail.btnSettings, Qt::LeftButton);
    });
}

// "Restore defaults" and "Save": the default task panels, the collapsed
// ones too, and the default toolbar, now and after a restart.
TEST_P(LayoutTest, RestoredDefaultsOfTheLayoutOutliveTheProgram)
{
    TfrmTessarynMain& w = Start();
    TGenericTaskAssistant& tasks = Layout().TaskAssistant();
    tasks.SetSide(TGenericTaskAssistant::SideLeft);
    tasks.SetPanelVisible(5, false);
    for (int p = 0; p < TfrmTaskAssistant::PanelCount; ++p)
        tasks.Window()->Panel(p)->SetExpanded(p == 2 || p == 6 || p == 8);
    Layout().Toolbar().Move(42, 0);
    Restart();
    ASSERT_EQ(Layout().Toolbar().Entry(0)->Identifier, "btn_HelpContents");

    int shown = 0;
    TFrmPreferences::ExecuteHook = [&](TFrmPreferences& preferences) {
        ++shown;
        preferences.show();
        desktop.QueueAnswer(IDesktop::TAnswer::Yes);
        QTest::mouseClick(preferences.btnRestoreDefaults, Qt::LeftButton);
        QTest::mouseClick(preferences.btnOK, Qt::LeftButton);
        return preferences.result();
    };
    Command("miPreferences")->trigger();
    EXPECT_TRUE(TestEnv::WaitFor([&] { return shown == 1; }));
    TFrmPreferences::ExecuteHook = nullptr;
    (void)w;
    for (const char* when : {"at once", "after a restart"}) {
        SCOPED_TRACE(when);
        TGenericTaskAssistant& now = Layout().TaskAssistant();
        EXPECT_EQ(now.Side(), TGenericTaskAssistant::SideRight);
        QStringList collapsed;
        for (int p = 0; p < TfrmTaskAssistant::PanelCount; ++p) {
            EXPECT_TRUE(now.PanelVisible(p)) << p;
            if (!now.Window()->Panel(p)->Expanded())
                collapsed << QString::fromLatin1(TfrmTaskAssistant::PanelKeys[size_t(p)]);
        }
        // the design's default: exactly these three collapsed
        EXPECT_EQ(collapsed, QStringList({"Monitored folder", "Categories", "Sorting"}));
        EXPECT_EQ(Layout().Toolbar().Entry(0)->Identifier, "btn_NewEntryFromClipboard");
        EXPECT_EQ(Layout().Toolbar().Entry(42)->Identifier, "btn_HelpContents");
        if (QByteArray(when) == "at once")
            Restart();
    }
}

TEST_P(LayoutTest, ScreenshotsWhenAsked)
{
    const QString folder = qEnvironmentVariable("TESSARYN_SCREENS");
    if (folder.isEmpty())
        GTEST_SKIP() << "set TESSARYN_SCREENS to a folder to get the pictures";
    if (GetParam() != TEngine::SQLite)
        GTEST_SKIP() << "one engine is enough for pictures";
    QDir().mkpath(folder);
    TfrmTessarynMain& w = Start();
    w.resize(1100, 720);
    Search("offer");
    w.EntryBrowser()->LocateEntry(6);
    w.EntryBrowser()->acEN_SelectThis->trigger();
    Command("miBrowseByCategory")->trigger();
    for (int scheme : {0, 2}) {
        main->SetColourScheme(scheme);
        QApplication::processEvents();
        ASSERT_TRUE(w.grab().save(folder + QString("/layout-task-assistant-scheme-%1.png").arg(scheme)));
        ClickButton(Splitter("splitterVertical"));
        QApplication::processEvents();
        ASSERT_TRUE(w.grab().save(folder + QString("/layout-left-minimized-scheme-%1.png").arg(scheme)));
        ClickButton(Splitter("splitterVertical"));
        Command("miViewBottomPanel")->trigger();
        QApplication::processEvents();
        ASSERT_TRUE(w.grab().save(folder + QString("/layout-bottom-panel-scheme-%1.png").arg(scheme)));
        Command("miViewBottomPanel")->trigger();
    }
}

TESSARYN_INSTANTIATE_ENGINES(LayoutTest);

// The toolbar and the preferences' toolbar page draw the same picture for a
// button: every button has one, a separator none.
TEST(ToolbarCatalogueTest, EveryButtonHasAPictureAndNoSeparatorHasOne)
{
    const std::vector<QString> identifiers = ToolbarCatalogue::Identifiers();
    ASSERT_EQ(identifiers.size(), 43u);
    for (const QString& identifier : identifiers) {
        const bool separator = identifier.startsWith(QLatin1String(ToolbarCatalogue::SeparatorIdentifier));
        EXPECT_EQ(ToolbarCatalogue::ButtonIcon(identifier).isNull(), separator) << identifier.toStdString();
    }
    EXPECT_TRUE(ToolbarCatalogue::ButtonIcon(QStringLiteral("btn_NoSuchButton")).isNull());
}

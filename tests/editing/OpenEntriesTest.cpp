#include "EditorFixture.h"

#include "editing/FolderFilesGridObserver.h"
#include "editing/fEntry.h"
#include "editing/fOpenEntries.h"
#include "engine/EntryData.h"
#include "engine/EntryManager.h"
#include "engine/FileLists.h"
#include "mainwindow/FolderFilesMenu.h"
#include "settings/dmMain.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStackedLayout>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using TAnswer = IDesktop::TAnswer;

class OpenEntriesTest : public EditorTest {
protected:
    QStringList MenuCaptions(QMenu* menu)
    {
        QStringList captions;
        for (QAction* action : menu->actions())
            captions << action->text() + (action->isChecked() ? "*" : "");
        return captions;
    }

    QWidget* ShownPage()
    {
        auto* stack = qobject_cast<QStackedLayout*>(TfrmOpenEntries::Instance()->paContainer->layout());
        return stack ? stack->currentWidget() : nullptr;
    }

    int EditorCount()
    {
        return TfrmOpenEntries::Instance()->paContainer->findChildren<TfrmEntry*>(Qt::FindDirectChildrenOnly).size();
    }

    void CloseShown()
    {
        ASSERT_TRUE(TfrmOpenEntries::Instance()->CurrentEditor()->DoFormClose());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

TEST_P(OpenEntriesTest, DockedEditorsAsPagesOfOneWindow)
{
    const int a = StoredEntry("Alpha", {{"a.txt", "alpha"}});
    const int b = StoredEntry("Beta", {{"b.txt", "beta"}});
    const int c = StoredEntry("Gamma", {{"c.txt", "gamma"}});

    TfrmEntry* editorA = EditDocked(a);
    ASSERT_NE(editorA, nullptr);
    TfrmOpenEntries* window = TfrmOpenEntries::Instance();
    EXPECT_EQ(window->windowTitle(), "Open entries");
    EXPECT_TRUE(TfrmOpenEntries::IsShowing());
    EXPECT_TRUE(editorA->Docked());
    EXPECT_FALSE(editorA->isWindow());
    // The shown editor's menu joins the window's.
    QStringList bar;
    for (QAction* action : window->cmEntries->actions())
        bar << action->text();
    EXPECT_EQ(bar, QStringList({"Open entries", "Actions", "Hide!"}));

    TfrmEntry* editorB = EditDocked(b);
    // The "Embedded files" page stays in front from one editor to the next.
    editorB->SetPageIndex(1);
    EditDocked(c);
    EXPECT_EQ(EditorCount(), 3);
    EXPECT_EQ(window->CurrentCode(), c);
    EXPECT_EQ(window->CurrentEditor()->PageIndex(), 1);

    // Opening an open entry again shows its page and makes no second editor.
    EXPECT_EQ(EditDocked(a), editorA);
    EXPECT_EQ(EditorCount(), 3);
    EXPECT_EQ(main->EntryManager().OpenEntries().Count(), 3);
    EXPECT_EQ(ShownPage(), editorA);
    EXPECT_EQ(MenuCaptions(window->miOpenEntries),
              QStringList({QString("%1. Alpha*").arg(a), QString("%1. Beta").arg(b), QString("%1. Gamma").arg(c)}));

    // The menu items switch pages.
    window->miOpenEntries->actions().at(1)->trigger();
    EXPECT_EQ(window->CurrentCode(), b);
    EXPECT_EQ(ShownPage(), editorB);

    QLineEdit* title = editorB->findChild<QLineEdit*>("edTitle");
    title->setFocus();
    QTest::keyClicks(title, " two");

    // Hiding leaves every entry open, with its changes.
    window->miHide->trigger();
    EXPECT_FALSE(TfrmOpenEntries::IsShowing());
    EXPECT_EQ(main->EntryManager().OpenEntries().Count(), 3);
    EXPECT_TRUE(main->EntryManager().OpenEntries().AnyModified());

    // Closing the shown page shows the most recently opened of the others.
    desktop.QueueAnswer(TAnswer::No);
    CloseShown();
    EXPECT_EQ(window->CurrentCode(), c);
    EXPECT_EQ(MenuCaptions(window->miOpenEntries),
              QStringList({QString("%1. Alpha").arg(a), QString("%1. Gamma*").arg(c)}));
    CloseShown();
    EXPECT_EQ(window->CurrentCode(), a);
    EXPECT_EQ(ShownPage(), editorA);
    // Closing the last one releases the window.
    CloseShown();
    EXPECT_EQ(TfrmOpenEntries::Instance(), nullptr);
    EXPECT_EQ(main->EntryManager().OpenEntries().Count(), 0);
}

TEST_P(OpenEntriesTest, EscapeHidesTheWindowNotTheDockedEditor)
{
    const int a = StoredEntry("Alpha", {{"a.txt", "alpha"}});
    TfrmEntry* editor = EditDocked(a);
    ASSERT_NE(editor, nullptr);
    TfrmOpenEntries* window = TfrmOpenEntries::Instance();
    QLineEdit* title = editor->findChild<QLineEdit*>("edTitle");
    title->setFocus();
    QTest::keyClick(title, Qt::Key_Escape);
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->FindEditor(a), editor);
    EXPECT_EQ(main->EntryManager().OpenEntries().Count(), 1);
    // Opening it again brings the window back with the same editor.
    EXPECT_EQ(EditDocked(a), editor);
    EXPECT_TRUE(window->isVisible());
}

TEST_P(OpenEntriesTest, TheEngineReleasingAnEntryClosesItsEditor)
{
    const int a = StoredEntry("Alpha", {{"a.txt", "alpha"}});
    TfrmEntry* editor = EditDocked(a);
    ASSERT_NE(editor, nullptr);
    TEntryData* entry = editor->Entry();
    main->EntryManager().OpenEntries().CloseEntry(entry);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(TfrmOpenEntries::Instance(), nullptr);
    EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST_P(OpenEntriesTest, FolderFilesMenu)
{
    // Sizes make the orders of the sorts differ from each other.
    std::unique_ptr<TEntryData> entry =
        NewEntry({{"b.txt", "12345"}, {"a.doc", "1"}, {"c.txt", QByteArray(2000, 'x')}});
    ASSERT_TRUE(QDir().mkpath(entry->GetFolder() + "adir"));
    entry->FolderFiles().ListFolder(entry->GetFolder());
    entry->FolderFiles().SelectAll();
    TfrmEntry* editor = OpenDocked(std::move(entry), true);
    ASSERT_NE(editor, nullptr);
    editor->SetPageIndex(1);
    TFolderFiles& files = editor->Entry()->FolderFiles();
    QTableWidget* grid = Grid(*editor);
    TFolderFilesMenu* menu = editor->FolderFilesMenu();
    EXPECT_EQ(menu->objectName(), "popFolderFiles");

    // A right click on a row makes it current and opens the menu over this list.
    const int row = files.IndexOf("c.txt");
    QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, grid->visualRect(grid->model()->index(row, 0)).center());
    ASSERT_TRUE(TestEnv::WaitFor([menu] { return menu->isVisible(); }));
    EXPECT_EQ(main->CurrentFolderFiles(), &files);
    EXPECT_EQ(files.CurrentIndex(), row);
    EXPECT_EQ(menu->miFFSelectHighlightedFile->text(), "Unselect highlighted entry");
    EXPECT_TRUE(menu->miFFSelectHighlightedFile->isEnabled());
    EXPECT_TRUE(menu->miSelectedFiles->isEnabled());
    for (QAction* transfer : {menu->miFFCutIntoNewEntry, menu->miFFCopyIntoNewEntry, menu->miFFMoveFilesToEntry,
                              menu->miFFCopyFilesToEntry})
        EXPECT_TRUE(transfer->isEnabled()) << transfer->text().toStdString();
    menu->hide();

    // Selection commands.
    menu->miFFSelectHighlightedFile->trigger();
    EXPECT_FALSE(files.IsSelected(row));
    menu->UpdateItems();
    EXPECT_EQ(menu->miFFSelectHighlightedFile->text(), "Select highlighted entry");
    menu->miFFSelectNone->trigger();
    EXPECT_EQ(files.SelectedCount(), 0);
    menu->UpdateItems();
    EXPECT_FALSE(menu->miSelectedFiles->isEnabled());
    menu->miFFInvertSelection->trigger();
    EXPECT_EQ(files.SelectedCount(), 4);
    menu->miFFSelectHighlightedFile->trigger();
    menu->miFFSelectAll->trigger();
    EXPECT_EQ(files.SelectedCount(), 4);
    EXPECT_EQ(menu->miFFSelectAll->shortcut(), QKeySequence("Ctrl+A"));

    // Sorts, each descending by its key, marks following their files.
    files.SetSelectedByName("a.doc", false);
    const struct {
        QAction* item;
        QStringList order;
    } sorts[] = {{menu->miSortFFByName, {"c.txt", "b.txt", "adir", "a.doc"}},
                 {menu->miSortFFBySize, {"c.txt", "b.txt", "a.doc", "adir"}},
                 {menu->miSortFFByTypeName, {"adir", "c.txt", "b.txt", "a.doc"}}};
    for (const auto& sort : sorts) {
        sort.item->trigger();
        EXPECT_EQ(GridNames(*editor), sort.order) << sort.item->text().toStdString();
        EXPECT_FALSE(files.IsSelected(files.IndexOf("a.doc")));
        EXPECT_EQ(files.SelectedCount(), 3);
    }

    // Open, rename, properties act on the highlighted file.
    files.SetCurrent(files.IndexOf("b.txt"));
    menu->miFFOpenHighlighted->trigger();
    EXPECT_EQ(desktop.opened, QStringList{files.FolderPath() + "b.txt"});
    menu->miFFFileProperties->trigger();
    EXPECT_EQ(desktop.properties, QStringList{files.FolderPath() + "b.txt"});
    desktop.QueueInput(QString("renamed.txt"));
    menu->miFFRenameFile->trigger();
    EXPECT_TRUE(QFile::exists(files.FolderPath() + "renamed.txt"));
    EXPECT_FALSE(QFile::exists(files.FolderPath() + "b.txt"));
    EXPECT_TRUE(files.IsSelected(files.IndexOf("renamed.txt")));

    // Delete asks first; No leaves everything, Yes deletes the marked files.
    desktop.Clear();
    desktop.QueueAnswer(TAnswer::No);
    menu->miFFDelete->trigger();
    EXPECT_EQ(desktop.MessageTexts(), QStringList{"Are you sure you want to delete the selected file(s)?"});
    EXPECT_EQ(files.Count(), 4);
    desktop.QueueAnswer(TAnswer::Yes);
    menu->miFFDelete->trigger();
    EXPECT_EQ(QDir(files.FolderPath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"a.doc"});
    EXPECT_EQ(GridNames(*editor), QStringList{"a.doc"});

    // Without a current list every command does nothing.
    main->SetCurrentFolderFiles(nullptr);
    desktop.Clear();
    for (QAction* item : {menu->miFFOpenHighlighted, menu->miFFSelectAll, menu->miFFDelete, menu->miFFRenameFile,
                          menu->miFFFileProperties, menu->miSortFFByName})
        item->trigger();
    EXPECT_TRUE(desktop.messages.isEmpty());
    EXPECT_TRUE(desktop.opened.isEmpty());
    EXPECT_TRUE(desktop.properties.isEmpty());
    EXPECT_EQ(files.SelectedCount(), 0);
}

TEST_P(OpenEntriesTest, GridDrawsMarksNamesAndSizes)
{
    EXPECT_EQ(TFolderFilesGridObserver::SizeText(1023), "1023 bytes");
    EXPECT_EQ(TFolderFilesGridObserver::SizeText(1024), QLocale().toString(1.0, 'f', 1) + " Kb");
    EXPECT_EQ(TFolderFilesGridObserver::SizeText(0), "0 bytes");

    TfrmEntry* editor = OpenDocked(NewEntry({}), true);
    ASSERT_NE(editor, nullptr);
    editor->SetPageIndex(1);
    QTableWidget* grid = Grid(*editor);
    EXPECT_EQ(grid->rowCount(), 1);
    // An empty folder shows its notice in the first row: not the grid colour there.
    QImage empty = grid->viewport()->grab().toImage();
    const QColor background = main->Colour(csGrid);
    int notice = 0;
    for (int x = 0; x < qMin(empty.width(), 200); ++x)
        for (int y = 0; y < 16; ++y)
            notice += empty.pixelColor(x, y) != background;
    EXPECT_GT(notice, 20);

    // A file written into the folder appears, marked (auto select is on).
    QFile f(editor->Entry()->GetFolder() + "late.txt");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("late");
    f.close();
    ASSERT_TRUE(TestEnv::WaitFor([&] { return editor->Entry()->FolderFiles().Count() == 1; }));
    EXPECT_TRUE(editor->Entry()->FolderFiles().IsSelected(0));
    EXPECT_EQ(grid->rowCount(), 1);
    // The mark is drawn in its place at the left of the row; Ctrl+click
    // toggles it.
    const auto markPixels = [&] {
        const QImage image = grid->viewport()->grab().toImage();
        int green = 0;
        for (int x = 10; x < 26; ++x)
            for (int y = 1; y < 17; ++y) {
                const QColor c = image.pixelColor(x, y);
                green += c.green() > c.red() + 40 && c.green() > c.blue() + 40;
            }
        return green;
    };
    EXPECT_GT(markPixels(), 20);
    const QPoint rowCentre = grid->visualRect(grid->model()->index(0, 0)).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, Qt::ControlModifier, rowCentre);
    EXPECT_FALSE(editor->Entry()->FolderFiles().IsSelected(0));
    EXPECT_EQ(markPixels(), 0);
    // A double click opens the file.
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, rowCentre);
    EXPECT_EQ(desktop.opened, QStringList{editor->Entry()->GetFolder() + "late.txt"});
}

TESSARYN_INSTANTIATE_SQLITE(OpenEntriesTest);

} // namespace

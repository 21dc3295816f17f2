#include "EditorFixture.h"

#include "db/ClientRecordSet.h"
#include "db/dmConnection.h"
#include "app/WidgetDesktop.h"
#include "controls/BPageControl.h"
#include "controls/FrameLabel.h"
#include "editing/FolderFilesGridObserver.h"
#include "editing/fEntry.h"
#include "editing/fOpenEntries.h"
#include "engine/Category.h"
#include "engine/EntryData.h"
#include "engine/EntryManager.h"
#include "engine/EventAssistant.h"
#include "engine/FileLists.h"
#include "engine/MostUsedCategories.h"
#include "mainwindow/CategoryMenu.h"
#include "settings/MruDropDown.h"
#include "settings/MruLists.h"
#include "settings/dmMain.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QSqlQuery>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

using TAnswer = IDesktop::TAnswer;
using TMsgKind = IDesktop::TMsgKind;

template <typename T>
T* Child(QWidget& parent, const char* name)
{
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

void TypeInto(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

// Picks the category through the category control: a click on its arrow
// button opens the menu, a click on the item (in its submenu) picks it.
void PickCategory(TfrmEntry& editor, const QStringList& path)
{
    QTest::mouseClick(Child<QToolButton>(editor, "btnSelectCategory"), Qt::LeftButton);
    QMenu* menu = editor.CategoryMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(TestEnv::WaitFor([menu] { return menu->isVisible(); }));
    for (qsizetype level = 0; level < path.size(); ++level) {
        QAction* found = nullptr;
        for (QAction* action : menu->actions())
            if (action->text() == path[level])
                found = action;
        ASSERT_NE(found, nullptr) << path[level].toStdString();
        QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(found).center());
        if (found->menu()) {
            menu = found->menu();
            ASSERT_TRUE(TestEnv::WaitFor([menu] { return menu->isVisible(); }));
        }
    }
}

class EntryEditorTest : public EditorTest {
protected:
    // A new entry with its files in a docked editor, titled and filed under
    // Notes through the controls.
    TfrmEntry* ReadyEditor(const QMap<QString, QByteArray>& files, const QString& title = "Ready")
    {
        TfrmEntry* editor = OpenDocked(NewEntry(files), true);
        if (!editor)
            return nullptr;
        TypeInto(Child<QLineEdit>(*editor, "edTitle"), title);
        editor->Entry()->SetCategory(main->Categories().FindByCode(kNotes));
        return editor;
    }

    // Clicks "Save and close" and tells whether the editor closed.
    bool SaveAndClose(TfrmEntry* editor, int code)
    {
        QTest::mouseClick(Child<QPushButton>(*editor, "btnSave"), Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return !TfrmOpenEntries::Instance() || !TfrmOpenEntries::Instance()->FindEditor(code);
    }
};

TEST_P(EntryEditorTest, ControlsCaptionsAndHintsOfANewEntry)
{
    TfrmEntry* editor = OpenDocked(NewEntry({{"note.txt", "some text"}}), true);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->windowTitle(), "New entry");
    EXPECT_TRUE(editor->IsNew());
    EXPECT_EQ(Child<QLabel>(*editor, "laEntryID")->text(), QString("Entry #%1").arg(editor->Entry()->Code()));
    EXPECT_EQ(Child<QLineEdit>(*editor, "edTitle")->text(), "<Enter title here>");
    EXPECT_EQ(Child<QLabel>(*editor, "laCategory")->text(), "< Not assigned to any category >");
    EXPECT_EQ(Child<QLabel>(*editor, "laPassword")->text(), "( this entry is NOT password protected )");
    auto* pc = Child<QTabWidget>(*editor, "pc");
    EXPECT_EQ(pc->tabText(0), "Entry data");
    EXPECT_EQ(pc->tabText(1), "Embedded files");
    EXPECT_EQ(Child<QPushButton>(*editor, "btnSave")->text(), "Save and close");
    EXPECT_EQ(Child<QPushButton>(*editor, "btnCancel")->text(), "Close");
    EXPECT_EQ(Child<QPushButton>(*editor, "btnExplore")->text(), "Explore folder");
    EXPECT_EQ(Child<QLineEdit>(*editor, "edSource")->statusTip(),
              "Optionally, enter the name of the source of this entry e.g. \"Internet newsgroups\"");
    EXPECT_EQ(Child<QPlainTextEdit>(*editor, "meComments")->statusTip(), "Enter (optionally) your comments for this entry");

    QStringList captions;
    for (QAction* action : editor->ActionsMenu()->actions())
        captions << (action->isSeparator() ? "-" : action->text());
    EXPECT_EQ(captions, QStringList({"Add clipboard contents", "Add monitored folder files", "Add a Quick Note", "-",
                                     "Add clipboard contents (as plain text)", "Add clipboard contents (as HTML)", "-",
                                     "Add password", "-", "Save", "Save and close", "-", "Close"}));
    // A new entry is unsaved from the start.
    EXPECT_TRUE(Child<QPushButton>(*editor, "btnSave")->isEnabled());
    // The tool buttons carry the menu's hints.
    EXPECT_EQ(Child<QToolButton>(*editor, "btnAddQuickNote")->defaultAction()->statusTip(),
              "Lets you write some text in an editor window and adds it as a text file to the current entry");
}

TEST_P(EntryEditorTest, TitleAndCategoryChecksRefuseToSave)
{
    const struct {
        QString title;
        bool category;
        QString message;   // empty: stored
    } cases[] = {
        {"   ", true, TfrmEntry::NoTitleText()},
        {"<Enter title here>", true, TfrmEntry::NoTitleText()},
        {"  <Enter title here>  ", true, TfrmEntry::NoTitleText()},
        {"Filed nowhere", false, TfrmEntry::NoCategoryText()},
        {"<Enter title here> for the invoices", true, QString()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title.toStdString());
        desktop.Clear();
        TfrmEntry* editor = OpenDocked(NewEntry({{"a.txt", "alpha"}}), true);
        ASSERT_NE(editor, nullptr);
        const int code = editor->Entry()->Code();
        TypeInto(Child<QLineEdit>(*editor, "edTitle"), c.title);
        if (c.category)
            PickCategory(*editor, {"Notes"});
        const bool closed = SaveAndClose(editor, code);
        if (c.message.isEmpty()) {
            EXPECT_TRUE(closed);
            EXPECT_TRUE(RowExists(code));
            EXPECT_EQ(Column(code, "Title").toString(), c.title.trimmed());
            continue;
        }
        ASSERT_FALSE(closed);
        ASSERT_EQ(desktop.messages.size(), 1);
        EXPECT_EQ(desktop.messages[0].text, c.message);
        EXPECT_EQ(desktop.messages[0].kind, TMsgKind::Information);
        EXPECT_FALSE(RowExists(code));
        // Still open with the changes kept; closed without saving here.
        desktop.QueueAnswer(TAnswer::No);
        EXPECT_TRUE(editor->DoFormClose());
    }
}

TEST_P(EntryEditorTest, WithoutAnyCategorySavingOffersToMakeOne)
{
    QSqlQuery(conn->Database()).exec("delete from categories");
    main->Categories().Load(0);
    ASSERT_EQ(main->Categories().Count(), 0);
    // The main window opens the category manager here; the user makes "Inbox" in it.
    int managerOpened = 0;
    main->OnManageCategories = [&] {
        ++managerOpened;
        TCategories& root = main->Categories();
        root.AddCategory(std::make_unique<TCategory>(0, QString("Inbox")));
        conn->ApplyCategoryUpdates({root.RecordSet()->GetDelta()});
        root.RecordSet()->MergeChangeLog();
    };
    TfrmEntry* editor = OpenDocked(NewEntry({{"a.txt", "alpha"}}), true);
    ASSERT_NE(editor, nullptr);
    const int code = editor->Entry()->Code();
    TypeInto(Child<QLineEdit>(*editor, "edTitle"), "First note");

    // "No": nothing is made, nothing stored, the editor stays
    desktop.QueueAnswer(TAnswer::No);
    EXPECT_FALSE(SaveAndClose(editor, code));
    EXPECT_EQ(desktop.MessageTexts(), QStringList{TCategoryMenu::NoCategoriesText});
    EXPECT_EQ(managerOpened, 0);

    // "Yes": the manager opens and the new category is offered at once
    desktop.Clear();
    desktop.QueueAnswer(TAnswer::Yes);
    EXPECT_FALSE(SaveAndClose(editor, code));
    EXPECT_EQ(managerOpened, 1);
    EXPECT_FALSE(RowExists(code));
    QMenu* menu = editor->CategoryMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_TRUE(TestEnv::WaitFor([menu] { return menu->isVisible(); }));
    menu->hide();
    PickCategory(*editor, {"Inbox"});
    EXPECT_TRUE(SaveAndClose(editor, code));
    EXPECT_EQ(Column(code, "category").toInt(), main->Categories().Items(0)->Code());
}

TEST_P(EntryEditorTest, FileCountAndSizeLimits)
{
    const struct {
        const char* name;
        int files;
        qint64 bytes;   // of the one file when files is 1
        bool allowAny;
        QString refusal;
        bool asked;
        TAnswer answer;
        bool stored;
        // the file sits in a folder, which counts with everything it holds
        bool inFolder = false;
    } cases[] = {
        {"500 files", 500, 1, false, {}, false, TAnswer::Yes, true},
        {"501 files", 501, 1, false, TfrmEntry::TooManyFilesText(), false, TAnswer::Yes, false},
        {"3,000,000 bytes", 1, 3000000, false, {}, false, TAnswer::Yes, true},
        {"3,000,001 bytes, No", 1, 3000001, false, {}, true, TAnswer::No, false},
        {"10,000,000 bytes, Yes", 1, 10000000, false, {}, true, TAnswer::Yes, true},
        {"10,000,001 bytes", 1, 10000001, false, TfrmEntry::TooLargeText(), false, TAnswer::Yes, false},
        {"10,000,001 bytes, any size", 1, 10000001, true, {}, true, TAnswer::Yes, true},
        {"10,000,001 bytes in a folder", 1, 10000001, false, TfrmEntry::TooLargeText(), false, TAnswer::Yes, false,
         true},
        {"3,000,001 bytes in a folder, No", 1, 3000001, false, {}, true, TAnswer::No, false, true},
        {"501 files in a folder", 501, 1, false, TfrmEntry::TooManyFilesText(), false, TAnswer::Yes, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        desktop.Clear();
        main->App.AllowAnyFileSize = c.allowAny;
        std::unique_ptr<TEntryData> entry = main->EntryManager().CreateNewEntry(true);
        ASSERT_TRUE(entry);
        QStringList names;
        for (int i = 0; i < c.files; ++i) {
            const QString name = QString(c.inFolder ? "sub/f%1.bin" : "f%1.bin").arg(i, 3, 10, QChar('0'));
            QDir().mkpath(QFileInfo(entry->GetFolder() + name).path());
            QFile f(entry->GetFolder() + name);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            ASSERT_TRUE(f.resize(c.files == 1 ? c.bytes : 1));
            names << name;
        }
        entry->FolderFiles().ListFolder(entry->GetFolder());
        entry->FolderFiles().SelectAll();
        const int code = entry->Code();
        TfrmEntry* editor = OpenDocked(std::move(entry), true);
        ASSERT_NE(editor, nullptr);
        TypeInto(Child<QLineEdit>(*editor, "edTitle"), c.name);
        PickCategory(*editor, {"Notes"});
        if (c.asked)
            desktop.QueueAnswer(c.answer);

        const bool closed = SaveAndClose(editor, code);
        EXPECT_EQ(closed, c.stored);
        EXPECT_EQ(RowExists(code), c.stored);
        QStringList shown;
        for (const auto& m : desktop.messages)
            shown << m.text;
        QStringList expected;
        if (c.asked)
            expected << TfrmEntry::ConfirmLargeText();
        if (!c.refusal.isEmpty())
            expected << c.refusal;
        EXPECT_EQ(shown, expected);
        if (c.asked) {
            EXPECT_EQ(desktop.messages[0].kind, TMsgKind::Information);
            EXPECT_EQ(desktop.messages[0].buttons, IDesktop::TButtons::YesNo);
        }
        if (!c.refusal.isEmpty()) {
            EXPECT_EQ(desktop.messages.last().kind, TMsgKind::Warning);
        }
        if (c.stored) {
            EXPECT_EQ(ArchiveMembers(code), names);
        } else {
            desktop.QueueAnswer(TAnswer::No);
            EXPECT_TRUE(editor->DoFormClose());
        }
    }
    EXPECT_TRUE(TfrmEntry::TooManyFilesText().startsWith("The number of selected file(s) exceeds 500.\r\n"));
    EXPECT_TRUE(TfrmEntry::TooLargeText().startsWith("The size of selected file(s) exceeds 10000000.\r\n"));
    EXPECT_TRUE(TfrmEntry::ConfirmLargeText().contains("exceeds 3000000.\r\nThis will probably take  several seconds"));
}

TEST_P(EntryEditorTest, NoMarkedFileIsRefusedWithTheEmbeddedFilesMessage)
{
    TfrmEntry* editor = ReadyEditor({{"a.txt", "alpha"}, {"b.txt", "beta"}});
    ASSERT_NE(editor, nullptr);
    const int code = editor->Entry()->Code();
    // Ctrl+D in the grid unmarks every file.
    QTableWidget* grid = Grid(*editor);
    Child<QTabWidget>(*editor, "pc")->setCurrentIndex(1);
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(editor->Entry()->FolderFiles().SelectedCount(), 0);
    EXPECT_FALSE(SaveAndClose(editor, code));
    EXPECT_EQ(desktop.MessageTexts(), QStringList{TfrmEntry::NoFilesText()});
    EXPECT_FALSE(RowExists(code));
    // Space marks the current row again; saving now stores that file only.
    QTest::keyClick(grid, Qt::Key_Space);
    const QString current = editor->Entry()->FolderFiles().CurrentItem()->Name();
    EXPECT_TRUE(SaveAndClose(editor, code));
    EXPECT_EQ(ArchiveMembers(code), QStringList{current});
}

TEST_P(EntryEditorTest, ClosingAModifiedEntryAsksFirst)
{
    const int code = StoredEntry("Kept", {{"a.txt", "alpha"}});
    TfrmEntry* editor = EditDocked(code);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->windowTitle(), "Edit entry");
    // Nothing changed yet: closing asks nothing.
    EXPECT_FALSE(Child<QPushButton>(*editor, "btnSave")->isEnabled());
    TypeInto(Child<QLineEdit>(*editor, "edTitle"), "Changed");
    EXPECT_TRUE(Child<QPushButton>(*editor, "btnSave")->isEnabled());

    // Cancel: stays open with the change.
    desktop.QueueAnswer(TAnswer::Cancel);
    QTest::mouseClick(Child<QPushButton>(*editor, "btnCancel"), Qt::LeftButton);
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_EQ(desktop.messages[0].text, "You have made changes to the entry. Do you want to save these changes?");
    EXPECT_EQ(desktop.messages[0].kind, TMsgKind::Confirmation);
    EXPECT_EQ(desktop.messages[0].buttons, IDesktop::TButtons::YesNoCancel);
    ASSERT_EQ(TfrmOpenEntries::Instance()->FindEditor(code), editor);
    EXPECT_EQ(editor->Entry()->Title(), "Changed");

    // Yes while a file list holds no mark: the embedded-files message, still open.
    desktop.Clear();
    editor->Entry()->FolderFiles().SelectNone();
    desktop.QueueAnswer(TAnswer::Yes);
    EXPECT_FALSE(editor->DoFormClose());
    EXPECT_EQ(desktop.MessageTexts(), QStringList({TfrmEntry::SaveChangesText(), TfrmEntry::NoFilesText()}));

    // Yes without a category: its message, still open.
    desktop.Clear();
    editor->Entry()->FolderFiles().SelectAll();
    editor->Entry()->SetCategory(nullptr);
    desktop.QueueAnswer(TAnswer::Yes);
    EXPECT_FALSE(editor->DoFormClose());
    EXPECT_EQ(desktop.MessageTexts(), QStringList({TfrmEntry::SaveChangesText(), TfrmEntry::NoCategoryText()}));

    // No: closed, the stored entry as it was.
    desktop.Clear();
    desktop.QueueAnswer(TAnswer::No);
    EXPECT_TRUE(editor->DoFormClose());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(main->EntryManager().OpenEntries().Count(), 0);
    EXPECT_EQ(TfrmOpenEntries::Instance(), nullptr);
    EXPECT_EQ(Column(code, "Title").toString(), "Kept");

    // Yes with everything in order: stored, then closed.
    editor = EditDocked(code);
    ASSERT_NE(editor, nullptr);
    TypeInto(Child<QLineEdit>(*editor, "edTitle"), "Saved on close");
    desktop.Clear();
    desktop.QueueAnswer(TAnswer::Yes);
    EXPECT_TRUE(editor->DoFormClose());
    EXPECT_EQ(Column(code, "Title").toString(), "Saved on close");
    EXPECT_EQ(ArchiveMembers(code), QStringList{"a.txt"});
}

TEST_P(EntryEditorTest, SaveKeepsTheWindowOpenAndNewMode)
{
    TfrmEntry* editor = ReadyEditor({{"a.txt", "alpha"}}, "Saved twice");
    ASSERT_NE(editor, nullptr);
    const int code = editor->Entry()->Code();
    TypeInto(Child<QLineEdit>(*editor, "edKeywords"), "alpha \"new york\"");
    TypeInto(Child<QLineEdit>(*editor, "edSource"), "Field notes");
    QAction* save = editor->ActionsMenu()->findChild<QAction*>("acSave");
    ASSERT_NE(save, nullptr);
    save->trigger();
    EXPECT_TRUE(RowExists(code));
    EXPECT_EQ(TfrmOpenEntries::Instance()->FindEditor(code), editor);
    EXPECT_EQ(editor->windowTitle(), "New entry");
    EXPECT_FALSE(save->isEnabled());
    EXPECT_FALSE(Child<QPushButton>(*editor, "btnSave")->isEnabled());
    EXPECT_EQ(Column(code, "Keywords").toString(), "alpha \"new york\"");
    EXPECT_EQ(Column(code, "source").toString(), "Field notes");
    EXPECT_TRUE(desktop.notices.contains(
        "[Tessaryn]:|The selected file(s) have been successfully stored under the title \"Saved twice\"."));
    // The texts are remembered for the drop-down histories, the keywords one by one.
    main->SourceMRU().LoadItems("Field");
    EXPECT_EQ(main->SourceMRU().Items().RecordCount(), 1);
    main->KeywordsMRU().LoadItems("new");
    EXPECT_EQ(main->KeywordsMRU().Items().RecordCount(), 1);
    // Closing after the save asks nothing.
    desktop.Clear();
    EXPECT_TRUE(editor->DoFormClose());
    EXPECT_TRUE(desktop.messages.isEmpty());

    // The next entry offers them while the user types.
    TfrmEntry* next = OpenDocked(NewEntry({{"b.txt", "beta"}}), true);
    ASSERT_NE(next, nullptr);
    auto* source = Child<QLineEdit>(*next, "edSource");
    source->setFocus();
    QTest::keyClicks(source, "fie");
    ASSERT_NE(next->SourceHistory()->DropDown(), nullptr);
    EXPECT_EQ(next->SourceHistory()->DropDown()->Grid()->Items(), QStringList{"Field notes"});
    auto* keywords = Child<QLineEdit>(*next, "edKeywords");
    keywords->setFocus();
    QTest::keyClicks(keywords, "old ne");
    ASSERT_NE(next->KeywordsHistory()->DropDown(), nullptr);
    EXPECT_EQ(next->KeywordsHistory()->DropDown()->Grid()->Items(), QStringList{"new york"});
}

TEST_P(EntryEditorTest, FilesChangedBehindTheEditorsBack)
{
    TfrmEntry* editor = ReadyEditor({{"a.txt", "alpha"}, {"b.txt", "beta"}, {"c.txt", "gamma"}});
    ASSERT_NE(editor, nullptr);
    TEntryData* entry = editor->Entry();
    const int code = entry->Code();
    const QString folder = entry->GetFolder();

    // A file removed from the folder leaves the list; a file renamed on disk
    // comes back under its new name, marked to be stored.
    ASSERT_TRUE(QFile::remove(folder + "b.txt"));
    ASSERT_TRUE(QFile::rename(folder + "c.txt", folder + "d.txt"));
    ASSERT_TRUE(TestEnv::WaitFor([&] {
        QStringList names = GridNames(*editor);
        names.sort();
        return names == QStringList({"a.txt", "d.txt"});
    })) << GridNames(*editor).join(",").toStdString();
    EXPECT_EQ(entry->FolderFiles().SelectedCount(), 2);

    // Renaming a file to a name that is taken is refused; both stay whole.
    Child<QTabWidget>(*editor, "pc")->setCurrentIndex(1);
    entry->FolderFiles().SetCurrent(entry->FolderFiles().IndexOf("a.txt"));
    desktop.QueueInput(QString("d.txt"));
    Grid(*editor)->setFocus();
    QTest::keyClick(Grid(*editor), Qt::Key_F2);
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_EQ(desktop.messages[0].kind, TMsgKind::Warning);
    QFile a(folder + "a.txt"), d(folder + "d.txt");
    ASSERT_TRUE(a.open(QIODevice::ReadOnly) && d.open(QIODevice::ReadOnly));
    EXPECT_EQ(a.readAll(), "alpha");
    EXPECT_EQ(d.readAll(), "gamma");

    desktop.Clear();
    EXPECT_TRUE(SaveAndClose(editor, code)) << desktop.MessageTexts().join(" / ").toStdString();
    EXPECT_EQ(ArchiveMembers(code), QStringList({"a.txt", "d.txt"}));
}

TEST_P(EntryEditorTest, DropsAndPastesGoIntoTheEntrysFolder)
{
    TfrmEntry* editor = ReadyEditor({{"a.txt", "alpha"}});
    ASSERT_NE(editor, nullptr);
    TEntryData* entry = editor->Entry();
    const QString outside = TestEnv::ScratchFolder();
    for (const char* name : {"x.txt", "y.txt"}) {
        QFile f(outside + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(name);
    }
    QMimeData files;
    files.setUrls({QUrl::fromLocalFile(outside + "x.txt"), QUrl::fromLocalFile(outside + "y.txt")});
    Child<QTabWidget>(*editor, "pc")->setCurrentIndex(1);
    DropOn(Grid(*editor)->viewport(), QPoint(20, 8), files);
    QStringList names = GridNames(*editor);
    names.sort();
    EXPECT_EQ(names, QStringList({"a.txt", "x.txt", "y.txt"}));
    EXPECT_EQ(entry->FolderFiles().SelectedCount(), 3);

    // While a file is dragged out of the grid, its window refuses drops:
    // for a docked editor that is the open-entries window, whose answer the
    // editor gives.
    auto* window = dynamic_cast<IOstrivaleDropTarget*>(editor->window());
    ASSERT_NE(window, nullptr);
    window->DisableDrops();
    EXPECT_FALSE(editor->DropsAccepted());
    QMimeData again;
    again.setUrls({QUrl::fromLocalFile(entry->GetFolder() + "a.txt")});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &again, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor, &enter);
    EXPECT_FALSE(enter.isAccepted());
    window->EnableDrops();
    EXPECT_TRUE(editor->DropsAccepted());

    // Pasting plain text as HTML writes a page; the setting is back afterwards.
    QApplication::clipboard()->setText("pasted a<b");
    const int handling = main->App.ClipboardTextHandling;
    editor->ActionsMenu()->findChild<QAction*>("acAddClipboardAsHtml")->trigger();
    EXPECT_EQ(main->App.ClipboardTextHandling, handling);
    const QStringList pages = QDir(entry->GetFolder()).entryList({"Html_*.html"});
    ASSERT_EQ(pages.size(), 1);
    EXPECT_TRUE(GridNames(*editor).contains(pages[0]));
    QFile page(entry->GetFolder() + pages[0]);
    ASSERT_TRUE(page.open(QIODevice::ReadOnly));
    EXPECT_TRUE(page.readAll().contains("pasted&nbsp;a&lt;b<br>"));
}

TEST_P(EntryEditorTest, MonitoredFolderEntryMovesItsFilesWhenStored)
{
    const QString monitored = main->App.MonitoredFolder;
    for (const char* name : {"m1.txt", "m2.txt"}) {
        QFile f(monitored + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(name);
    }
    main->App.EditMultipleEntries = true;
    ASSERT_TRUE(main->EntryManager().CreateEntryFromMonitoredFolder(monitored));
    TfrmEntry* editor = TfrmOpenEntries::Instance()->CurrentEditor();
    ASSERT_NE(editor, nullptr);
    const int code = editor->Entry()->Code();
    // Its own moves raise no notices about the monitored folder.
    EXPECT_FALSE(main->App.NotifyMonitoredFolderChanges);

    TypeInto(Child<QLineEdit>(*editor, "edTitle"), "From the monitored folder");
    PickCategory(*editor, {"Archive", "Letters"});
    EXPECT_EQ(Child<QLabel>(*editor, "laCategory")->text(), "Archive -> Letters");
    // Picking counts as a use of the category.
    EXPECT_EQ(main->MostUsedCategories().RecentList().value(0), main->Categories().FindByCode(kLetters));
    editor->ActionsMenu()->findChild<QAction*>("acSave")->trigger();
    ASSERT_TRUE(RowExists(code)) << desktop.MessageTexts().join(" / ").toStdString();
    EXPECT_EQ(Column(code, "Category").toInt(), kLetters);
    EXPECT_EQ(ArchiveMembers(code), QStringList({"m1.txt", "m2.txt"}));
    const QString own = main->App.ExtractFolder + QString::number(code) + "/";
    EXPECT_EQ(editor->Entry()->GetFolder(), own);
    EXPECT_TRUE(QDir(monitored).entryList(QDir::Files).isEmpty());
    QStringList names = GridNames(*editor);
    names.sort();
    EXPECT_EQ(names, QStringList({"m1.txt", "m2.txt"}));
    EXPECT_FALSE(editor->Entry()->IsModified());

    EXPECT_TRUE(editor->DoFormClose());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(main->App.NotifyMonitoredFolderChanges);
}

TEST_P(EntryEditorTest, PasswordCanBeRemovedWithoutAskingAndAddedThroughItsWindow)
{
    TfrmEntry* editor = ReadyEditor({{"a.txt", "alpha"}});
    ASSERT_NE(editor, nullptr);
    auto* button = Child<QPushButton>(*editor, "btnPassword");
    // Without the password window a password cannot be added.
    EXPECT_FALSE(button->isEnabled());

    TfrmEntry::PasswordProtectDialog = [](QWidget*) { return std::optional<QString>("s3cret"); };
    editor->UpdatePasswordDisplay();
    ASSERT_TRUE(button->isEnabled());
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_TRUE(editor->Entry()->PasswordProtected());
    EXPECT_EQ(editor->Entry()->Password(), "s3cret");
    EXPECT_EQ(button->text(), "Remove password");
    EXPECT_EQ(Child<QLabel>(*editor, "laPassword")->text(), "( this entry is password protected )");

    TfrmEntry::PasswordProtectDialog = nullptr;
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(editor->Entry()->PasswordProtected());
    EXPECT_TRUE(editor->Entry()->Password().isEmpty());
    EXPECT_EQ(button->text(), "Add password");
    EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST_P(EntryEditorTest, MonitoredFolderFilesAreMovedIntoTheEntry)
{
    const int code = StoredEntry("Holder", {{"a.txt", "alpha"}});
    TfrmEntry* editor = EditDocked(code);
    ASSERT_NE(editor, nullptr);
    const QString monitored = main->App.MonitoredFolder;
    for (const char* name : {"m1.txt", "m2.txt"}) {
        QFile f(monitored + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(name);
    }
    QList<bool> switches;
    main->OnMonitorFolderChanged = [&switches](bool on) { switches << on; };
    editor->ActionsMenu()->findChild<QAction*>("acAddMonitoredFiles")->trigger();
    main->OnMonitorFolderChanged = nullptr;

    EXPECT_TRUE(QDir(monitored).entryList(QDir::Files).isEmpty());
    QStringList names = GridNames(*editor);
    names.sort();
    EXPECT_EQ(names, QStringList({"a.txt", "m1.txt", "m2.txt"}));
    EXPECT_EQ(editor->Entry()->FolderFiles().SelectedCount(), 3);
    // The notices were off for the move and are on again.
    EXPECT_EQ(switches, QList<bool>({false, true}));
    EXPECT_TRUE(main->App.NotifyMonitoredFolderChanges);
    EXPECT_TRUE(Child<QPushButton>(*editor, "btnSave")->isEnabled());

    QTest::mouseClick(Child<QPushButton>(*editor, "btnExplore"), Qt::LeftButton);
    EXPECT_EQ(desktop.explored, QStringList{editor->Entry()->GetFolder()});
}

TEST_P(EntryEditorTest, ReadOnlyEditorChangesNothing)
{
    const int code = StoredEntry("Locked", {{"a.txt", "alpha"}});
    TfrmEntry* editor = EditDocked(code);
    ASSERT_NE(editor, nullptr);
    editor->SetReadOnly(true);
    EXPECT_FALSE(Child<QWidget>(*editor, "tsEntryData")->isEnabled());
    EXPECT_FALSE(Child<QWidget>(*editor, "tsEmbeddedFiles")->isEnabled());
    EXPECT_FALSE(editor->ActionsMenu()->findChild<QAction*>("acAddClipboard")->isEnabled());
    QTest::keyClicks(Child<QLineEdit>(*editor, "edTitle"), " more");
    EXPECT_EQ(editor->Entry()->Title(), "Locked");
    EXPECT_FALSE(Child<QPushButton>(*editor, "btnSave")->isEnabled());
    QMimeData mime;
    mime.setText("dropped text");
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(editor, &enter);
    EXPECT_FALSE(enter.isAccepted());
    EXPECT_TRUE(editor->DoFormClose());
    EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST_P(EntryEditorTest, ColourSchemeReachesTheEditor)
{
    TfrmEntry* editor = OpenDocked(NewEntry({{"a.txt", "alpha"}}), true);
    ASSERT_NE(editor, nullptr);
    main->SetColourScheme(2);
    EXPECT_EQ(Child<TFrameLabel>(*editor, "laEntryID")->Color(), main->Colour(csHighlightStart));
    // the pages' tabs are the gradient ones, the active caption in the selected-title colour
    auto* pc = Child<TBPageControl>(*editor, "pc");
    ASSERT_TRUE(pc);
    EXPECT_EQ(pc->Bar()->FontActiveTabColor, main->Colour(csSelectedTitle));
    EXPECT_EQ(pc->ColorInactiveBottom(), QColor(212, 208, 204));
}

// Tab walks through the entry's fields in reading order, then the buttons;
// the capture tool buttons beside the title are not in the way.
TEST_P(EntryEditorTest, TabWalksTheFieldsInReadingOrderThenTheButtons)
{
    TfrmEntry* editor = OpenDocked(NewEntry({{"a.txt", "alpha"}}), true);
    ASSERT_NE(editor, nullptr);
    auto* title = Child<QLineEdit>(*editor, "edTitle");
    title->setFocus();
    ASSERT_TRUE(TestEnv::WaitFor([title] { return title->hasFocus(); }));
    QStringList expected = {"edKeywords", "btnSelectCategory", "edSource", "meComments"};
    // (the password button takes the focus only when it can be used)
    if (Child<QPushButton>(*editor, "btnPassword")->isEnabled())
        expected << "btnPassword";
    expected << "btnExplore" << "btnSave" << "btnCancel";
    QStringList visited;
    for (qsizetype i = 0; i < expected.size(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QString());
    }
    EXPECT_EQ(visited, expected);
    EXPECT_EQ(Child<QPlainTextEdit>(*editor, "meComments")->toPlainText(), "") << "Tab is no character here";
    EXPECT_EQ(GridNames(*editor), QStringList{"a.txt"});
}

// Every capture into the entry says in the status bar what it added; a
// quick note given up with Escape closes the note only.
TEST_P(EntryEditorTest, CapturesSayWhatTheyAddedInTheStatusBar)
{
    TfrmEntry* editor = ReadyEditor({{"a.txt", "alpha"}});
    ASSERT_NE(editor, nullptr);
    QWidget* window = editor->window();
    // the docked editor's texts show in the status bar of the window around it
    const auto statusText = [window] {
        for (QLabel* hint : window->findChildren<QLabel*>("paHint"))
            if (hint->isVisible())
                return hint->text();
        return QString("<no status bar>");
    };
    const auto action = [editor](const char* name) { return editor->ActionsMenu()->findChild<QAction*>(name); };
    const QString outside = TestEnv::ScratchFolder();
    for (const char* name : {"x.txt", "y.txt"}) {
        QFile f(outside + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(name);
    }
    // Answers the quick note that opens next: types a line, then Save or Escape.
    const auto answerQuickNote = [](bool save) {
        QTimer::singleShot(0, [save] {
            auto* note = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(note, nullptr);
            auto* text = note->findChild<QPlainTextEdit*>("meText");
            QTest::keyClicks(text, "call back");
            if (save)
                QTest::mouseClick(note->findChild<QPushButton*>("btnSave"), Qt::LeftButton);
            else
                QTest::keyClick(text, Qt::Key_Escape);
            if (note->isVisible()) {
                ADD_FAILURE() << "the quick note stayed open";
                note->reject();
            }
        });
    };

    const struct {
        const char* capture;
        std::function<void()> run;
        QString expected;   // a regular expression for the whole text
    } cases[] = {
        {"clipboard",
         [&] {
             QApplication::clipboard()->setText("pasted words");
             action("acAddClipboardAsText")->trigger();
         },
         "Added 1 file: Text_.*\\.txt"},
        {"drop",
         [&] {
             QMimeData files;
             files.setUrls({QUrl::fromLocalFile(outside + "x.txt"), QUrl::fromLocalFile(outside + "y.txt")});
             DropOn(Grid(*editor)->viewport(), QPoint(20, 8), files);
         },
         "Added 2 files: x\\.txt, y\\.txt"},
        {"quick note",
         [&] {
             answerQuickNote(true);
             action("acAddQuickNote")->trigger();
         },
         "Added 1 file: Text_.*\\.txt"},
        {"monitored folder",
         [&] {
             QFile f(main->App.MonitoredFolder + "m1.txt");
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.close();
             action("acAddMonitoredFiles")->trigger();
         },
         "Added 1 file: m1\\.txt"},
        {"empty clipboard",
         [&] {
             QApplication::clipboard()->clear();
             action("acAddClipboard")->trigger();
         },
         QRegularExpression::escape(TEventAssistant::NothingToStoreText)},
    };
    int files = 1;
    for (const auto& c : cases) {
        editor->ShowInfoHint(QString());
        c.run();
        EXPECT_TRUE(QRegularExpression("^" + c.expected + "$").match(statusText()).hasMatch())
            << c.capture << ": " << statusText().toStdString();
        files = editor->Entry()->FolderFiles().Count();
    }
    EXPECT_EQ(files, 6);

    // Escape in a quick note opened from the editor closes the note alone
    editor->ShowInfoHint(QString());
    answerQuickNote(false);
    action("acAddQuickNote")->trigger();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(TfrmOpenEntries::Instance()->FindEditor(editor->Entry()->Code()), editor);
    EXPECT_EQ(editor->Entry()->FolderFiles().Count(), 6);
    EXPECT_EQ(statusText(), "");
    EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.MessageTexts().join(" / ").toStdString();
}

// A click on a file's mark (the strip left of its icon) marks or unmarks it;
// elsewhere on the row it only highlights, and two quick clicks on the mark
// are two toggles rather than an opening.
TEST_P(EntryEditorTest, AClickOnAFilesMarkTogglesIt)
{
    TfrmEntry* editor = ReadyEditor({{"a.txt", "alpha"}, {"b.txt", "beta"}});
    ASSERT_NE(editor, nullptr);
    Child<QTabWidget>(*editor, "pc")->setCurrentIndex(1);
    QTableWidget* grid = Grid(*editor);
    TFolderFiles& files = editor->Entry()->FolderFiles();
    ASSERT_EQ(files.SelectedCount(), 2);
    const auto at = [grid](int row, int x) {
        return QPoint(x, grid->visualRect(grid->model()->index(row, 0)).center().y());
    };

    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at(1, 15));
    EXPECT_FALSE(files.IsSelected(1));
    EXPECT_EQ(files.CurrentIndex(), 1);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at(0, 80));
    EXPECT_TRUE(files.IsSelected(0)) << "a click on the name marks nothing";
    EXPECT_EQ(files.CurrentIndex(), 0);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at(0, 15));
    EXPECT_TRUE(files.IsSelected(0)) << "unmarked and marked again";
    EXPECT_TRUE(desktop.opened.isEmpty());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at(1, 15));
    EXPECT_EQ(files.SelectedCount(), 2);
}

// Message boxes and prompts belong to the window in front (the entry editor
// of a modal edit, the open-entries window), never to the main window behind
// it; the one-line prompt is wide enough for its caption and a file name.
TEST_P(EntryEditorTest, PromptsBelongToTheWindowInFront)
{
    QMainWindow mainWindow;
    mainWindow.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&mainWindow));
    TWidgetDesktop widgets;
    widgets.SetParentWindow(&mainWindow);   // as the program's start-up does

    struct TPrompt {
        QWidget* parent = nullptr;
        int width = 0;
        QString caption;
    };
    // Answers the box or prompt that opens next, noting its owner and size.
    const auto answerNext = [](TPrompt& seen) {
        QTimer::singleShot(0, [&seen] {
            const auto prompt = [] {
                QWidget* modal = QApplication::activeModalWidget();
                return modal && (modal->inherits("QMessageBox") || modal->inherits("QInputDialog")) ? modal : nullptr;
            };
            ASSERT_TRUE(TestEnv::WaitFor([&] { return prompt() != nullptr; }));
            QWidget* shown = prompt();
            ASSERT_TRUE(QTest::qWaitForWindowExposed(shown));
            seen = {shown->parentWidget(), shown->width(), shown->windowTitle()};
            if (auto* field = shown->findChild<QLineEdit*>()) {
                QTest::keyClick(field, Qt::Key_End);
                QTest::keyClicks(field, "-renamed");
                QTest::keyClick(field, Qt::Key_Return);
            } else {
                QTest::keyClick(shown, Qt::Key_Escape);
            }
        });
    };
    const auto ask = [&](QWidget* front) {
        front->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(front));
        TPrompt box, query;
        answerNext(box);
        EXPECT_EQ(widgets.MessageBox(TfrmEntry::SaveChangesText(), TMsgKind::Confirmation,
                                     IDesktop::TButtons::YesNoCancel),
                  TAnswer::Cancel);
        EXPECT_EQ(box.parent, front);
        front->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(front));
        answerNext(query);
        EXPECT_EQ(widgets.InputQuery("Rename file", "Enter filename", "note.txt"), "note.txt-renamed");
        EXPECT_EQ(query.parent, front);
        EXPECT_EQ(query.caption, "Rename file");
        EXPECT_GE(query.width, 420);
    };

    // a docked editor: its window is the active one
    TfrmEntry* docked = ReadyEditor({{"a.txt", "alpha"}});
    ASSERT_NE(docked, nullptr);
    ask(docked->window());
    desktop.QueueAnswer(TAnswer::No);
    ASSERT_TRUE(docked->DoFormClose());

    // a modal editor
    main->App.EditMultipleEntries = false;
    bool asked = false;
    WhenModalEditorShown([&](TfrmEntry& editor) {
        ask(&editor);
        asked = true;
        desktop.QueueAnswer(TAnswer::No);
        editor.DoFormClose();
    });
    main->EntryManager().ShowEntryEditor(NewEntry({{"b.txt", "beta"}}).release(), true);
    EXPECT_TRUE(asked);
}

TESSARYN_INSTANTIATE_SQLITE(EntryEditorTest);

} // namespace

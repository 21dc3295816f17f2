#include "EditorFixture.h"

#include "browsing/fEntryBrowser.h"
#include "editing/fEntry.h"
#include "engine/Category.h"
#include "engine/EntryCapture.h"
#include "engine/EntryData.h"
#include "engine/EntryManager.h"
#include "engine/EventAssistant.h"
#include "engine/FileLists.h"
#include "settings/dmMain.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

class EditorEndToEndTest : public EditorTest {
protected:
    static void ReplaceText(QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(edit, text);
    }

    static void ClickTab(TfrmEntry& editor, int index)
    {
        QTabBar* tabs = editor.findChild<QTabWidget*>("pc")->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(index).center());
    }

    static void PickCategoryItem(TfrmEntry& editor, const QString& caption)
    {
        QTest::mouseClick(editor.findChild<QToolButton*>("btnSelectCategory"), Qt::LeftButton);
        QMenu* menu = editor.CategoryMenu();
        ASSERT_TRUE(menu && TestEnv::WaitFor([menu] { return menu->isVisible(); }));
        for (QAction* action : menu->actions()) {
            if (action->text() == caption) {
                QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
                return;
            }
        }
        FAIL() << "no category item " << caption.toStdString();
    }
};

TEST_P(EditorEndToEndTest, QuickNoteToStoredEntryFoundAndEditedAgain)
{
    // Two documents the user drags onto the entry from a file manager.
    const QString desk = TestEnv::ScratchFolder();
    const QMap<QString, QByteArray> documents{{"invoice.pdf", "%PDF-1.4 invoice"}, {"receipt.txt", "paid in full"}};
    for (auto it = documents.begin(); it != documents.end(); ++it) {
        QFile f(desk + it.key());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(it.value());
    }

    int code = 0;
    QString note;
    WhenModalEditorShown([&](TfrmEntry& editor) {
        code = editor.Entry()->Code();
        EXPECT_EQ(editor.windowTitle(), "New entry");
        ReplaceText(editor.findChild<QLineEdit*>("edTitle"), "Zeppelin invoices");
        ReplaceText(editor.findChild<QLineEdit*>("edKeywords"), "airship zeppelin");
        PickCategoryItem(editor, "Notes");
        ClickTab(editor, 1);
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(desk + "invoice.pdf"), QUrl::fromLocalFile(desk + "receipt.txt")});
        QTableWidget* grid = Grid(editor);
        DropOn(grid->viewport(), QPoint(30, 10), mime);
        const QStringList names = GridNames(editor);
        EXPECT_EQ(names.size(), 3) << names.join(",").toStdString();
        for (const QString& name : names)
            if (name.startsWith("Text_"))
                note = name;
        EXPECT_EQ(editor.Entry()->FolderFiles().SelectedCount(), 3);
        QTest::mouseClick(editor.findChild<QPushButton*>("btnSave"), Qt::LeftButton);
    });
    ASSERT_TRUE(main->Capture().CreateEntryFromQuickNote("Call the hangar about the zeppelin bill"));
    ASSERT_GT(code, 0);
    ASSERT_FALSE(note.isEmpty());
    EXPECT_EQ(ArchiveMembers(code), QStringList({note, "invoice.pdf", "receipt.txt"}));

    // Found again by a keyword in the entry browser, opened from there
    // (through the entry manager's EditEntry), retitled.
    TfrmEntryBrowser browser(*main);
    browser.show();
    QLineEdit* keys = browser.SearchEdit();
    keys->setFocus();
    QTest::keyClicks(keys, "zeppelin");
    QTest::mouseClick(browser.findChild<QPushButton*>("btnSearch"), Qt::LeftButton);
    ASSERT_EQ(browser.ResultCount(), 1);
    ASSERT_EQ(browser.CurrentEntryCode(), code);
    WhenModalEditorShown([&](TfrmEntry& editor) {
        EXPECT_EQ(editor.windowTitle(), "Edit entry");
        EXPECT_EQ(editor.findChild<QLineEdit*>("edTitle")->text(), "Zeppelin invoices");
        ReplaceText(editor.findChild<QLineEdit*>("edTitle"), "Zeppelin invoices, paid");
        editor.ActionsMenu()->findChild<QAction*>("acSave")->trigger();
        EXPECT_TRUE(editor.isVisible());
        // Saved: closing asks nothing.
        QTest::mouseClick(editor.findChild<QPushButton*>("btnCancel"), Qt::LeftButton);
    });
    browser.acEN_EditEntry->trigger();
    EXPECT_TRUE(desktop.MessageTexts().isEmpty()) << desktop.MessageTexts().join(" / ").toStdString();

    // Reopened: the new title and both files (with the note).
    WhenModalEditorShown([&](TfrmEntry& editor) {
        EXPECT_EQ(editor.findChild<QLineEdit*>("edTitle")->text(), "Zeppelin invoices, paid");
        QStringList names = GridNames(editor);
        names.sort();
        EXPECT_EQ(names, QStringList({note, "invoice.pdf", "receipt.txt"}));
        EXPECT_EQ(editor.Entry()->FolderFiles().SelectedCount(), 3);
        QFile invoice(editor.Entry()->GetFolder() + "invoice.pdf");
        EXPECT_TRUE(invoice.open(QIODevice::ReadOnly) && invoice.readAll() == documents["invoice.pdf"]);
        QTest::keyClick(editor.findChild<QPushButton*>("btnCancel"), Qt::Key_Escape);
    });
    main->EntryManager().EditEntry(code);
    EXPECT_EQ(Column(code, "Title").toString(), "Zeppelin invoices, paid");
    EXPECT_EQ(main->EntryManager().OpenEntries().ModalEntry(), nullptr);
}

// With TESSARYN_SCREENS set to a folder, pictures of the editor's two pages
// with a real entry are written there.
TEST_P(EditorEndToEndTest, Screenshots)
{
    const QString folder = qEnvironmentVariable("TESSARYN_SCREENS");
    if (folder.isEmpty())
        GTEST_SKIP() << "TESSARYN_SCREENS is not set";
    std::unique_ptr<TEntryData> entry =
        NewEntry({{"Quarterly report.pdf", QByteArray(48000, 'r')}, {"notes.txt", "short notes"},
                  {"budget.xlsx", QByteArray(1500, 'b')}, {"photo.jpg", QByteArray(350000, 'p')}});
    ASSERT_TRUE(QDir().mkpath(entry->GetFolder() + "drafts"));
    entry->FolderFiles().ListFolder(entry->GetFolder());
    entry->FolderFiles().SelectAll();
    entry->FolderFiles().SetSelectedByName("notes.txt", false);
    entry->SetTitle("Quarterly report, spring");
    entry->SetKeywords("report finance \"spring quarter\"");
    entry->SetSource("Finance department");
    entry->SetComments("Sent to the board on Monday.\r\nThe figures in the appendix are provisional.");
    entry->SetCategory(main->Categories().FindByCode(kLetters));
    WhenModalEditorShown([&](TfrmEntry& editor) {
        QApplication::processEvents();
        EXPECT_TRUE(editor.grab().save(folder + "/editor-data.png"));
        ClickTab(editor, 1);
        QApplication::processEvents();
        EXPECT_TRUE(editor.grab().save(folder + "/editor-files.png"));
        desktop.QueueAnswer(IDesktop::TAnswer::No);
        editor.DoFormClose();
    });
    main->EntryManager().ShowEntryEditor(entry.release(), true);
}

TESSARYN_INSTANTIATE_SQLITE(EditorEndToEndTest);

} // namespace

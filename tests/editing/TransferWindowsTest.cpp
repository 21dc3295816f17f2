#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "TestFiles.h"
#include "app/AppResources.h"
#include "browsing/fEntryBrowser.h"
#include "editing/fSelectEntry.h"
#include "engine/Category.h"
#include "engine/EntryData.h"
#include "engine/EntryManager.h"
#include "engine/dDB.h"
#include "engine/fMergeEntries.h"
#include "engine/frmPasswordProtect.h"
#include "mainwindow/fManageMonitoredFolder.h"
#include "settings/dmMain.h"

#include <QComboBox>
#include <QDir>
#include <QTableWidget>
#include <QGroupBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// With TESSARYN_SCREENSHOT_DIR set, the windows are saved there as shown.
void Screenshot(QWidget& window, const QString& name)
{
    const QString folder = qEnvironmentVariable("TESSARYN_SCREENSHOT_DIR");
    if (!folder.isEmpty())
        window.grab().save(folder + "/" + name + ".png");
}

constexpr int kNotes = 7;
constexpr int kArchive = 8;

class TransferWindowsTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
        TAppResources::Register();
        QSqlQuery q(conn->Database());
        for (const auto& [code, name] : {std::pair{kNotes, "Notes"}, std::pair{kArchive, "Archive"}})
            ASSERT_TRUE(q.exec(QString("insert into categories (code, parent, name) values (%1, 0, '%2')").arg(code).arg(name)))
                << q.lastError().text().toStdString();
        main = std::make_unique<TdmMain>(*conn, desktop);
        ASSERT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
    }
    void TearDown() override
    {
        delete TFrmSelectEntry::KeptPicker();
        TFrmSelectEntry::ExecuteHook = nullptr;
        TFrmPasswordProtect::ExecuteHook = nullptr;
        TFrmPasswordProtect::ShowWarning = nullptr;
        TfrmMergeEntries::ExecuteHook = nullptr;
        main.reset();
        EngineTest::TearDown();
    }

    // A stored entry with one file; the object stays for the dialogs.
    std::unique_ptr<TEntryData> StoreEntry(const QString& title, int category, const QString& keywords = {})
    {
        std::unique_ptr<TEntryData> entry = main->EntryManager().CreateNewEntry(false);
        WriteFile(entry->GetFolder() + "file.txt", title.toUtf8());
        entry->FolderFiles().ListFolder(entry->GetFolder());
        entry->FolderFiles().SelectAll();
        entry->SetTitle(title);
        entry->SetKeywords(keywords);
        entry->SetCategory(main->Categories().FindByCode(category));
        EXPECT_TRUE(entry->Save([this](TEntryData& e) { return db.StoreEntry(e); }));
        return entry;
    }

    RecordingDesktop desktop;
    TdmDB db;
    std::unique_ptr<TdmMain> main;
};

TEST_P(TransferWindowsTest, EntryPickerKeepsItsSearchOnlyWhenTheSettingSaysSo)
{
    const int alpha = StoreEntry("Alpha report", kNotes)->Code();
    StoreEntry("Beta", kNotes);
    main->App.PersistentEntrySelection = true;

    bool selectBefore = true;
    bool selectAfter = false;
    TFrmSelectEntry::ExecuteHook = [&](TFrmSelectEntry& picker) {
        EXPECT_EQ(picker.windowTitle(), "Select an Tessaryn entry");
        picker.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&picker));
        selectBefore = picker.btnSelect->isEnabled();
        QLineEdit* search = picker.Browser()->SearchEdit();
        QTest::keyClicks(search, "Alpha");
        QTest::keyClick(search, Qt::Key_Return);
        selectAfter = picker.btnSelect->isEnabled();
        Screenshot(picker, "entry-picker");
        QTest::mouseClick(picker.btnSelect, Qt::LeftButton);
        return picker.result();
    };
    int code = 0;
    ASSERT_TRUE(TFrmSelectEntry::PickEntry(*main, code));
    EXPECT_FALSE(selectBefore);
    EXPECT_TRUE(selectAfter);
    EXPECT_EQ(code, alpha);

    // Again: the same picker with the same results.
    int results = -1;
    TFrmSelectEntry::ExecuteHook = [&](TFrmSelectEntry& picker) {
        picker.show();
        results = picker.Browser()->ResultCount();
        selectBefore = picker.btnSelect->isEnabled();
        QTest::mouseClick(picker.btnCancel, Qt::LeftButton);
        return picker.result();
    };
    code = 4711;
    EXPECT_FALSE(TFrmSelectEntry::PickEntry(*main, code));
    EXPECT_EQ(code, 4711);
    EXPECT_EQ(results, 1);
    EXPECT_TRUE(selectBefore);

    // Without the setting every request starts empty; a search that finds
    // nothing leaves "Select" off.
    main->App.PersistentEntrySelection = false;
    TFrmSelectEntry::ExecuteHook = [&](TFrmSelectEntry& picker) {
        picker.show();
        results = picker.Browser()->ResultCount();
        QLineEdit* search = picker.Browser()->SearchEdit();
        QTest::keyClicks(search, "nothing-like-this");
        QTest::keyClick(search, Qt::Key_Return);
        selectAfter = picker.btnSelect->isEnabled();
        return int(QDialog::Rejected);
    };
    EXPECT_FALSE(TFrmSelectEntry::PickEntry(*main, code));
    EXPECT_EQ(results, 0);
    EXPECT_FALSE(selectAfter);
    EXPECT_EQ(TFrmSelectEntry::KeptPicker(), nullptr);
}

TEST_P(TransferWindowsTest, PasswordWindowWantsTwoEqualTextsThatAreNotBlank)
{
    QStringList warnings;
    TFrmPasswordProtect::ShowWarning = [&](const QString& text) { warnings.append(text); };
    bool openAfterMismatch = false;
    bool openAfterBlanks = false;
    TFrmPasswordProtect::ExecuteHook = [&](TFrmPasswordProtect& window) {
        EXPECT_EQ(window.windowTitle(), "Password protection");
        EXPECT_EQ(window.edPassword->echoMode(), QLineEdit::Password);
        window.show();
        QTest::keyClicks(window.edPassword, "one");
        QTest::keyClicks(window.edRetypePassword, "two");
        QTest::mouseClick(window.btnOK, Qt::LeftButton);
        openAfterMismatch = window.isVisible();
        window.edPassword->setText("   ");
        window.edRetypePassword->setText("   ");
        QTest::mouseClick(window.btnOK, Qt::LeftButton);
        openAfterBlanks = window.isVisible();
        window.edPassword->setText(" s3 ");
        window.edRetypePassword->setText(" s3 ");
        Screenshot(window, "password-protection");
        QTest::mouseClick(window.btnOK, Qt::LeftButton);
        return window.result();
    };
    EXPECT_EQ(TFrmPasswordProtect::AskNewPassword(), std::optional<QString>(" s3 "));
    EXPECT_TRUE(openAfterMismatch);
    EXPECT_TRUE(openAfterBlanks);
    EXPECT_EQ(warnings, QStringList{"The passwords you have entered do not match. Please try again."});

    TFrmPasswordProtect::ExecuteHook = [](TFrmPasswordProtect& window) {
        window.show();
        QTest::mouseClick(window.btnCancel, Qt::LeftButton);
        return window.result();
    };
    EXPECT_EQ(TFrmPasswordProtect::AskNewPassword(), std::nullopt);
}

TEST_P(TransferWindowsTest, MergeDialogOffersTheSourcesValuesAndWantsTitleAndCategory)
{
    auto first = StoreEntry("First", kNotes, "k-first");
    auto second = StoreEntry("Second", kArchive);
    auto third = StoreEntry("Third", kNotes, "k-third");
    const QList<TEntryData*> sources{first.get(), second.get(), third.get()};

    TfrmMergeEntries::ExecuteHook = [&](TfrmMergeEntries& dialog) {
        dialog.show();
        EXPECT_TRUE(dialog.rbOneEntry->isChecked());
        EXPECT_TRUE(dialog.gbOneEntry->isVisible());
        EXPECT_FALSE(dialog.gbSeparate->isVisible());
        EXPECT_EQ(dialog.coOneEntry->count(), 3);
        EXPECT_EQ(dialog.coKeywords->count(), 2);
        EXPECT_EQ(dialog.coCategory->count(), 2) << "each category path once";
        EXPECT_EQ(dialog.coTitle->currentText(), "First");
        // Picking the second source takes all its values.
        dialog.coOneEntry->setCurrentIndex(1);
        emit dialog.coOneEntry->activated(1);
        EXPECT_EQ(dialog.coTitle->currentText(), "Second");
        EXPECT_EQ(dialog.ChosenCategory()->Code(), kArchive);
        QTest::mouseClick(dialog.chSeparate, Qt::LeftButton);
        EXPECT_TRUE(dialog.gbSeparate->isVisible());
        dialog.coTitle->setCurrentText("  ");
        QTest::mouseClick(dialog.btnSave, Qt::LeftButton);
        EXPECT_TRUE(dialog.isVisible());
        dialog.coTitle->setCurrentText("Merged title");
        Screenshot(dialog, "merge-entries");
        QTest::mouseClick(dialog.btnSave, Qt::LeftButton);
        return dialog.result();
    };
    const auto values = TfrmMergeEntries::Execute(*main, sources);
    ASSERT_TRUE(values);
    EXPECT_EQ(values->title, "Merged title");
    EXPECT_EQ(values->category->Code(), kArchive);
    EXPECT_EQ(desktop.MessageTexts(), QStringList{"You must enter a title for the entry before saving it."});
}

TEST_P(TransferWindowsTest, ManageWindowFollowsTheFolderAndResumesWatchingWhenClosed)
{
    const QString folder = main->App.MonitoredFolder;
    QDir().mkpath(folder);
    WriteFile(folder + "first.txt", "1");
    WriteFile(folder + "second.txt", "2");
    int stops = 0;
    int starts = 0;
    {
        TfrmManageMonitoredFolder window(
            *main, [&] { ++stops; return true; }, [&] { ++starts; }, nullptr, nullptr);
        EXPECT_EQ(window.windowTitle(), "Manage monitored folder files");
        EXPECT_EQ(stops, 1);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        EXPECT_EQ(window.Files().Count(), 2);
        EXPECT_EQ(window.grFolderFiles->rowCount(), 2);
        // Another program adds a file: the grid follows.
        WriteFile(folder + "third.txt", "3");
        EXPECT_TRUE(QTest::qWaitFor([&] { return window.grFolderFiles->rowCount() == 3; }, 3000));
        Screenshot(window, "manage-monitored-folder");
        EXPECT_EQ(starts, 0);
    }
    EXPECT_EQ(starts, 1);
}

} // namespace

TESSARYN_INSTANTIATE_ENGINES(TransferWindowsTest);

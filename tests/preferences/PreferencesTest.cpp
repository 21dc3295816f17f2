#include "RecordingDesktop.h"
#include "TestFiles.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "app/AppResources.h"
#include "browsing/fEntryBrowser.h"
#include "controls/BGroupBox.h"
#include "engine/EntryManager.h"
#include "mainwindow/LayoutManager.h"
#include "mainwindow/ToolbarAssistant.h"
#include "mainwindow/fMain.h"
#include "preferences/ColourSchemePreview.h"
#include "preferences/MailSettingsPage.h"
#include "preferences/ToolbarButtonsGrid.h"
#include "preferences/fPreferences.h"
#include "search/SearchOptions.h"
#include "settings/AppSettingsCatalogue.h"
#include "settings/ISettingsManager.h"
#include "settings/dmMain.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSqlQuery>
#include <QStackedWidget>
#include <QTest>
#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

using TAnswer = IDesktop::TAnswer;

// Every catalogue value of the settings as text, to compare before and after.
QStringList Values(const TAppSettings& app)
{
    QStringList values;
    for (const TSettingDef& def : SettingsCatalogue())
        std::visit([&](auto member) { values << def.key + "=" + QVariant(app.*member).toString(); }, def.member);
    return values;
}

// Every settings row as the database holds it.
QStringList Rows(TdmConnection& conn)
{
    QSqlQuery q(conn.Database());
    EXPECT_TRUE(q.exec("select _user, computer, _key, _values from settings order by _user, computer, _key"));
    QStringList rows;
    while (q.next())
        rows << QStringList{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString()}
                    .join("|");
    return rows;
}

QString SearchText(const TOstrivaleSearchOptions& o)
{
    return QStringList{QString::number(o.AllCategories), o.GetCategoryCodesText(), QString::number(o.IncludeSubcategories),
                       QString::number(o.ContentFlags), QString::number(o.DateRange), o.FromDate.toString(Qt::ISODate),
                       o.ToDate.toString(Qt::ISODate)}
        .join(";");
}

// Types text into a field with the keyboard, replacing what it held; any
// character, not only Latin-1 ones.
void Type(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    ASSERT_EQ(edit->text(), text);
}

class PreferencesTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        home = TestEnv::ScratchFolder();
        qputenv("TESSARYN_HOME", home.toUtf8());
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=" + home.toUtf8() + "no-bus");
        Start();
    }
    void TearDown() override
    {
        TFrmPreferences::ExecuteHook = nullptr;
        Stop();
        EngineTest::TearDown();
    }
    // The program starts: the main data module, then the main window, whose
    // task assistant and toolbar the preferences edit.
    void Start()
    {
        main = std::make_unique<TdmMain>(*conn, desktop);
        ASSERT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
        mainWindow = std::make_unique<TfrmTessarynMain>(*main);
        mainWindow->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(mainWindow.get()));
    }
    // The program ends: each owner writes its settings and they are sent.
    void Stop()
    {
        window.reset();
        mainWindow.reset();
        main.reset();
    }
    void Restart()
    {
        Stop();
        Start();
    }
    TFrmPreferences::TLayoutOwners Owners() const
    {
        return {mainWindow->LayoutManager().TaskAssistant(), mainWindow->LayoutManager().Toolbar()};
    }
    TToolbarAssistant& Toolbar() const { return mainWindow->LayoutManager().Toolbar(); }
    TFrmPreferences& Open(const QString& link = QString())
    {
        window = std::make_unique<TFrmPreferences>(*main, Owners());
        if (!link.isEmpty())
            window->SelectLink(link);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        return *window;
    }
    // Near the left edge: a check box or option stretched by its layout
    // answers only over its box and caption.
    void Click(QAbstractButton* button)
    {
        QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(std::min(8, button->width() / 2), button->height() / 2));
    }

    QString home;
    RecordingDesktop desktop;
    std::unique_ptr<TdmMain> main;
    std::unique_ptr<TfrmTessarynMain> mainWindow;
    std::unique_ptr<TFrmPreferences> window;
};

TEST_P(PreferencesTest, LinksChoosePagesCaptionsAndHelp)
{
    int shown = 0;
    QString link;
    QString caption;
    int help = 0;
    TFrmPreferences::ExecuteHook = [&](TFrmPreferences& w) {
        ++shown;
        link = w.CurrentLink();
        caption = w.CaptionText();
        help = w.CurrentHelpContext();
        return int(QDialog::Rejected);
    };
    TFrmPreferences::ShowPreferences(*main, Owners(), "tsSearchOptions");
    EXPECT_EQ(link, "tsSearchOptions");
    EXPECT_EQ(caption, "General preferences / Search options");
    EXPECT_EQ(help, 27);
    TFrmPreferences::ShowPreferences(*main, Owners(), "laMail");
    EXPECT_EQ(caption, "Exports / e-Mail");
    EXPECT_EQ(help, 36);
    TFrmPreferences::ShowPreferences(*main, Owners(), "no such link");
    EXPECT_EQ(link, "laEntryBrowsing");
    EXPECT_EQ(caption, "General preferences / Entry browsing");
    EXPECT_EQ(shown, 3);

    // the mail command's "Yes" (and the mail window's Settings button) go
    // through the engine's hook, which the main window installs
    ASSERT_TRUE(main->EntryManager().ShowPreferences);
    main->EntryManager().ShowPreferences("laMail");
    EXPECT_EQ(shown, 4);
    EXPECT_EQ(link, "laMail");

    // every link shows its own page, a group box with the caption tab or a
    // page holding such boxes, and a click on the link does it
    TFrmPreferences& w = Open();
    QSet<QWidget*> pages;
    for (const TFrmPreferences::TLink& l : TFrmPreferences::Links()) {
        auto* button = w.findChild<QPushButton*>(l.Name);
        ASSERT_TRUE(button) << l.Name.toStdString();
        EXPECT_EQ(button->text(), l.Caption);
        EXPECT_EQ(button->statusTip(), l.Hint);
        Click(button);
        EXPECT_EQ(w.CurrentLink(), l.Name);
        EXPECT_EQ(w.CurrentPage()->objectName(), l.Page);
        EXPECT_EQ(w.CaptionText(), l.Group + " / " + l.Caption);
        EXPECT_EQ(w.CurrentHelpContext(), l.HelpContext);
        EXPECT_TRUE(w.CurrentPage()->isVisible());
        EXPECT_TRUE(qobject_cast<TBGroupBox*>(w.CurrentPage()) || w.CurrentPage()->findChild<TBGroupBox*>())
            << l.Page.toStdString();
        pages << w.CurrentPage();
    }
    EXPECT_EQ(pages.size(), 17);
}

// One typed value: the field, the text, and what is stored or why it is refused.
struct TCase {
    const char* link;
    std::function<QLineEdit*(TFrmPreferences&)> field;
    QString typed;
    std::function<QString(const TdmMain&)> stored;
    QString expected;          // the stored value, or the start of the refusal
    bool refused;
    std::deque<TAnswer> answers = {};
};

TEST_P(PreferencesTest, TypedValuesAreStoredOrRefusedWithNothingHalfApplied)
{
    const QString file = home + "a file.txt";
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    }
    const QString odd = home + "with spaces \"quoted\" Ελληνικά";
    ASSERT_TRUE(QDir().mkpath(odd));
    const QString missing = home + "new folder/deeper";
    const QString missingRefused = home + "not made";
    const QString busy = home + "busy";
    ASSERT_TRUE(QDir().mkpath(busy));
    {
        QFile f(busy + "/mine.txt");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    const auto mru = [](TFrmPreferences& w) { return w.edCategoriesMRU; };
    const auto limit = [](TFrmPreferences& w) { return w.gbMail->edMailSizeLimit; };
    const auto colour = [](TFrmPreferences& w) { return w.edHTMLColor; };
    const auto exportFolder = [](TFrmPreferences& w) { return w.edExportFolder; };
    const auto extractFolder = [](TFrmPreferences& w) { return w.edExtractFolder; };
    const auto monitored = [](TFrmPreferences& w) { return w.edMonitoredFolder; };
    const auto mruValue = [](const TdmMain& m) { return QString::number(m.App.MostUsedCategoriesShown); };
    const auto limitValue = [](const TdmMain& m) { return QString::number(m.App.MailSizeLimit); };
    const auto colourValue = [](const TdmMain& m) { return m.App.HtmlBackgroundColor; };
    const auto exportValue = [](const TdmMain& m) { return m.App.ExportFolder; };
    const auto extractValue = [](const TdmMain& m) { return m.App.ExtractFolder; };
    const QString notInteger = "is not a valid integer value";

    const std::vector<TCase> cases = {
        {"laMRUCategories", mru, "7", mruValue, "7", false},
        {"laMRUCategories", mru, "0", mruValue, "1", false},
        {"laMRUCategories", mru, "-3", mruValue, "1", false},
        {"laMRUCategories", mru, "abc", mruValue, "'abc' is not a valid integer value", true},
        {"laMRUCategories", mru, "99999999999", mruValue, "'99999999999' " + notInteger, true},
        {"laMRUCategories", mru, "500", mruValue, "At most 100 categories can be shown first.", true},
        {"laMail", limit, "2048", limitValue, "2048", false},
        {"laMail", limit, "", limitValue, "1024", false},
        {"laMail", limit, "12kb", limitValue, "'12kb' " + notInteger, true},
        {"laMail", limit, "-5", limitValue, "The mail size limit must be a whole number from 1 to 1048576 (KB).", true},
        {"laMail", limit, "99999999", limitValue, "The mail size limit must be a whole number from 1 to 1048576 (KB).", true},
        {"laHTML", colour, "00ff00", colourValue, "00FF00", false},
        {"laHTML", colour, "FFFFF", colourValue, "'FFFFF' is not a colour", true},
        {"laHTML", colour, "FFFFFFF", colourValue, "'FFFFFFF' is not a colour", true},
        {"laHTML", colour, "12345G", colourValue, "'12345G' is not a colour", true},
        {"laFolders", exportFolder, odd, exportValue, odd + "/", false},
        {"laFolders", exportFolder, missing, exportValue, missing + "/", false, {TAnswer::Yes}},
        {"laFolders", exportFolder, missingRefused, exportValue,
         "Folder [" + missingRefused + "] does not exist, you cannot use it as the application's export folder.", true,
         {TAnswer::No}},
        {"laFolders", exportFolder, file, exportValue,
         "[" + file + "] is a file, not a folder, you cannot use it as the application's export folder.", true},
        {"laFolders", monitored, "relative/folder", exportValue, "Folder [relative/folder] is not a full path", true},
        {"laFolders", monitored, "", exportValue, "Enter the folder to use as the application's monitored folder.", true},
        {"laFolders", extractFolder, busy, extractValue, "Folder [" + busy + "] is not empty", true, {TAnswer::No}},
        {"laFolders", extractFolder, busy, extractValue, busy + "/", false, {TAnswer::Yes}},
    };

    for (const TCase& c : cases) {
        SCOPED_TRACE(c.typed.toStdString());
        const QStringList before = Values(main->App);
        const QStringList rowsBefore = Rows(*conn);
        TFrmPreferences& w = Open(c.link);
        desktop.Clear();
        for (const TAnswer a : c.answers)
            desktop.QueueAnswer(a);
        // another change on another page, which a refusal must not let through
        w.chAllowAnyFileSize->setChecked(!main->App.AllowAnyFileSize);
        const bool anyFileSize = w.chAllowAnyFileSize->isChecked();
        QLineEdit* field = c.field(w);
        Type(field, c.typed);
        Click(w.btnOK);
        if (c.refused) {
            EXPECT_TRUE(w.isVisible()) << "the window stays open";
            EXPECT_TRUE(w.FieldError(field).startsWith(c.expected)) << w.FieldError(field).toStdString();
            EXPECT_TRUE(w.findChild<QLabel*>(field->objectName() + "Error")->isVisible()) << "said next to the field";
            EXPECT_TRUE(field->isVisible()) << "its page is shown";
            ASSERT_FALSE(desktop.messages.isEmpty());
            EXPECT_TRUE(desktop.messages.last().text.startsWith(c.expected));
            EXPECT_EQ(Values(main->App), before);
            EXPECT_EQ(Rows(*conn), rowsBefore);
            Click(w.btnCancel);
        } else {
            EXPECT_FALSE(w.isVisible()) << w.FieldError(field).toStdString();
            EXPECT_EQ(w.result(), int(QDialog::Accepted));
            EXPECT_EQ(c.stored(*main), c.expected);
            EXPECT_EQ(main->App.AllowAnyFileSize, anyFileSize);
        }
        window.reset();
    }
    EXPECT_TRUE(QFileInfo(missing).isDir()) << "created when asked to";
    EXPECT_FALSE(QFileInfo(missingRefused).exists());
    EXPECT_TRUE(QFileInfo::exists(busy + "/mine.txt")) << "the user's file stays where it was";
    EXPECT_TRUE(QFileInfo::exists(file));

    // a folder that cannot be written to
    TestEnv::TScopedTmpfs medium(home + "medium", "1M");
    if (medium.Mounted() && medium.RemountReadOnly()) {
        const QStringList before = Values(main->App);
        TFrmPreferences& w = Open("laFolders");
        Type(w.edMonitoredFolder, home + "medium");
        Click(w.btnOK);
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.FieldError(w.edMonitoredFolder),
                  "Folder [" + home + "medium] cannot be written to, you cannot use it as the application's monitored folder.");
        EXPECT_EQ(Values(main->App), before);
        window.reset();
    }
}

TEST_P(PreferencesTest, CancelLeavesEverySettingAsItWas)
{
    const QStringList before = Values(main->App);
    const QString searchBefore = SearchText(main->SearchOptions());
    const QStringList rowsBefore = Rows(*conn);
    const int scheme = main->App.ColorScheme;
    int applied = 0;
    struct Observer : IColorSchemeObserver {
        int* count;
        void ApplyColorScheme() override { ++*count; }
    } observer;
    observer.count = &applied;
    main->AddColorSchemeObserver(&observer);

    TFrmPreferences& w = Open();
    // every box toggled, every option moved, every field typed into
    for (QCheckBox* box : w.findChildren<QCheckBox*>())
        if (box->isEnabled())
            box->setChecked(!box->isChecked());
    for (QRadioButton* option : w.findChildren<QRadioButton*>())
        if (!option->isChecked())
            option->setChecked(true);
    for (QLineEdit* edit : w.findChildren<QLineEdit*>())
        if (edit->isEnabled())
            edit->setText("99");
    w.coColourScheme->setCurrentIndex(2);
    Click(w.btnApplyColorScheme);
    EXPECT_EQ(main->App.ColorScheme, 2) << "applied at once, for a look";
    w.grToobarButtons->DropOn(5);
    desktop.QueueAnswer(TAnswer::Yes);
    Click(w.btnRestoreDefaults);
    EXPECT_EQ(desktop.messages.last().text, TFrmPreferences::RestoreDefaultsQuestion);
    EXPECT_EQ(w.coColourScheme->currentIndex(), 0) << "the defaults are in the fields";
    Click(w.btnCancel);
    EXPECT_FALSE(w.isVisible());

    EXPECT_EQ(main->App.ColorScheme, scheme);
    EXPECT_EQ(main->Colour(csHighlightStart), TdmMain::SchemePalette(scheme)[csHighlightStart - 1]);
    EXPECT_GE(applied, 2) << "the windows were told of the look and of its end";
    EXPECT_EQ(Values(main->App), before);
    EXPECT_EQ(SearchText(main->SearchOptions()), searchBefore);
    EXPECT_EQ(Rows(*conn), rowsBefore);
    main->RemoveColorSchemeObserver(&observer);

    // also after the program ended: nothing of it was kept
    Restart();
    EXPECT_EQ(Values(main->App), before);
}

TEST_P(PreferencesTest, SavedChoicesComeBackAfterARestart)
{
    const QString folder = TestEnv::ScratchFolder() + "Εξαγωγή";
    TFrmPreferences& w = Open("laEntryBrowsing");
    Click(w.rbDefActSingleExplore);
    Click(w.rbDefActMultipleExplore);
    w.coEntriesSortOrder->setCurrentIndex(3);
    Click(w.findChild<QPushButton*>("laDragDrop"));
    Click(w.rbOnDropSave);
    Click(w.findChild<QPushButton*>("laTextHandling"));
    Click(w.rbAlwaysNoFormattingHTML);
    Click(w.findChild<QPushButton*>("laCleanupTemp"));
    Click(w.rbCleanupOnEntryClose);
    EXPECT_EQ(w.laCleanupExplanation->text().left(30), "This option provides the maxim");
    Click(w.findChild<QPushButton*>("laColours"));
    w.coColourScheme->setCurrentIndex(3);
    EXPECT_EQ(w.imgColourScheme->Slot(csHighlightStart), QColor(0xE3, 0xDF, 0xBA)) << "the preview follows at once";
    Click(w.findChild<QPushButton*>("laLayout"));
    Click(w.rbLayoutLeft);
    Click(w.findChild<QPushButton*>("laTaskAssistantPanels"));
    Click(w.chTaskPanels[8]);
    Click(w.findChild<QPushButton*>("laTrayBarOptions"));
    Click(w.chShowInTrayBar);
    EXPECT_FALSE(w.gbNotifications->isVisible()) << "the notifications follow the tray icon";
    Click(w.findChild<QPushButton*>("tsSearchOptions"));
    EXPECT_TRUE(w.chSearchAllCategories->isChecked()) << "an empty filter is all categories";
    EXPECT_FALSE(w.lbCategories->isVisible());
    Click(w.chSearchAllCategories);
    EXPECT_TRUE(w.lbCategories->isVisible());
    Click(w.chSearchInSource);
    Click(w.chSearchInDateRange);
    Type(w.edSearchFromDate, QLocale().toString(QDate(2004, 5, 6), QLocale::ShortFormat));
    Click(w.findChild<QPushButton*>("laFolders"));
    Type(w.edExportFolder, folder);
    desktop.QueueAnswer(TAnswer::Yes);   // create it
    Click(w.findChild<QPushButton*>("laToolbarButtons"));
    // the first row to the fourth place with the keyboard; the second row's check off with the mouse
    w.grToobarButtons->setFocus();
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(w.grToobarButtons->viewport(), Qt::Key_Down, Qt::ControlModifier);
    QTest::mouseClick(w.grToobarButtons->viewport(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(10, TToolbarButtonsGrid::RowHeight + 10));
    const TToolbarButtonList chosen = w.grToobarButtons->List();
    EXPECT_EQ(chosen.At(3).Identifier, "btn_NewEntryFromClipboard");
    EXPECT_EQ(chosen.At(0).Identifier, "btn_NewEntryFromMonitoredFolder");
    EXPECT_FALSE(chosen.At(1).Visible);
    Click(w.btnOK);
    ASSERT_FALSE(w.isVisible()) << desktop.MessageTexts().join("\n").toStdString();
    EXPECT_EQ(main->App.ColorScheme, 3);

    Restart();
    const TAppSettings& app = main->App;
    EXPECT_EQ(app.DefaultActionSingleFile, 2);
    EXPECT_EQ(app.DefaultActionMultipleFiles, 2);
    EXPECT_EQ(app.EntriesSortOrder, 3);
    EXPECT_EQ(app.OnDropAction, 1);
    EXPECT_EQ(app.ClipboardTextHandling, 4);
    EXPECT_EQ(app.CleanupTemporaryFiles, 0);
    EXPECT_EQ(app.ColorScheme, 3);
    EXPECT_FALSE(app.ShowTrayIcon);
    EXPECT_EQ(app.ExportFolder, folder + "/");
    EXPECT_FALSE(main->SearchOptions().AllCategories);
    EXPECT_TRUE(main->SearchOptions().GetContentFlag(TOstrivaleSearchOptions::scSource));
    EXPECT_TRUE(main->SearchOptions().DateRange);
    EXPECT_EQ(main->SearchOptions().FromDate, QDate(2004, 5, 6));
    EXPECT_EQ(main->SearchOptions().ToDate, QDate(2078, 12, 31));
    // the toolbar's and the task assistant's keys, where their owners read them
    ISettingsManager& s = main->Settings();
    {
        TSettingsAccess access(s);
        s.UseUserAllComputers();
        EXPECT_EQ(s.ReadInteger("btn_NewEntryFromClipboard order", -1, "Toolbar buttons"), 3);
        EXPECT_FALSE(s.ReadBool("btn_NewEntryFromQuickNote", true, "Toolbar buttons"));
        EXPECT_EQ(s.ReadInteger("Task assistant layout", 4, "Layout"), 3);
        EXPECT_FALSE(s.ReadBool("Sorting", true, "Layout\\Task assistant VISIBLE panels"));
        EXPECT_TRUE(s.ReadBool("Browse", false, "Layout\\Task assistant VISIBLE panels"));
        s.UseUserThisComputer();
    }
    EXPECT_EQ(Toolbar().Entry(3)->Identifier, "btn_NewEntryFromClipboard");

    // and the window shows them again
    TFrmPreferences& again = Open();
    EXPECT_TRUE(again.rbDefActSingleExplore->isChecked());
    EXPECT_TRUE(again.rbLayoutLeft->isChecked());
    EXPECT_FALSE(again.chTaskPanels[8]->isChecked());
    EXPECT_EQ(again.coColourScheme->currentIndex(), 3);
    EXPECT_EQ(again.edExportFolder->text(), folder + "/");
    EXPECT_EQ(again.grToobarButtons->List().At(3).Identifier, "btn_NewEntryFromClipboard");
    EXPECT_FALSE(again.lbCategories->isHidden() && !again.chSearchAllCategories->isChecked());

    // "Restore defaults" and "Save": the defaults, the folders and the
    // search flags kept
    desktop.QueueAnswer(TAnswer::Yes);
    Click(again.btnRestoreDefaults);
    Click(again.btnOK);
    ASSERT_FALSE(again.isVisible()) << desktop.MessageTexts().join("\n").toStdString();
    EXPECT_EQ(main->App.ColorScheme, 0);
    EXPECT_EQ(main->App.CleanupTemporaryFiles, 2);
    EXPECT_TRUE(main->App.ShowTrayIcon);
    EXPECT_EQ(main->App.ExportFolder, folder + "/");
    EXPECT_TRUE(main->SearchOptions().AllCategories);
    EXPECT_TRUE(main->SearchOptions().GetContentFlag(TOstrivaleSearchOptions::scSource));
    EXPECT_EQ(Toolbar().Entry(0)->Identifier, "btn_NewEntryFromClipboard");
    TSettingsAccess access(s);
    s.UseUserAllComputers();
    EXPECT_FALSE(s.ReadBool("Sorting", true, "Layout\\Task assistant EXPANDED panels"));
    EXPECT_TRUE(s.ReadBool("Sorting", false, "Layout\\Task assistant VISIBLE panels"));
    s.UseUserThisComputer();
}

TEST_P(PreferencesTest, ClearExportFolderEmptiesTheStoredFolderOnlyWhenConfirmed)
{
    const QString folder = main->App.ExportFolder;
    WriteFile(folder + "Reading list.html", "<html/>");
    WriteFile(folder + "READING LIST_files/12/notes.txt");
    TFrmPreferences& w = Open("laFolders");
    Type(w.edExportFolder, "/somewhere/else");
    desktop.QueueAnswer(TAnswer::No);
    Click(w.btnClearExportFolder);
    EXPECT_EQ(desktop.messages.last().text, TFrmPreferences::ClearFolderQuestion.arg(folder));
    EXPECT_TRUE(QFileInfo::exists(folder + "READING LIST_files/12/notes.txt"));
    desktop.QueueAnswer(TAnswer::Yes);
    Click(w.btnClearExportFolder);
    EXPECT_TRUE(QDir(folder).isEmpty()) << "all but the hidden mark of a folder the program made";
    EXPECT_TRUE(QFileInfo(folder).isDir()) << "the folder itself stays";
}

// "Clear !" deletes everything below the stored folder: it refuses, before
// asking anything, any folder that is not one of exports the program made.
// Each folder is stored the way the user stores it, and each is refused by
// its own rule.
TEST_P(PreferencesTest, ClearExportFolderLeavesAloneWhatIsNoExportFolderOfItsOwn)
{
    const QString scratch = TestEnv::ScratchFolder();
    const QString home = scratch + "outer/home/";
    // never the real home folder
    struct TFakeHome {
        QByteArray real = qgetenv("HOME");
        explicit TFakeHome(const QString& fake) { qputenv("HOME", fake.toUtf8()); }
        ~TFakeHome() { qputenv("HOME", real); }
    } fakeHome(home);
    const auto exportsIn = [](const QString& folder) {
        WriteFile(folder + "page.html", "<html/>");
        WriteFile(folder + "PAGE_files/7/kept.txt");
    };
    const auto everything = [&](const QString& folder) {
        QStringList paths;
        for (const QString& root : {scratch, folder}) {
            QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                            QDirIterator::Subdirectories);
            while (it.hasNext())
                paths << it.next();
        }
        return paths;
    };
    const struct {
        const char* name;
        QString folder;
        bool ownFolder;   // made before it is chosen, not by the program
        std::function<void(const QString&)> prepare;
        QString refusal;
    } cases[] = {
        {"the home folder", home, false, exportsIn, "is your home folder or holds it"},
        {"a folder holding the home folder", scratch + "outer/", false, exportsIn, "is your home folder or holds it"},
        {"a folder the program did not make", scratch + "mine/", true, exportsIn, "was not made by Tessaryn"},
        {"a file that is no export", main->App.ExportFolder, false,
         [&](const QString& f) {
             exportsIn(f);
             WriteFile(f + "tax return.pdf");
         },
         "holds \"tax return.pdf\""},
        {"a files folder without its page", scratch + "made/", false,
         [&](const QString& f) {
             exportsIn(f);
             WriteFile(f + "OTHER_files/a.txt");
         },
         "holds \"OTHER_files\""},
        {"a link", scratch + "linked/", false,
         [&](const QString& f) {
             exportsIn(f);
             ASSERT_TRUE(QFile::link(scratch + "mine/page.html", f + "link.html"));
         },
         "holds \"link.html\""},
        {"a folder that is no longer there", scratch + "gone/", false,
         [](const QString& f) { ASSERT_TRUE(QDir(f).removeRecursively()); }, "does not exist"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.ownFolder) {
            ASSERT_TRUE(QDir().mkpath(c.folder));
        }
        TFrmPreferences& w = Open("laFolders");
        Type(w.edExportFolder, c.folder);
        desktop.QueueAnswer(TAnswer::Yes);   // create it, when it is not there
        Click(w.btnOK);
        ASSERT_FALSE(w.isVisible()) << desktop.MessageTexts().join("\n").toStdString();
        ASSERT_EQ(main->App.ExportFolder, c.folder);
        c.prepare(c.folder);
        const QStringList before = everything(c.folder);
        TFrmPreferences& again = Open("laFolders");
        desktop.Clear();
        desktop.QueueAnswer(TAnswer::Yes);   // were it asked, Yes would delete
        Click(again.btnClearExportFolder);
        ASSERT_EQ(desktop.messages.size(), 1) << desktop.MessageTexts().join("\n").toStdString();
        EXPECT_EQ(desktop.messages[0].kind, IDesktop::TMsgKind::Warning);
        EXPECT_TRUE(desktop.messages[0].text.contains(c.refusal)) << desktop.messages[0].text.toStdString();
        EXPECT_EQ(everything(c.folder), before) << "nothing deleted";
        desktop.Clear();
    }
}

// A blank stored folder is the default one, never the root.
TEST_P(PreferencesTest, ABlankExportFolderSettingIsTheDefaultFolder)
{
    const QString defaultFolder = main->App.ExportFolder;
    {
        ISettingsManager& s = main->Settings();
        TSettingsAccess access(s);
        s.UseUserThisComputer();
        s.WriteString("Export folder", "  ", "Settings\\folders");
    }
    main->App.ExportFolder = "  ";   // what exit would otherwise write back
    Restart();
    ASSERT_EQ(main->App.ExportFolder, defaultFolder);
    WriteFile(defaultFolder + "page.html", "<html/>");
    TFrmPreferences& w = Open("laFolders");
    desktop.QueueAnswer(TAnswer::Yes);
    Click(w.btnClearExportFolder);
    EXPECT_EQ(desktop.messages.last().text, TFrmPreferences::ClearFolderQuestion.arg(defaultFolder));
    EXPECT_FALSE(QFileInfo::exists(defaultFolder + "page.html"));
}

// With TESSARYN_SCREENS=<folder>, every page of the window and the colour
// page in each scheme are written there as PNG files.
TEST_P(PreferencesTest, ScreenshotsWhenAsked)
{
    const QString folder = qEnvironmentVariable("TESSARYN_SCREENS");
    if (folder.isEmpty() || GetParam() != TEngine::SQLite)
        GTEST_SKIP() << "set TESSARYN_SCREENS to a folder to get the pictures";
    QDir().mkpath(folder);
    TAppResources::Register();
    TFrmPreferences& w = Open();
    for (const TFrmPreferences::TLink& l : TFrmPreferences::Links()) {
        w.SelectLink(l.Name);
        QApplication::processEvents();
        ASSERT_TRUE(w.grab().save(folder + QString("/preferences-%1.png").arg(l.Page)));
    }
    w.SelectLink("laColours");
    for (int scheme = 0; scheme < 4; ++scheme) {
        w.coColourScheme->setCurrentIndex(scheme);
        QTest::mouseClick(w.btnApplyColorScheme, Qt::LeftButton);
        QApplication::processEvents();
        ASSERT_TRUE(w.grab().save(folder + QString("/preferences-colours-scheme-%1.png").arg(scheme)));
    }
    // a refused value, said next to its field
    w.SelectLink("laMRUCategories");
    Type(w.edCategoriesMRU, "abc");
    Click(w.btnOK);
    QApplication::processEvents();
    ASSERT_TRUE(w.grab().save(folder + "/preferences-refused.png"));
}

TESSARYN_INSTANTIATE_ENGINES(PreferencesTest);

} // namespace

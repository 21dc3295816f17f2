#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "app/AppResources.h"
#include "browsing/dBookmarkSets.h"
#include "browsing/fBookmarkSetBrowser.h"
#include "controls/RecordListGrid.h"
#include "db/ClientRecordSet.h"
#include "db/dmConnection.h"
#include "editing/fSelectBookmarkSet.h"
#include "editing/fSelectCategories.h"
#include "mainwindow/fMain.h"
#include "organisation/fBookmarkSetManager.h"
#include "organisation/fCategories.h"
#include "settings/dmMain.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <QTimer>
#include <deque>
#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// The bookmark-set manager on a real database, its set window answered by
// typing into the fields and pressing a button.
class BookmarkSetManagerTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
        TAppResources::Register();
        InsertSet(99, "Built in");
        InsertSet(100, "Reading");
        // the code given here is taken: new sets get higher ones
        conn->ReserveNextRecIDs("bookmarksets", 1);
        main = std::make_unique<TdmMain>(*conn, desktop);
        ASSERT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
    }
    void TearDown() override
    {
        TFrmEditBookmarkSet::ExecuteHook = nullptr;
        form.reset();
        main.reset();
        EngineTest::TearDown();
    }

    void InsertSet(int code, const QString& name)
    {
        QSqlQuery q(conn->Database());
        ASSERT_TRUE(q.prepare("insert into bookmarkSets (code, GUID, name, description) values (?, ?, ?, ?)"));
        q.addBindValue(code);
        q.addBindValue(QString("00000000-0000-0000-0000-%1").arg(code, 12, 10, QChar('0')));
        q.addBindValue(name);
        q.addBindValue(QString("about " + name));
        ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
    }
    // "name|description" of the stored sets, by name.
    QStringList Stored()
    {
        QSqlQuery q(conn->Database());
        EXPECT_TRUE(q.exec("select name, description from bookmarkSets order by name"));
        QStringList rows;
        while (q.next())
            rows << q.value(0).toString() + "|" + q.value(1).toString();
        return rows;
    }

    void Open()
    {
        form = std::make_unique<TfrmBookmarkSetManager>(*main);
        form->ExecuteEditDialog = [this](TFrmEditBookmarkSet& dialog) { return Answer(dialog); };
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        grid = form->Browser()->Grid();
    }
    void Select(const QString& name)
    {
        for (int row = 0; row < grid->RowCount(); ++row)
            if (grid->RowText(row) == name) {
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->RowRect(row).center());
                return;
            }
        ADD_FAILURE() << "no set " << name.toStdString();
    }
    QStringList Listed() const
    {
        QStringList names;
        for (int row = 0; row < grid->RowCount(); ++row)
            names << grid->RowText(row);
        return names;
    }

    // The set window's answers: texts typed (none: left as they are), OK or Cancel.
    struct TAnswer {
        std::optional<QString> name;
        std::optional<QString> description;
        bool ok = true;
    };
    std::deque<TAnswer> answers;
    QStringList captions, shownNames;
    bool Answer(TFrmEditBookmarkSet& dialog)
    {
        captions << dialog.windowTitle();
        shownNames << dialog.Name();
        const TAnswer answer = answers.empty() ? TAnswer{} : answers.front();
        if (!answers.empty())
            answers.pop_front();
        dialog.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        for (auto [edit, text] : {std::pair{dialog.edName, answer.name}, {dialog.edDescription, answer.description}}) {
            if (!text)
                continue;
            edit->setFocus();
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Delete);
            QTest::keyClicks(edit, *text);
        }
        QTest::mouseClick(answer.ok ? dialog.btnOK : dialog.btnCancel, Qt::LeftButton);
        const bool accepted = dialog.result() == QDialog::Accepted && !dialog.isVisible();
        dialog.hide();
        return accepted;
    }
    void Click(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }

    RecordingDesktop desktop;
    std::unique_ptr<TdmMain> main;
    std::unique_ptr<TfrmBookmarkSetManager> form;
    TRecordListGrid* grid = nullptr;
};

TEST_P(BookmarkSetManagerTest, NewEditAndDeleteReachTheDatabaseOnlyWithSave)
{
    Open();
    EXPECT_EQ(form->windowTitle(), "Manage bookmark sets");
    EXPECT_FALSE(form->btnSave->isEnabled());
    Select("Reading");
    // a new set: the window offers the placeholder name; blanks are kept here
    answers = {{QString("  Holiday  "), QString("places")}};
    Click(form->btnNew);
    EXPECT_EQ(captions, QStringList{"New bookmark set"});
    EXPECT_EQ(shownNames, QStringList{"< New bookmark set >"});
    EXPECT_EQ(form->Browser()->CurrentSetCode(), 100) << "the set current before stays current";
    EXPECT_EQ(Listed(), QStringList({"  Holiday  ", "Built in", "Default", "Reading"}));
    EXPECT_TRUE(form->btnSave->isEnabled());
    // edit by double click
    answers = {{QString("Reading list"), std::nullopt}};
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, grid->RowRect(Listed().indexOf("Reading")).center());
    EXPECT_EQ(captions.last(), "Edit bookmark set");
    // nothing is stored yet
    EXPECT_EQ(Stored(), QStringList({"Built in|about Built in", "Default|Entries bookmarked without choosing a set",
                                     "Reading|about Reading"}));
    Click(form->btnSave);
    EXPECT_EQ(form->result(), TfrmBookmarkSetManager::ResultYes);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(Stored(), QStringList({"  Holiday  |places", "Built in|about Built in",
                                     "Default|Entries bookmarked without choosing a set",
                                     "Reading list|about Reading"}));
}

TEST_P(BookmarkSetManagerTest, AddedAndDeletedBeforeSavingLeavesNothingToSave)
{
    Open();
    answers = {{QString("Short lived"), std::nullopt}};
    Click(form->btnNew);
    Select("Short lived");
    desktop.QueueAnswer(IDesktop::TAnswer::Yes);
    Click(form->btnDelete);
    EXPECT_EQ(desktop.MessageTexts(), QStringList{"Are you sure you want to delete the selected bookmark set?"});
    EXPECT_FALSE(form->HasPendingChanges());
    EXPECT_FALSE(form->btnSave->isEnabled());
    // answering No to the question keeps the set
    Select("Reading");
    desktop.QueueAnswer(IDesktop::TAnswer::No);
    Click(form->btnDelete);
    EXPECT_TRUE(Listed().contains("Reading"));
    // and Exit without changes asks nothing
    desktop.Clear();
    Click(form->btnCancel);
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(desktop.messages.isEmpty());
}

TEST_P(BookmarkSetManagerTest, TheProgramsOwnSetsCannotBeChanged)
{
    Open();
    for (const QString& name : {QString("Built in"), QString("Default")}) {
        SCOPED_TRACE(name.toStdString());
        Select(name);
        EXPECT_FALSE(form->btnEdit->isEnabled());
        EXPECT_FALSE(form->btnDelete->isEnabled());
        desktop.Clear();
        // the double click (and the commands) are refused with the message
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, grid->RowRect(Listed().indexOf(name)).center());
        form->DeleteSet();
        EXPECT_EQ(desktop.MessageTexts(),
                  QStringList(2, "You cannot modify or delete the default bookmark set of the application."));
        EXPECT_TRUE(captions.isEmpty());
    }
    // the first user set can be changed and deleted
    Select("Reading");
    EXPECT_TRUE(form->btnEdit->isEnabled());
    EXPECT_TRUE(form->btnDelete->isEnabled());
    desktop.QueueAnswer(IDesktop::TAnswer::Yes);
    Click(form->btnDelete);
    Click(form->btnSave);
    EXPECT_EQ(Stored(), QStringList({"Built in|about Built in", "Default|Entries bookmarked without choosing a set"}));
}

TEST_P(BookmarkSetManagerTest, ABlankNameKeepsTheWindowOpen)
{
    Open();
    TFrmEditBookmarkSet dialog(*main, form.get());
    dialog.SetAddMode(true);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QTest::keyClicks(dialog.edName, "   ");
    Click(dialog.btnOK);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(desktop.messages.isEmpty());
    // longer than the database keeps: said, and the window stays
    dialog.edName->setText(QString(300, 'n'));
    Click(dialog.btnOK);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(desktop.MessageTexts(),
              QStringList{"The name of a bookmark set can be at most 255 characters long; this one has 300."});
    dialog.edName->setText("x");
    Click(dialog.btnOK);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

TEST_P(BookmarkSetManagerTest, ClosingWithChangesAsksWhatToDo)
{
    const QStringList before = Stored();
    struct TCase {
        IDesktop::TAnswer answer;
        bool staysOpen;
        bool saved;
    } cases[] = {
        {IDesktop::TAnswer::Cancel, true, false},
        {IDesktop::TAnswer::No, false, false},
        {IDesktop::TAnswer::Yes, false, true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(int(c.answer));
        Open();
        answers = {{QString("Pending"), std::nullopt}};
        Click(form->btnNew);
        desktop.Clear();
        desktop.QueueAnswer(c.answer);
        Click(form->btnCancel);
        EXPECT_EQ(desktop.MessageTexts(),
                  QStringList{"You have made changes to the bookmark sets. Do you want to save these changes?"});
        EXPECT_EQ(form->isVisible(), c.staysOpen);
        EXPECT_EQ(Stored().contains("Pending|"), c.saved);
        if (c.saved)
            EXPECT_EQ(form->result(), TfrmBookmarkSetManager::ResultYes);
        else
            EXPECT_EQ(Stored(), before);
        form.reset();
    }
}

TEST_P(BookmarkSetManagerTest, ARefusedSaveKeepsTheChangesPending)
{
    Open();
    answers = {{QString("Clash"), std::nullopt}};
    Click(form->btnNew);
    // another user took the new set's code meanwhile
    QSqlQuery q(conn->Database());
    ASSERT_TRUE(q.exec("select max(code) from bookmarkSets"));
    ASSERT_TRUE(q.next());
    const int taken = form->SetsRecordSet().Locate("name", "Clash") ? form->SetsRecordSet().AsInteger("code") : -1;
    ASSERT_GT(taken, q.value(0).toInt());
    InsertSet(taken, "Theirs");
    Click(form->btnSave);
    EXPECT_TRUE(form->isVisible());
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_EQ(desktop.messages[0].kind, IDesktop::TMsgKind::Error);
    EXPECT_TRUE(form->HasPendingChanges());
    EXPECT_TRUE(form->btnSave->isEnabled());
    EXPECT_FALSE(Stored().contains("Clash|"));
}

TEST_P(BookmarkSetManagerTest, QuickCreationStoresTheTrimmedTextsAtOnce)
{
    answers = {{QString("  Trip  "), QString("  by train ")}};
    TFrmEditBookmarkSet::ExecuteHook = [this](TFrmEditBookmarkSet& dialog) { return Answer(dialog); };
    const int code = AskNewBookmarkSet(*main);
    EXPECT_GE(code, TdmBookmarkSets::FirstUserSet);
    EXPECT_EQ(captions, QStringList{"New bookmark set"});
    EXPECT_EQ(shownNames, QStringList{""});
    EXPECT_TRUE(Stored().contains("Trip|by train"));
    // cancelled: no set
    answers = {{QString("Never"), std::nullopt, false}};
    EXPECT_EQ(AskNewBookmarkSet(*main), -1);
    EXPECT_FALSE(Stored().contains("Never|"));
}

// F1 opens the page of the control with the focus when it has one (the
// bookmark-set list has 5, also where another window embeds it), otherwise
// the window's own page.
TEST_P(BookmarkSetManagerTest, F1OpensThePageOfTheFocusedListOrOfTheWindow)
{
    TfrmBookmarkSetManager manager(*main);
    TFrmSelectBookmarkSet picker(*main);
    TfrmCategories categories(*main);
    TfrmSelectCategories categoryPicker(*main);
    const struct {
        QWidget* window;
        QWidget* focus;
        int page;
    } cases[] = {
        {&manager, manager.btnNew, 49},
        {&manager, manager.Browser()->Grid(), 5},
        {&picker, picker.btnCancel, 51},
        {&picker, picker.Browser()->Grid(), 5},
        {&categories, categories.btnNewPeer, 48},
        {&categoryPicker, categoryPicker.btnCancel, 1000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString(c.window->objectName() + " " + c.focus->objectName()).toStdString());
        desktop.Clear();
        c.window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(c.window));
        QApplication::setActiveWindow(c.window);
        if (auto* list = qobject_cast<TRecordListGrid*>(c.focus))
            QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->RowRect(0).center());
        else
            c.focus->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), c.focus);
        QTest::keyClick(c.focus, Qt::Key_F1);
        EXPECT_EQ(desktop.opened, QStringList{TfrmTessarynMain::HelpPage(c.page)});
        c.window->hide();
    }
}

TESSARYN_INSTANTIATE_ENGINES(BookmarkSetManagerTest);

} // namespace

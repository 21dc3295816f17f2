#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "app/AppResources.h"
#include "controls/BTreeView.h"
#include "db/ClientRecordSet.h"
#include "engine/Category.h"
#include "engine/EntryData.h"
#include "engine/EntryManager.h"
#include "engine/OpenEntries.h"
#include "organisation/fCategories.h"
#include "settings/dmMain.h"

#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSqlError>
#include <QSqlQuery>
#include <QTest>
#include <gtest/gtest.h>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// The category manager on a real database, driven with real mouse and key
// events. The category window is answered by the test: it types into the
// fields and presses a button, as the user does.
class CategoryManagerTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
        TAppResources::Register();
    }
    void TearDown() override
    {
        form.reset();
        main.reset();
        EngineTest::TearDown();
    }

    // Categories written straight into the database: code, parent, name.
    void Insert(const QList<std::tuple<int, int, QString>>& rows)
    {
        // The codes given here are taken: new categories get higher ones.
        conn->ReserveNextRecIDs("categories", 100);
        QSqlQuery q(conn->Database());
        for (const auto& [code, parent, name] : rows) {
            ASSERT_TRUE(q.prepare("insert into categories (code, parent, name, description) values (?, ?, ?, ?)"));
            q.addBindValue(code);
            q.addBindValue(parent);
            q.addBindValue(name);
            q.addBindValue(QString("about " + name));
            ASSERT_TRUE(q.exec()) << q.lastError().text().toStdString();
        }
    }
    void InsertEntry(int code, int category)
    {
        QSqlQuery q(conn->Database());
        ASSERT_TRUE(q.exec(QString("insert into entries (code, category, Title, PasswordProtected) values (%1, %2, "
                                   "'entry', 0)")
                               .arg(code)
                               .arg(category)))
            << q.lastError().text().toStdString();
    }
    // The categories as the database holds them: "name<parent name" in name order.
    QStringList Stored()
    {
        QSqlQuery q(conn->Database());
        EXPECT_TRUE(q.exec("select c.name, coalesce(p.name, '') from categories c left join categories p on "
                           "p.code = c.parent order by c.name"));
        QStringList rows;
        while (q.next())
            rows << q.value(0).toString() + "<" + q.value(1).toString();
        return rows;
    }

    void Open()
    {
        main = std::make_unique<TdmMain>(*conn, desktop);
        ASSERT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
        form = std::make_unique<TfrmCategories>(*main);
        form->ExecuteEditDialog = [this](TfrmEditCategory& dialog) { return AnswerDialog(dialog); };
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        tv = form->Tree();
    }

    // What the category window is answered with: the texts typed into the
    // fields (nothing: left as they are) and the button pressed.
    struct TAnswer {
        std::optional<QString> name;
        std::optional<QString> description;
        bool ok = true;
    };
    std::deque<TAnswer> answers;
    QStringList dialogCaptions;
    bool AnswerDialog(TfrmEditCategory& dialog)
    {
        dialogCaptions << dialog.windowTitle();
        const TAnswer answer = answers.empty() ? TAnswer{} : answers.front();
        if (!answers.empty())
            answers.pop_front();
        dialog.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        const auto type = [](QLineEdit* edit, const QString& text) {
            edit->setFocus();
            edit->selectAll();
            QTest::keyClick(edit, Qt::Key_Delete);
            // Key events carry Latin-1 letters; typing 300 of them is slow.
            // The rest is pasted in.
            int typed = 0;
            while (typed < text.size() && typed < 20 && text[typed].unicode() < 0x80)
                ++typed;
            QTest::keyClicks(edit, text.left(typed));
            edit->insert(text.mid(typed));
        };
        if (answer.name)
            type(dialog.edName, *answer.name);
        if (answer.description)
            type(dialog.edDescription, *answer.description);
        QTest::mouseClick(answer.ok ? dialog.btnOK : dialog.btnCancel, Qt::LeftButton);
        const bool accepted = dialog.result() == QDialog::Accepted && !dialog.isVisible();
        dialog.hide();
        return accepted;
    }

    TBTreeViewNode* Node(const QString& name)
    {
        const TTreeNodesIterator all(&tv->Nodes(), false, true);
        for (TBTreeViewNode* node : all.List())
            if (node->DataAs<TCategory>()->Name() == name)
                return node;
        return nullptr;
    }
    void Click(const QString& name)
    {
        TBTreeViewNode* node = Node(name);
        ASSERT_TRUE(node) << name.toStdString();
        const QRect row = tv->RowRect(tv->RowOfNode(node));
        QTest::mouseClick(tv->viewport(), Qt::LeftButton, Qt::NoModifier,
                          QPoint(tv->TextRect(row, node->Level()).left() + 3, row.center().y()));
    }
    QStringList Tree()
    {
        QStringList rows;
        const TTreeNodesIterator all(&tv->Nodes(), false, true);
        for (TBTreeViewNode* node : all.List())
            rows << QString(node->Level() - 1, '.') + node->DataAs<TCategory>()->Name();
        return rows;
    }

    RecordingDesktop desktop;
    std::unique_ptr<TdmMain> main;
    std::unique_ptr<TfrmCategories> form;
    TBTreeView* tv = nullptr;
};

TEST_P(CategoryManagerTest, TheFirstCategoryOfAFreshDatabase)
{
    Open();
    EXPECT_EQ(tv->RowCount(), 0);
    EXPECT_TRUE(form->btnNewPeer->isEnabled());
    EXPECT_FALSE(form->btnNewChild->isEnabled());
    EXPECT_FALSE(form->btnSave->isEnabled());
    answers.push_back({"Notes", "my notes"});
    QTest::mouseClick(form->btnNewPeer, Qt::LeftButton);
    EXPECT_EQ(dialogCaptions, QStringList{"New category"});
    EXPECT_EQ(Tree(), QStringList{"Notes"});
    EXPECT_TRUE(form->btnSave->isEnabled());
    EXPECT_TRUE(Stored().isEmpty());   // nothing before Save

    QTest::mouseClick(form->btnSave, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(Stored(), QStringList{"Notes<"});
    EXPECT_TRUE(desktop.messages.isEmpty()) << desktop.MessageTexts().join("/").toStdString();
    EXPECT_EQ(main->Categories().Count(), 1);
    EXPECT_FALSE(main->Categories().IsModified());
}

TEST_P(CategoryManagerTest, NewPeerAndChildGoWhereTheyBelongAndCancelLeavesNoTrace)
{
    Insert({{1, 0, "Work"}, {2, 1, "Clients"}, {3, 0, "Home"}});
    Open();
    EXPECT_EQ(Tree(), QStringList({"Home", "Work", ".Clients"}));

    // Cancel in the category window: the inserted row goes again
    Click("Clients");
    answers.push_back({"Dropped", {}, false});
    QTest::mouseClick(form->btnNewPeer, Qt::LeftButton);
    EXPECT_EQ(main->Categories().RecordSet()->ChangeCount(), 0);
    EXPECT_FALSE(form->btnSave->isEnabled());
    EXPECT_EQ(Tree(), QStringList({"Home", "Work", ".Clients"}));

    // a peer goes right after the current category, under the same parent
    answers.push_back({"Offers"});
    QTest::mouseClick(form->btnNewPeer, Qt::LeftButton);
    // a child goes last under the current one
    Click("Home");
    answers.push_back({"Kitchen"});
    QTest::mouseClick(form->btnNewChild, Qt::LeftButton);
    EXPECT_EQ(Tree(), QStringList({"Home", ".Kitchen", "Work", ".Clients", ".Offers"}));
    // the context menu's items do the same as the buttons
    Click("Kitchen");
    answers.push_back({"Pantry"});
    form->PopupMenu()->findChild<QAction*>("miNewChild")->trigger();
    EXPECT_EQ(Tree(), QStringList({"Home", ".Kitchen", "..Pantry", "Work", ".Clients", ".Offers"}));

    QTest::mouseClick(form->btnSave, Qt::LeftButton);
    EXPECT_EQ(Stored(), QStringList({"Clients<Work", "Home<", "Kitchen<Home", "Offers<Work", "Pantry<Kitchen",
                                     "Work<"}));
}

TEST_P(CategoryManagerTest, DeleteRefusalsInTheirOrder)
{
    Insert({{1, 0, "Work"}, {2, 1, "Clients"}, {3, 1, "Offers"}, {4, 0, "Home"}});
    InsertEntry(10, 1);   // Work: entries and subcategories
    InsertEntry(11, 3);   // Offers: entries only
    Open();
    const struct {
        const char* category;
        QString text;
    } refusals[] = {
        {"Work", TfrmCategories::HasEntriesText},
        {"Offers", TfrmCategories::HasEntriesText},
    };
    for (const auto& refusal : refusals) {
        desktop.Clear();
        Click(refusal.category);
        QTest::mouseClick(form->btnDelete, Qt::LeftButton);
        EXPECT_EQ(desktop.MessageTexts(), QStringList{refusal.text}) << refusal.category;
        EXPECT_EQ(desktop.messages.value(0).kind, IDesktop::TMsgKind::Warning);
    }
    // subcategories without entries
    QSqlQuery(conn->Database()).exec("delete from entries where code = 10");
    desktop.Clear();
    Click("Work");
    QTest::mouseClick(form->btnDelete, Qt::LeftButton);
    EXPECT_EQ(desktop.MessageTexts(), QStringList{TfrmCategories::HasSubcategoriesText});

    // "No" to the question keeps it; "Yes" deletes it
    desktop.Clear();
    Click("Home");
    desktop.QueueAnswer(IDesktop::TAnswer::No);
    QTest::mouseClick(form->btnDelete, Qt::LeftButton);
    EXPECT_EQ(desktop.MessageTexts(), QStringList{TfrmCategories::ConfirmDeleteText});
    EXPECT_TRUE(Node("Home"));
    desktop.QueueAnswer(IDesktop::TAnswer::Yes);
    QTest::mouseClick(form->btnDelete, Qt::LeftButton);
    EXPECT_FALSE(Node("Home"));
    desktop.QueueAnswer(IDesktop::TAnswer::Yes);
    Click("Clients");
    QTest::mouseClick(form->btnDelete, Qt::LeftButton);
    QTest::mouseClick(form->btnSave, Qt::LeftButton);
    EXPECT_EQ(Stored(), QStringList({"Offers<Work", "Work<"}));
}

TEST_P(CategoryManagerTest, TheOnlyCategoryCannotBeDeletedButItsLeavesCan)
{
    Insert({{1, 0, "Work"}, {2, 1, "Clients"}});
    Open();
    Click("Clients");
    desktop.QueueAnswer(IDesktop::TAnswer::Yes);
    QTest::mouseClick(form->btnDelete, Qt::LeftButton);
    EXPECT_EQ(Tree(), QStringList{"Work"});
    desktop.Clear();
    Click("Work");
    QTest::mouseClick(form->btnDelete, Qt::LeftButton);
    EXPECT_EQ(desktop.MessageTexts(), QStringList{TfrmCategories::OnlyCategoryText});
    EXPECT_EQ(Tree(), QStringList{"Work"});
}

TEST_P(CategoryManagerTest, MovingByDragWritesTheNewParentAndRefusesOwnSubtree)
{
    Insert({{1, 0, "Work"}, {2, 1, "Clients"}, {3, 2, "Offers"}, {4, 0, "Home"}});
    Open();
    const auto drag = [&](const QString& from, const QString& to, int dy) {
        TBTreeViewNode* source = Node(from);
        TBTreeViewNode* target = Node(to);
        const QRect s = tv->RowRect(tv->RowOfNode(source));
        const QRect t = tv->RowRect(tv->RowOfNode(target));
        const QPoint start(tv->TextRect(s, source->Level()).left() + 3, s.center().y());
        const QPoint end(start.x(), t.top() + t.height() / 2 + dy);
        QTest::mousePress(tv->viewport(), Qt::LeftButton, Qt::NoModifier, start);
        for (int step = 1; step <= 3; ++step) {
            const QPoint at = start + (end - start) * step / 3;
            QMouseEvent move(QEvent::MouseMove, at, tv->viewport()->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                             Qt::NoModifier);
            QApplication::sendEvent(tv->viewport(), &move);
        }
        QTest::mouseRelease(tv->viewport(), Qt::LeftButton, Qt::NoModifier, end);
    };
    drag("Work", "Offers", 0);   // into its own grandchild: refused
    EXPECT_EQ(Tree(), QStringList({"Home", "Work", ".Clients", "..Offers"}));
    EXPECT_FALSE(form->btnSave->isEnabled());
    drag("Clients", "Home", 0);   // into Home, with Offers
    EXPECT_EQ(Tree(), QStringList({"Home", ".Clients", "..Offers", "Work"}));
    drag("Offers", "Work", tv->DefaultRowHeight() / 2 - 1);   // after Work: top level
    EXPECT_EQ(Tree(), QStringList({"Home", ".Clients", "Work", "Offers"}));
    EXPECT_TRUE(form->btnSave->isEnabled());
    QTest::mouseClick(form->btnSave, Qt::LeftButton);
    EXPECT_EQ(Stored(), QStringList({"Clients<Home", "Home<", "Offers<", "Work<"}));
}

TEST_P(CategoryManagerTest, ADoubleClickEditsTheCategoryClickedAndNeverThroughItsButton)
{
    Insert({{1, 0, "Work"}, {2, 1, "Clients"}, {4, 0, "Home"}, {5, 4, "Garden"}});
    Open();
    QStringList edited;
    form->ExecuteEditDialog = [&](TfrmEditCategory& dialog) {
        edited << dialog.edName->text();
        return false;
    };
    Click("Home");
    const auto doubleClick = [&](const QString& name, bool onButton) {
        TBTreeViewNode* node = Node(name);
        const QRect row = tv->RowRect(tv->RowOfNode(node));
        const QPoint at = onButton ? tv->ButtonRect(row, node->Level()).center()
                                   : QPoint(tv->TextRect(row, node->Level()).left() + 3, row.center().y());
        // press and release, the second press as a double press, release
        QTest::mouseClick(tv->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseDClick(tv->viewport(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseRelease(tv->viewport(), Qt::LeftButton, Qt::NoModifier, at);
    };

    doubleClick("Work", true);
    EXPECT_EQ(edited, QStringList()) << "opening and closing a branch edits nothing";
    EXPECT_EQ(tv->CurrentNode(), Node("Home"));
    doubleClick("Clients", false);
    EXPECT_EQ(edited, QStringList({"Clients"}));
}

TEST_P(CategoryManagerTest, AnsweringNoRestoresTheTreeAsItWasWhenOpened)
{
    Insert({{1, 0, "Work"}, {2, 1, "Clients"}, {4, 0, "Home"}});
    Open();
    Click("Clients");
    answers.push_back({"Customers", "renamed"});
    QTest::mouseClick(form->btnEdit, Qt::LeftButton);
    EXPECT_EQ(dialogCaptions.last(), "Edit category");
    Click("Home");
    answers.push_back({"Garden"});
    QTest::mouseClick(form->btnNewChild, Qt::LeftButton);
    EXPECT_EQ(Tree(), QStringList({"Home", ".Garden", "Work", ".Customers"}));

    // Exit: Cancel stays, No throws everything away
    desktop.QueueAnswer(IDesktop::TAnswer::Cancel);
    QTest::mouseClick(form->btnCancel, Qt::LeftButton);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(desktop.MessageTexts(), QStringList{TfrmCategories::SaveChangesText});
    EXPECT_EQ(desktop.messages.value(0).buttons, IDesktop::TButtons::YesNoCancel);
    desktop.QueueAnswer(IDesktop::TAnswer::No);
    QTest::mouseClick(form->btnCancel, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());

    TCategories& root = main->Categories();
    ASSERT_EQ(root.Count(), 2);
    EXPECT_EQ(root.Items(0)->Name(), "Home");
    EXPECT_EQ(root.Items(0)->Children().Count(), 0);
    EXPECT_EQ(root.Items(1)->Children().Items(0)->Name(), "Clients");
    EXPECT_EQ(root.Items(1)->Children().Items(0)->Description(), "about Clients");
    EXPECT_FALSE(root.IsModified());
    EXPECT_EQ(Stored(), QStringList({"Clients<Work", "Home<", "Work<"}));
}

TEST_P(CategoryManagerTest, NamesAreStoredExactlyOrRefusedClearly)
{
    Insert({{1, 0, "Work"}});
    Open();
    // blanks only: the window stays open without a message, then Cancel
    Click("Work");
    answers.push_back({"   ", {}, true});
    bool stayedOpen = false;
    form->ExecuteEditDialog = [&](TfrmEditCategory& dialog) {
        dialog.show();
        dialog.edName->setText("   ");
        QTest::mouseClick(dialog.btnOK, Qt::LeftButton);
        stayedOpen = dialog.isVisible() && dialog.result() != QDialog::Accepted;
        QTest::mouseClick(dialog.btnCancel, Qt::LeftButton);
        return false;
    };
    QTest::mouseClick(form->btnNewChild, Qt::LeftButton);
    EXPECT_TRUE(stayedOpen);
    EXPECT_TRUE(desktop.messages.isEmpty());
    EXPECT_EQ(Tree(), QStringList{"Work"});
    answers.clear();
    form->ExecuteEditDialog = [this](TfrmEditCategory& dialog) { return AnswerDialog(dialog); };

    // 300 characters: refused with the reason, nothing added
    answers.push_back({QString(300, 'x')});
    QTest::mouseClick(form->btnNewChild, Qt::LeftButton);
    EXPECT_EQ(desktop.MessageTexts(), QStringList{TfrmEditCategory::NameTooLongText.arg(255).arg(300)});
    EXPECT_EQ(Tree(), QStringList{"Work"});

    const QStringList names = {"  padded  ",
                               "O'Brien \"quoted\"",
                               "100% _under_ score",
                               "a/b\\c",
                               QString::fromUtf8("Ελληνικά και кириллица"),
                               QString::fromUtf8("emoji \xF0\x9F\x93\x9A"),
                               QString(255, QChar(0x00E9))};
    for (const QString& name : names) {
        Click("Work");
        answers.push_back({name, name});
        QTest::mouseClick(form->btnNewChild, Qt::LeftButton);
    }
    QTest::mouseClick(form->btnSave, Qt::LeftButton);
    ASSERT_FALSE(form->isVisible()) << desktop.MessageTexts().join("/").toStdString();
    QSqlQuery q(conn->Database());
    ASSERT_TRUE(q.exec("select name, description from categories where parent = 1"));
    QStringList stored;
    while (q.next()) {
        EXPECT_EQ(q.value(0).toString(), q.value(1).toString());
        stored << q.value(0).toString();
    }
    std::sort(stored.begin(), stored.end());
    QStringList expected = names;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(stored, expected);
}

TEST_P(CategoryManagerTest, ASaveRefusedByTheDatabaseKeepsTheChangesPending)
{
    Insert({{1, 0, "Work"}, {2, 0, "Home"}});
    Open();
    Click("Home");
    desktop.QueueAnswer(IDesktop::TAnswer::Yes);
    QTest::mouseClick(form->btnDelete, Qt::LeftButton);
    ASSERT_FALSE(Node("Home"));
    // meanwhile another user files an entry under Home
    db->ExecOutside("insert into entries (code, category, Title, PasswordProtected) values (50, 2, 'theirs', 0)");

    desktop.Clear();
    QTest::mouseClick(form->btnSave, Qt::LeftButton);
    ASSERT_EQ(desktop.messages.size(), 1);
    EXPECT_EQ(desktop.messages[0].kind, IDesktop::TMsgKind::Error);
    EXPECT_TRUE(desktop.messages[0].text.contains("\"Home\" cannot be deleted")) << desktop.messages[0].text.toStdString();
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(main->Categories().IsModified());
    EXPECT_EQ(Stored(), QStringList({"Home<", "Work<"}));

    // closing asks again; "No" gives the tree back as the database has it
    desktop.Clear();
    desktop.QueueAnswer(IDesktop::TAnswer::No);
    QTest::mouseClick(form->btnCancel, Qt::LeftButton);
    EXPECT_EQ(desktop.MessageTexts(), QStringList{TfrmCategories::SaveChangesText});
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(main->Categories().FindByCode(2));
}

TEST_P(CategoryManagerTest, OpenEntriesFindTheirCategoryAgain)
{
    Insert({{1, 0, "Work"}, {2, 0, "Home"}});
    Open();
    main->App.EditMultipleEntries = true;
    main->EntryManager().OpenEntries().ShowEditor = [](TEntryData*, bool) {};
    const auto openEntry = [&](int category) {
        std::unique_ptr<TEntryData> entry = main->EntryManager().CreateNewEntry(false);
        entry->SetCategory(main->Categories().FindByCode(category));
        TEntryData* held = entry.get();
        main->EntryManager().OpenEntries().OpenForEditing(entry.release(), true);
        return held;
    };
    TEntryData* inHome = openEntry(2);
    TEntryData* inWork = openEntry(1);

    // Home has no stored entries, so it can go; the open entry lets go of it
    Click("Home");
    desktop.QueueAnswer(IDesktop::TAnswer::Yes);
    QTest::mouseClick(form->btnDelete, Qt::LeftButton);
    EXPECT_EQ(inHome->Category(), nullptr);
    EXPECT_EQ(inWork->Category(), main->Categories().FindByCode(1));

    // throwing the changes away recreates every category object
    desktop.QueueAnswer(IDesktop::TAnswer::No);
    QTest::mouseClick(form->btnCancel, Qt::LeftButton);
    ASSERT_FALSE(form->isVisible());
    EXPECT_EQ(inWork->Category(), main->Categories().FindByCode(1));
    ASSERT_TRUE(inHome->Category());
    EXPECT_EQ(inHome->Category()->Name(), "Home");
}

TESSARYN_INSTANTIATE_ENGINES(CategoryManagerTest);

} // namespace

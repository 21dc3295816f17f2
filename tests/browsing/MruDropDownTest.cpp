#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "controls/SizeGripPanel.h"
#include "settings/ISettingsManager.h"
#include "settings/MruDropDown.h"
#include "settings/MruLists.h"
#include "settings/dmMain.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

class MruDropDownTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
        main = std::make_unique<TdmMain>(*conn, desktop);
        ASSERT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
        window = std::make_unique<QWidget>();
        window->setObjectName("frmTest");
        auto* layout = new QVBoxLayout(window.get());
        edit = new QLineEdit(window.get());
        other = new QLineEdit(window.get());
        layout->addWidget(edit);
        layout->addWidget(other);
        window->resize(300, 120);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        window->activateWindow();
        edit->setFocus();
    }
    void TearDown() override
    {
        observer.reset();
        window.reset();
        main.reset();
        EngineTest::TearDown();
    }

    void Observe(TMRUList& list, bool multiWord, const QStringList& texts)
    {
        for (const QString& text : texts)
            list.AddText(text);
        observer = std::make_unique<TEditMRUListObserver>(edit, multiWord, list, main.get());
    }
    static QStringList Shown()
    {
        return TfrmMRUList::Instance() ? TfrmMRUList::Instance()->Grid()->Items() : QStringList();
    }
    // Sets the text as the program would (no lookup), caret at its end.
    void Put(const QString& text)
    {
        edit->setText(text);
        edit->setCursorPosition(int(text.size()));
    }

    RecordingDesktop desktop;
    std::unique_ptr<TdmMain> main;
    std::unique_ptr<QWidget> window;
    QLineEdit* edit = nullptr;
    QLineEdit* other = nullptr;
    std::unique_ptr<TEditMRUListObserver> observer;
};

TEST_P(MruDropDownTest, TypingNarrowsTheListAndTheEditKeepsTheFocus)
{
    Observe(main->SearchMRU(), false, {"abc", "abd", "Abacus", "zebra"});
    QTest::keyClicks(edit, "ab");
    TfrmMRUList* list = TfrmMRUList::Instance();
    ASSERT_TRUE(list);
    EXPECT_EQ(Shown(), QStringList({"Abacus", "abc", "abd"}));
    EXPECT_EQ(list->windowTitle(), "History (MRU) list");
    EXPECT_TRUE(list->isVisible());
    EXPECT_TRUE(edit->hasFocus());
    EXPECT_EQ(QApplication::focusWidget(), edit);
    EXPECT_EQ(QApplication::activeWindow(), window.get());
    EXPECT_EQ(list->geometry().topLeft(), edit->mapToGlobal(QPoint(0, edit->height())));
    EXPECT_EQ(list->width(), edit->width());
    EXPECT_EQ(list->height(), 3 * 18 + list->SizeGrip()->height() + 6);

    QTest::keyClicks(edit, "c");
    EXPECT_EQ(edit->text(), "abc") << "keys still reach the edit box";
    EXPECT_EQ(TfrmMRUList::Instance(), list) << "the same drop-down narrows";
    EXPECT_EQ(Shown(), QStringList({"abc"}));
    QTest::keyClicks(edit, "x");
    EXPECT_FALSE(TfrmMRUList::Instance()) << "no match closes it";

    // Ctrl+Down offers the list again; losing the focus closes it
    Put("a");
    QTest::keyClick(edit, Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(Shown(), QStringList({"Abacus", "abc", "abd"}));
    EXPECT_EQ(edit->text(), "a");
    other->setFocus();
    EXPECT_FALSE(TfrmMRUList::Instance());
}

TEST_P(MruDropDownTest, ArrowsWalkAtMostFiveRowsAndWrap)
{
    QStringList texts;
    for (int i = 1; i <= 7; ++i)
        texts.append(QString("item%1").arg(i));
    Observe(main->SearchMRU(), false, texts);
    Put("it");
    QTest::keyClick(edit, Qt::Key_Down);   // loads the list, the first text is taken
    TfrmMRUList* list = TfrmMRUList::Instance();
    ASSERT_TRUE(list);
    EXPECT_EQ(edit->text(), "item1");
    EXPECT_EQ(list->Grid()->VisibleRows(), 5);
    EXPECT_EQ(list->Grid()->verticalScrollBar()->maximum(), 2);
    for (int i = 2; i <= 7; ++i)
        QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(edit->text(), "item7");
    EXPECT_EQ(list->Grid()->CurrentRow(), 6);
    EXPECT_EQ(list->Grid()->verticalScrollBar()->value(), 2) << "the current row is scrolled into view";
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(edit->text(), "item1");
    QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_EQ(edit->text(), "item7");
    EXPECT_EQ(edit->cursorPosition(), 5);
    EXPECT_TRUE(edit->hasFocus());

    // a click on a row takes its text and closes the list
    TMRUListGrid* grid = list->Grid();
    grid->verticalScrollBar()->setValue(0);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(10, grid->RowHeight() + 9));
    EXPECT_EQ(edit->text(), "item2");
    EXPECT_FALSE(TfrmMRUList::Instance());

    QTest::keyClick(edit, Qt::Key_Down, Qt::ControlModifier);
    ASSERT_TRUE(TfrmMRUList::Instance());
    QTest::keyClick(edit, Qt::Key_Escape);
    EXPECT_FALSE(TfrmMRUList::Instance());
}

TEST_P(MruDropDownTest, MultiWordModeReplacesOnlyTheCurrentWord)
{
    Observe(main->KeywordsMRU(), true, {"two", "twofold", "new york", "newt"});
    Put("one tw");
    EXPECT_EQ(observer->CurrentText(), "tw");
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(Shown(), QStringList({"two", "twofold"}));
    EXPECT_EQ(edit->text(), "one two");
    EXPECT_EQ(edit->selectedText(), "two");
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(edit->text(), "one twofold");
    QTest::keyClick(edit, Qt::Key_End);
    EXPECT_EQ(edit->text(), "one twofold ");
    EXPECT_EQ(edit->cursorPosition(), 12);
    EXPECT_FALSE(TfrmMRUList::Instance());

    // typing looks up the word at the caret only
    QTest::keyClicks(edit, "ne");
    EXPECT_EQ(Shown(), QStringList({"new york", "newt"}));
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(edit->text(), "one twofold \"new york\"");

    // inside an open quote blanks belong to the word, and the quote is not doubled
    QTest::keyClick(edit, Qt::Key_Escape);
    Put("one \"new y");
    EXPECT_EQ(observer->CurrentText(), "new y");
    QTest::keyClick(edit, Qt::Key_Down);
    EXPECT_EQ(edit->text(), "one \"new york\"");

    Put("alpha \"beta gamma\" delta");
    observer->AddAllWords();
    main->KeywordsMRU().LoadItems("");
    EXPECT_EQ(main->KeywordsMRU().Items().RecordCount(), 4 + 3);
}

TEST_P(MruDropDownTest, ComboHistoryKeepsThirtyNewestOnTopAndRoundTrips)
{
    QComboBox* combo = new QComboBox(window.get());
    combo->setObjectName("coTo");
    combo->setEditable(true);
    for (int i = 1; i <= 35; ++i)
        AddToHistory(combo, QString("user%1@example.org").arg(i));
    AddToHistory(combo, "user35@example.org");
    AddToHistory(combo, "   ");
    combo->setEditText("typed@example.org");
    AddToHistory(combo, "___");
    ASSERT_EQ(combo->count(), 30);
    EXPECT_EQ(combo->itemText(0), "typed@example.org");
    EXPECT_EQ(combo->itemText(1), "user35@example.org");
    EXPECT_EQ(combo->itemText(29), "user7@example.org");

    ISettingsManager& settings = main->Settings();
    EXPECT_EQ(SaveComboHistory(settings, combo, 0), 0);
    QComboBox loaded(window.get());
    loaded.setObjectName("coTo");
    EXPECT_EQ(LoadComboHistory(settings, &loaded, 0), 0);
    QStringList texts;
    for (int i = 0; i < loaded.count(); ++i)
        texts.append(loaded.itemText(i));
    QStringList expected;
    for (int i = 0; i < combo->count(); ++i)
        expected.append(combo->itemText(i));
    EXPECT_EQ(texts, expected);

    // a shorter list saved over a longer one leaves nothing behind; other scopes are apart
    while (combo->count() > 2)
        combo->removeItem(2);
    EXPECT_EQ(SaveComboHistory(settings, combo, 0), 0);
    EXPECT_EQ(LoadComboHistory(settings, &loaded, 0), 0);
    EXPECT_EQ(loaded.count(), 2);
    EXPECT_EQ(LoadComboHistory(settings, &loaded, 3), 0);
    EXPECT_EQ(loaded.count(), 0);

    // a list kept in alphabetical order takes new texts at their place
    QComboBox sorted(window.get());
    sorted.setInsertPolicy(QComboBox::InsertAlphabetically);
    for (const char* text : {"mike", "alpha", "zulu", "kilo"})
        AddToHistory(&sorted, text);
    QStringList order;
    for (int i = 0; i < sorted.count(); ++i)
        order.append(sorted.itemText(i));
    EXPECT_EQ(order, QStringList({"alpha", "kilo", "mike", "zulu"}));
}

INSTANTIATE_TEST_SUITE_P(SQLite, MruDropDownTest, ::testing::Values(TEngine::SQLite), EngineName);

} // namespace

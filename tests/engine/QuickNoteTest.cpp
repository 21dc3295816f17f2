#include "RecordingDesktop.h"
#include "TestDatabase.h"
#include "TestEnv.h"
#include "engine/frmQuickNote.h"
#include "settings/dmMain.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class QuickNoteTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        if (IsSkipped() || HasFatalFailure())
            return;
        qputenv("TESSARYN_HOME", TestEnv::ScratchFolder().toUtf8());
        main = std::make_unique<TdmMain>(*conn, desktop);
        ASSERT_TRUE(main->IsInitialized()) << main->InitializationError().toStdString();
        QApplication::clipboard()->setText(QStringLiteral("held before"));
    }
    void TearDown() override
    {
        QApplication::clipboard()->clear();
        main.reset();
        EngineTest::TearDown();
    }

    static QPlainTextEdit* Text(QWidget& form) { return form.findChild<QPlainTextEdit*>(QStringLiteral("meText")); }
    static QPushButton* Button(QWidget& form, const char* name)
    {
        return form.findChild<QPushButton*>(QString::fromLatin1(name));
    }

    RecordingDesktop desktop;
    std::unique_ptr<TdmMain> main;
};

TEST_P(QuickNoteTest, SaveIsEnabledOnlyForRealText)
{
    TFrmQuickNote form(*main);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QPlainTextEdit* meText = Text(form);
    QPushButton* btnSave = Button(form, "btnSave");
    ASSERT_TRUE(meText && btnSave && Button(form, "btnCancel"));
    EXPECT_EQ(form.windowTitle(), "Enter a \"Quick Note\"");
    EXPECT_EQ(meText->statusTip(), "Type the text for the \"Quick note\" you wish to create");
    EXPECT_EQ(meText->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(btnSave->text(), "Save");
    EXPECT_EQ(Button(form, "btnCancel")->text(), "Exit");
    EXPECT_TRUE(meText->hasFocus());
    EXPECT_FALSE(btnSave->isEnabled());

    // Blanks and line breaks only.
    QTest::keyClicks(meText, "   ");
    QTest::keyClick(meText, Qt::Key_Return);
    QTest::keyClick(meText, Qt::Key_Enter);
    QTest::keyClicks(meText, " ");
    EXPECT_EQ(meText->toPlainText(), "   \n\n ");
    EXPECT_FALSE(btnSave->isEnabled());

    QTest::keyClicks(meText, "x");
    EXPECT_TRUE(btnSave->isEnabled());
    QTest::keyClick(meText, Qt::Key_Backspace);
    EXPECT_FALSE(btnSave->isEnabled());

    // Ctrl+A selects the whole text.
    QTest::keyClicks(meText, "end");
    meText->moveCursor(QTextCursor::Start);
    QTest::keyClick(meText, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(meText->textCursor().selectedText().replace(QChar::ParagraphSeparator, u'\n'), "   \n\n end");
    // ... and typing replaces it.
    QTest::keyClicks(meText, "new");
    EXPECT_EQ(meText->toPlainText(), "new");
    EXPECT_TRUE(form.isVisible());
}

TEST_P(QuickNoteTest, SavePutsTheNoteOnTheClipboard)
{
    bool typed = false;
    // The window is modal: it is typed into once it is up.
    QTimer::singleShot(0, [&] {
        TFrmQuickNote* form = nullptr;
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible() && qobject_cast<TFrmQuickNote*>(window))
                form = qobject_cast<TFrmQuickNote*>(window);
        ASSERT_TRUE(form);
        QPlainTextEdit* meText = Text(*form);
        QTest::keyClicks(meText, "Buy milk");
        QTest::keyClick(meText, Qt::Key_Return);
        QTest::keyClicks(meText, "and bread");
        typed = true;
        QTest::mouseClick(Button(*form, "btnSave"), Qt::LeftButton);
    });
    EXPECT_TRUE(TFrmQuickNote::Execute(*main));
    EXPECT_TRUE(typed);
    EXPECT_EQ(QApplication::clipboard()->text(), "Buy milk\r\nand bread");
    EXPECT_EQ(QApplication::clipboard()->mimeData()->formats(), QStringList({"text/plain"}));
}

TEST_P(QuickNoteTest, ExitAndEscapeLeaveTheClipboardAlone)
{
    for (const bool escape : {false, true}) {
        TFrmQuickNote form(*main);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        QTest::keyClicks(Text(form), "not wanted");
        if (escape) {
            QTest::keyClick(Text(form), Qt::Key_Escape);
        } else {
            QTest::mouseClick(Button(form, "btnCancel"), Qt::LeftButton);
        }
        EXPECT_FALSE(form.isVisible()) << escape;
        EXPECT_EQ(form.result(), QDialog::Rejected) << escape;
        EXPECT_EQ(QApplication::clipboard()->text(), "held before") << escape;
    }
}

// Ctrl+S and Ctrl+Return save from the keyboard, once there is something to
// save; Tab leaves the text for the buttons instead of typing a tab.
TEST_P(QuickNoteTest, KeyboardSavesAndTabMovesOn)
{
    const struct {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    } keys[] = {{"Ctrl+S", Qt::Key_S, Qt::ControlModifier},
                {"Ctrl+Return", Qt::Key_Return, Qt::ControlModifier},
                {"Ctrl+Enter", Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier}};
    for (const auto& k : keys) {
        TFrmQuickNote form(*main);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        QPlainTextEdit* meText = Text(form);
        QTest::keyClick(meText, k.key, k.modifiers);
        EXPECT_TRUE(form.isVisible()) << k.name << ": nothing to save yet";
        EXPECT_EQ(meText->toPlainText(), "") << k.name;
        QTest::keyClicks(meText, k.name);
        QTest::keyClick(meText, k.key, k.modifiers);
        EXPECT_FALSE(form.isVisible()) << k.name;
        EXPECT_EQ(form.result(), QDialog::Accepted) << k.name;
        EXPECT_EQ(QApplication::clipboard()->text(), k.name);
    }

    TFrmQuickNote form(*main);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::keyClicks(Text(form), "first");
    QTest::keyClick(Text(form), Qt::Key_Tab);
    EXPECT_EQ(Text(form)->toPlainText(), "first");
    EXPECT_EQ(QApplication::focusWidget(), Button(form, "btnSave"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Button(form, "btnCancel"));
}

TEST_P(QuickNoteTest, TextAboveButtonsAtTheRight)
{
    TFrmQuickNote form(*main);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QTest::keyClicks(Text(form), "Call the printer service about the paper jam");
    const QRect text = Text(form)->geometry();
    const QRect save = Button(form, "btnSave")->geometry();
    const QRect exit = Button(form, "btnCancel")->geometry();
    // The text field takes the width and most of the height; the buttons sit
    // below it, Save before Exit, against the right edge.
    EXPECT_GE(text.width(), form.width() * 9 / 10);
    EXPECT_GE(text.height(), form.height() * 6 / 10);
    EXPECT_GT(save.top(), text.bottom());
    EXPECT_EQ(save.top(), exit.top());
    EXPECT_LT(save.right(), exit.left());
    EXPECT_GE(exit.right(), text.right() - 2);
    EXPECT_GE(form.width(), 300);

    // Set to a folder to look at the window.
    const QString folder = qEnvironmentVariable("TESSARYN_SCREENS");
    if (!folder.isEmpty()) {
        EXPECT_TRUE(form.grab().save(QDir(folder).filePath("quicknote.png")));
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, QuickNoteTest, ::testing::Values(TEngine::SQLite), EngineName);

} // namespace

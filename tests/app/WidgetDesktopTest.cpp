#include "TestEnv.h"
#include "app/FilePropertiesDialog.h"
#include "app/WidgetDesktop.h"
#include "engine/frmRequestPassword.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QImage>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace {

// Acts on the next modal window of type T as soon as the code under test has
// opened it. When a different window or none turns up in time the test
// fails, and whatever is modal is closed so that the test cannot hang.
template <typename T>
void WhenModal(std::function<void(T*)> action)
{
    auto* timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, action] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* window = qobject_cast<T*>(modal); window && window->isVisible()) {
            timer->stop();
            timer->deleteLater();
            action(window);
        } else if (clock->elapsed() > 5000) {
            timer->stop();
            timer->deleteLater();
            ADD_FAILURE() << "the expected modal window did not appear";
            if (modal)
                modal->close();
        }
    });
    timer->start(10);
}

QString ShownPassword(int code, const QString& title, const QString& typed, int key,
                      const char* button, std::optional<QString>* answer)
{
    QString entryText;
    WhenModal<TFrmRequestPassword>([&](TFrmRequestPassword* form) {
        entryText = form->findChild<QLabel*>(QStringLiteral("laEntry"))->text();
        auto* edit = form->findChild<QLineEdit*>(QStringLiteral("edPassword"));
        QTest::keyClicks(edit, typed);
        if (button)
            QTest::mouseClick(form->findChild<QPushButton*>(QLatin1String(button)), Qt::LeftButton);
        else
            QTest::keyClick(edit, Qt::Key(key));
    });
    TWidgetDesktop desktop;
    *answer = desktop.RequestEntryPassword(code, title);
    return entryText;
}

} // namespace

TEST(TFrmRequestPasswordTest, ShowsTheTextsAndMasksWithAsterisks)
{
    // A title with markup and a placeholder must come out as typed.
    TFrmRequestPassword form(42, QStringLiteral("Notes <b>%1</b> & more"));
    form.show();

    EXPECT_EQ(form.windowTitle(), QStringLiteral("Please provide the password for this entry:"));
    EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("laEntry"))->text(),
              QStringLiteral("Entry [42. Notes <b>%1</b> & more] is password-protected !"));
    EXPECT_EQ(form.findChild<QLabel*>(QStringLiteral("laEntry"))->textFormat(), Qt::PlainText);
    QStringList labels;
    for (auto* label : form.findChildren<QLabel*>())
        labels << label->text();
    EXPECT_TRUE(labels.contains(QStringLiteral("In order to view this entry, you must provide a password, "
                                               "otherwise, you will *NOT* not be able to view it.")))
        << labels.join(QLatin1Char('|')).toStdString();

    auto* edit = form.findChild<QLineEdit*>(QStringLiteral("edPassword"));
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
    EXPECT_EQ(edit->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, edit), int('*'));

    auto* ok = form.findChild<QPushButton*>(QStringLiteral("btnOK"));
    auto* cancel = form.findChild<QPushButton*>(QStringLiteral("btnCancel"));
    ASSERT_NE(ok, nullptr);
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(ok->text(), QStringLiteral("OK"));
    EXPECT_TRUE(ok->isDefault());
    EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
}

TEST(TFrmRequestPasswordTest, FixedSizeGrowsDownwardsForLongTitles)
{
    TFrmRequestPassword shortForm(1, QStringLiteral("Short"));
    TFrmRequestPassword longForm(
        2, QStringLiteral("A rather long title that keeps going with many words so that it cannot fit on one line"));
    shortForm.show();
    longForm.show();

    EXPECT_EQ(shortForm.minimumSize(), shortForm.maximumSize());
    EXPECT_EQ(longForm.width(), shortForm.width());
    EXPECT_GT(longForm.height(), shortForm.height());
    // The wrapped texts get all the room they ask for.
    for (const char* name : {"laInfo", "laEntry"}) {
        auto* label = longForm.findChild<QLabel*>(QLatin1String(name));
        EXPECT_LE(label->heightForWidth(label->width()), label->height()) << name;
    }
}

TEST(TFrmRequestPasswordTest, ReturnsTheTextAsTypedOrNothingWhenCancelled)
{
    struct TCase {
        const char* name;
        QString typed;
        int key;            // used when no button is named
        const char* button; // object name of the button to click
        std::optional<QString> expected;
    } cases[] = {
        {"OK keeps blanks", QStringLiteral("  s3cret pass "), 0, "btnOK", QStringLiteral("  s3cret pass ")},
        {"Enter is OK", QStringLiteral(" x%1! "), Qt::Key_Return, nullptr, QStringLiteral(" x%1! ")},
        {"empty password is an answer", QString(), 0, "btnOK", QString()},
        {"Cancel", QStringLiteral("abc"), 0, "btnCancel", std::nullopt},
        {"Escape", QStringLiteral("abc"), Qt::Key_Escape, nullptr, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<QString> answer = QStringLiteral("unset");
        const QString shown = ShownPassword(7, QStringLiteral("Tax papers"), c.typed, c.key, c.button, &answer);
        EXPECT_EQ(shown, QStringLiteral("Entry [7. Tax papers] is password-protected !"));
        EXPECT_EQ(answer.has_value(), c.expected.has_value());
        if (answer && c.expected) {
            EXPECT_EQ(*answer, *c.expected);
        }
    }
}

TEST(TFrmRequestPasswordTest, RendersToAPicture)
{
    TFrmRequestPassword form(1234, QStringLiteral("Bank accounts and insurance"));
    form.show();
    QTest::keyClicks(form.findChild<QLineEdit*>(QStringLiteral("edPassword")), QStringLiteral("hunter2"));
    const QImage picture = form.grab().toImage();
    ASSERT_FALSE(picture.isNull());

    // The lock is drawn: its label holds a picture with opaque brass pixels.
    const QImage lock = form.findChild<QLabel*>(QStringLiteral("imLock"))->pixmap().toImage();
    ASSERT_FALSE(lock.isNull());
    const QColor brass = lock.pixelColor(lock.width() * 3 / 10, lock.height() * 3 / 4);
    EXPECT_EQ(brass.alpha(), 255);
    EXPECT_GT(brass.red(), brass.blue() + 60);

    const QString folder = qEnvironmentVariable("TESSARYN_SCREENS");
    if (!folder.isEmpty()) {
        EXPECT_TRUE(picture.save(QDir(folder).filePath(QStringLiteral("password.png"))));
    }
}

TEST(TWidgetDesktopTest, MessageBoxKindsButtonsAndAnswers)
{
    enum TPress { Click, Enter, Escape };
    struct TCase {
        IDesktop::TMsgKind kind;
        IDesktop::TButtons buttons;
        TPress press;
        QMessageBox::StandardButton click;
        QMessageBox::Icon icon;
        QMessageBox::StandardButtons shown;
        IDesktop::TAnswer answer;
    };
    using K = IDesktop::TMsgKind;
    using B = IDesktop::TButtons;
    using A = IDesktop::TAnswer;
    const auto yesNo = QMessageBox::Yes | QMessageBox::No;
    const auto yesNoCancel = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    const auto okCancel = QMessageBox::Ok | QMessageBox::Cancel;
    const TCase cases[] = {
        {K::Information, B::Ok, Click, QMessageBox::Ok, QMessageBox::Information, QMessageBox::Ok, A::Ok},
        {K::Error, B::Ok, Escape, {}, QMessageBox::Critical, QMessageBox::Ok, A::Ok},
        {K::Warning, B::OkCancel, Click, QMessageBox::Cancel, QMessageBox::Warning, okCancel, A::Cancel},
        {K::Warning, B::OkCancel, Enter, {}, QMessageBox::Warning, okCancel, A::Ok},
        {K::Confirmation, B::YesNo, Click, QMessageBox::No, QMessageBox::Question, yesNo, A::No},
        {K::Confirmation, B::YesNo, Enter, {}, QMessageBox::Question, yesNo, A::Yes},
        {K::Confirmation, B::YesNo, Escape, {}, QMessageBox::Question, yesNo, A::No},
        {K::Confirmation, B::YesNoCancel, Click, QMessageBox::No, QMessageBox::Question, yesNoCancel, A::No},
        {K::Confirmation, B::YesNoCancel, Escape, {}, QMessageBox::Question, yesNoCancel, A::Cancel},
    };
    TWidgetDesktop desktop;
    int index = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(index++);
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QMessageBox::StandardButtons shown;
        QString caption;
        WhenModal<QMessageBox>([&](QMessageBox* box) {
            icon = box->icon();
            shown = box->standardButtons();
            caption = box->windowTitle();
            if (c.press == Click)
                QTest::mouseClick(box->button(c.click), Qt::LeftButton);
            else
                QTest::keyClick(box, c.press == Enter ? Qt::Key_Return : Qt::Key_Escape);
        });
        EXPECT_EQ(desktop.MessageBox(QStringLiteral("Question?"), c.kind, c.buttons), c.answer);
        EXPECT_EQ(icon, c.icon);
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(caption, QStringLiteral("Tessaryn"));
    }
}

TEST(TWidgetDesktopTest, MessageTextIsShownPlainWithItsLineBreaks)
{
    TWidgetDesktop desktop;
    desktop.SetCaption(QStringLiteral("Entry"));
    QString text;
    QString caption;
    Qt::TextFormat format = Qt::AutoText;
    WhenModal<QMessageBox>([&](QMessageBox* box) {
        text = box->text();
        caption = box->windowTitle();
        format = box->textFormat();
        box->button(QMessageBox::Ok)->click();
    });
    desktop.ShowMessage(QStringLiteral("Entry \r\n[ 5. <Enter title here> ] \r\nis open."),
                        IDesktop::TMsgKind::Information);
    EXPECT_EQ(text, QStringLiteral("Entry \n[ 5. <Enter title here> ] \nis open."));
    EXPECT_EQ(format, Qt::PlainText);
    EXPECT_EQ(caption, QStringLiteral("Entry"));
}

TEST(TWidgetDesktopTest, WaitCursorNestsAndGivesWayToModalWindows)
{
    auto shape = [] {
        const QCursor* cursor = QApplication::overrideCursor();
        return cursor ? int(cursor->shape()) : -1;
    };
    ASSERT_EQ(shape(), -1);
    {
        TWidgetDesktop desktop;
        desktop.BeginWait();
        desktop.BeginWait();
        EXPECT_EQ(shape(), int(Qt::WaitCursor));

        // A box asked for during the work shows the arrow, then the wait comes back.
        int shapeInBox = -2;
        WhenModal<QMessageBox>([&](QMessageBox* box) {
            shapeInBox = shape();
            box->button(QMessageBox::Yes)->click();
        });
        EXPECT_TRUE(desktop.Confirm(QStringLiteral("Go on?")));
        EXPECT_EQ(shapeInBox, int(Qt::ArrowCursor));
        EXPECT_EQ(shape(), int(Qt::WaitCursor));

        desktop.EndWait();
        EXPECT_EQ(shape(), int(Qt::WaitCursor));
        desktop.EndWait();
        EXPECT_EQ(shape(), -1);

        // An unmatched end leaves someone else's cursor alone.
        QApplication::setOverrideCursor(Qt::CrossCursor);
        desktop.EndWait();
        EXPECT_EQ(shape(), int(Qt::CrossCursor));
        QApplication::restoreOverrideCursor();

        // Work that unwinds through TCursorRestore still ends the wait.
        try {
            TCursorRestore wait(desktop);
            EXPECT_EQ(shape(), int(Qt::WaitCursor));
            throw std::runtime_error("failed");
        } catch (const std::runtime_error&) {
        }
        EXPECT_EQ(shape(), -1);
        desktop.BeginWait();
    }
    // Destroyed while waiting: the cursor does not stay behind.
    EXPECT_EQ(shape(), -1);
}

TEST(TWidgetDesktopTest, NoticesWithoutTrayAreKeptAndSignalled)
{
    TWidgetDesktop desktop;
    QSignalSpy spy(&desktop, &TWidgetDesktop::noticeShown);
    desktop.Notice(QStringLiteral("[Tessaryn]:"), QStringLiteral("Stored \"A\"."));
    ASSERT_EQ(spy.count(), 1);
    EXPECT_EQ(spy.at(0).at(0).toString(), QStringLiteral("[Tessaryn]:"));
    EXPECT_EQ(spy.at(0).at(1).toString(), QStringLiteral("Stored \"A\"."));

    // A tray icon on a desktop without a notification area loses nothing either.
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    QPixmap picture(16, 16);
    picture.fill(Qt::darkBlue);
    QSystemTrayIcon tray{QIcon(picture)};
    tray.show();
    desktop.SetTrayIcon(&tray);
    for (int i = 0; i < TWidgetDesktop::kKeptNoticesLimit; ++i)
        desktop.Notice(QStringLiteral("t%1").arg(i), QStringLiteral("n%1").arg(i));
    EXPECT_EQ(spy.count(), 1 + TWidgetDesktop::kKeptNoticesLimit);

    const auto kept = desktop.KeptNotices();
    ASSERT_EQ(kept.size(), TWidgetDesktop::kKeptNoticesLimit);
    EXPECT_EQ(kept.first().title, QStringLiteral("t0")); // the oldest made room
    EXPECT_EQ(kept.last().title, QStringLiteral("t49"));
    EXPECT_EQ(kept.last().text, QStringLiteral("n49"));
}

namespace {

class TUrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void Open(const QUrl& url) { urls << url; }
};

} // namespace

TEST(TWidgetDesktopTest, ShellOpensLocalPathsAsFileUrls)
{
    TUrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "Open");
    const QString folder = TestEnv::ScratchFolder() + QStringLiteral("a #1 %20 folder");
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString file = folder + QStringLiteral("/r\u00e9sum\u00e9 #2.txt");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();

    TWidgetDesktop desktop;
    EXPECT_TRUE(desktop.ShellOpen(file));
    EXPECT_TRUE(desktop.ShellExplore(folder));
    EXPECT_FALSE(desktop.ShellOpen(folder + QStringLiteral("/missing.txt")));
    EXPECT_FALSE(desktop.ShellExplore(file)); // a file is no folder window
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    ASSERT_EQ(catcher.urls.size(), 2);
    EXPECT_TRUE(catcher.urls[0].isLocalFile());
    EXPECT_EQ(catcher.urls[0].toLocalFile(), file);
    EXPECT_EQ(catcher.urls[1].toLocalFile(), folder);
}

TEST(TWidgetDesktopTest, FilePropertiesShowNameFolderTypeSizeAndContents)
{
    const QString root = TestEnv::ScratchFolder();
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("docs/sub")));
    auto write = [](const QString& path, qint64 size) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(size, 'x'));
    };
    write(root + QStringLiteral("docs/notes.txt"), 1234);
    write(root + QStringLiteral("docs/sub/b.txt"), 100);

    struct TCase {
        QString path;
        QString name;
        QString folder;
        QString type;
        QString size;
        QString contains;
    } cases[] = {
        {root + QStringLiteral("docs/notes.txt"), QStringLiteral("notes.txt"), root + QStringLiteral("docs"),
         QStringLiteral("(.txt)"),
         QLocale().toString(1234) + QStringLiteral(" bytes)"), QString()},
        {root + QStringLiteral("docs/"), QStringLiteral("docs"), root.chopped(1), QStringLiteral("Folder"),
         QLocale().toString(1334) + QStringLiteral(" bytes)"), QStringLiteral("2 file(s), 1 folder(s)")},
    };
    TWidgetDesktop desktop;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        desktop.ShowFileProperties(c.path);
        TFilePropertiesDialog* window = nullptr;
        for (auto* widget : QApplication::topLevelWidgets())
            if (auto* w = qobject_cast<TFilePropertiesDialog*>(widget); w && w->isVisible())
                window = w;
        ASSERT_NE(window, nullptr);
        auto text = [window](const char* name) {
            auto* label = window->findChild<QLabel*>(QLatin1String(name));
            return label ? label->text() : QStringLiteral("<none>");
        };
        EXPECT_EQ(text("laName"), c.name);
        EXPECT_EQ(text("laFolder"), c.folder);
        EXPECT_TRUE(text("laType").endsWith(c.type)) << text("laType").toStdString();
        EXPECT_TRUE(text("laSize").endsWith(c.size)) << text("laSize").toStdString();
        if (!c.contains.isEmpty()) {
            EXPECT_EQ(text("laContains"), c.contains);
        }
        EXPECT_FALSE(text("laModified").isEmpty());
        window->close();
    }
    QApplication::processEvents(); // closed windows free themselves
    desktop.ShowFileProperties(root + QStringLiteral("missing.txt"));
    for (auto* widget : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<TFilePropertiesDialog*>(widget) && widget->isVisible());
}

TEST(TWidgetDesktopTest, InputQueryReturnsTheTextOrNothing)
{
    TWidgetDesktop desktop;
    QString prefilled;
    WhenModal<QInputDialog>([&](QInputDialog* dialog) {
        auto* edit = dialog->findChild<QLineEdit*>();
        prefilled = edit->text();
        edit->selectAll();
        QTest::keyClicks(edit, QStringLiteral(" New name "));
        QTest::keyClick(edit, Qt::Key_Return);
    });
    EXPECT_EQ(desktop.InputQuery(QStringLiteral("Rename"), QStringLiteral("Name:"), QStringLiteral("Old")),
              std::optional<QString>(QStringLiteral(" New name ")));
    EXPECT_EQ(prefilled, QStringLiteral("Old"));

    WhenModal<QInputDialog>([](QInputDialog* dialog) { QTest::keyClick(dialog, Qt::Key_Escape); });
    EXPECT_EQ(desktop.InputQuery(QStringLiteral("Rename"), QStringLiteral("Name:"), QStringLiteral("Old")),
              std::nullopt);
}

TEST(TWidgetDesktopTest, PickersReturnTheChoiceOrEmptyText)
{
    const QString folder = TestEnv::ScratchFolder();
    const QString file = folder + QStringLiteral("backup.dat");
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();

    TWidgetDesktop desktop;
    QString caption;
    WhenModal<QFileDialog>([&](QFileDialog* dialog) {
        caption = dialog->windowTitle();
        // selectFile leaves the name field alone while it has the focus, so
        // fill the field the way a user does.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!name) {
            ADD_FAILURE() << "the file dialog has no name field";
            dialog->reject();
            return;
        }
        name->setText(file);
        static_cast<QDialog*>(dialog)->accept(); // what the Open button does
    });
    EXPECT_EQ(desktop.PickOpenFile(QStringLiteral("Restore from"), folder,
                                   QStringLiteral("Backups (*.dat);;All files (*)")),
              file);
    EXPECT_EQ(caption, QStringLiteral("Restore from"));

    WhenModal<QFileDialog>([](QFileDialog* dialog) { dialog->reject(); });
    EXPECT_EQ(desktop.PickFolder(QStringLiteral("Folder"), folder), QString());
}

#include "WidgetDesktopTest.moc"

TEST(TWidgetDesktopTest, ProgressAppearsAfterAMomentAndCancelStopsTheWork)
{
    TWidgetDesktop desktop;
    desktop.BeginProgress(QStringLiteral("Compressing the files of \"Big\"..."), true);
    desktop.BeginProgress(QStringLiteral("an inner step"), false);
    ASSERT_NE(desktop.ProgressDialog(), nullptr);
    // A quick piece of work shows no window at all.
    EXPECT_TRUE(desktop.StepProgress(1, 100));
    EXPECT_FALSE(desktop.ProgressDialog()->isVisible());

    // Longer work brings it up, with the outermost text and a Cancel button.
    QElapsedTimer clock;
    clock.start();
    qint64 done = 1;
    while (!desktop.ProgressDialog()->isVisible() && clock.elapsed() < 5000) {
        EXPECT_TRUE(desktop.StepProgress(++done, 1000));
        QTest::qWait(20);
    }
    QProgressDialog* shown = desktop.ProgressDialog();
    ASSERT_TRUE(shown->isVisible());
    EXPECT_EQ(shown->labelText(), QStringLiteral("Compressing the files of \"Big\"..."));
    EXPECT_EQ(shown->maximum(), 1000);
    EXPECT_EQ(shown->value(), int(done));
    QPushButton* cancel = shown->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));

    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_FALSE(desktop.StepProgress(done + 1, 1000)) << "the work is told to stop";
    desktop.EndProgress();
    EXPECT_NE(desktop.ProgressDialog(), nullptr) << "the outer work still runs";
    desktop.EndProgress();
    EXPECT_EQ(desktop.ProgressDialog(), nullptr);
    // An unmatched end does nothing.
    desktop.EndProgress();

    // Work that cannot be stopped offers no Cancel.
    desktop.BeginProgress(QStringLiteral("Compacting the database..."), false);
    EXPECT_EQ(desktop.ProgressDialog()->findChild<QPushButton*>(), nullptr);
    EXPECT_TRUE(desktop.StepProgress(0, 0));
    desktop.EndProgress();
}

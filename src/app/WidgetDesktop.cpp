#include "app/WidgetDesktop.h"

#include "app/FilePropertiesDialog.h"
#include "engine/frmRequestPassword.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSystemTrayIcon>
#include <QUrl>

#include <algorithm>

namespace {

// The one-line prompt is at least this wide, and wide enough for its caption.
constexpr int kInputQueryMinimumWidth = 420;

// A modal window opened while long work shows the wait cursor would show it
// too, and the user could not tell that the program waits for an answer.
// The arrow goes on top for the life of the window and the wait cursor
// comes back after it.
class TModalCursor
{
public:
    TModalCursor() : m_pushed(QApplication::overrideCursor() != nullptr)
    {
        if (m_pushed)
            QApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~TModalCursor()
    {
        if (m_pushed)
            QApplication::restoreOverrideCursor();
    }
    TModalCursor(const TModalCursor&) = delete;
    TModalCursor& operator=(const TModalCursor&) = delete;

private:
    bool m_pushed;
};

QMessageBox::Icon IconOf(IDesktop::TMsgKind kind)
{
    switch (kind) {
    case IDesktop::TMsgKind::Information: return QMessageBox::Information;
    case IDesktop::TMsgKind::Warning: return QMessageBox::Warning;
    case IDesktop::TMsgKind::Error: return QMessageBox::Critical;
    case IDesktop::TMsgKind::Confirmation: return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

struct TButtonSet {
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton; // Enter
    QMessageBox::StandardButton escapeButton;  // Escape and the window's close box
};

TButtonSet ButtonsOf(IDesktop::TButtons buttons)
{
    switch (buttons) {
    case IDesktop::TButtons::Ok: return {QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok};
    case IDesktop::TButtons::OkCancel:
        return {QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, QMessageBox::Cancel};
    case IDesktop::TButtons::YesNo: return {QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, QMessageBox::No};
    case IDesktop::TButtons::YesCancel:
        return {QMessageBox::Yes | QMessageBox::Cancel, QMessageBox::Yes, QMessageBox::Cancel};
    case IDesktop::TButtons::YesNoCancel:
        return {QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes, QMessageBox::Cancel};
    }
    return {QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok};
}

IDesktop::TAnswer AnswerOf(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Ok: return IDesktop::TAnswer::Ok;
    case QMessageBox::Yes: return IDesktop::TAnswer::Yes;
    case QMessageBox::No: return IDesktop::TAnswer::No;
    default: return IDesktop::TAnswer::Cancel;
    }
}

} // namespace

TWidgetDesktop::TWidgetDesktop(QObject* parent) : QObject(parent), m_caption(QStringLiteral("Tessaryn")) {}

TWidgetDesktop::~TWidgetDesktop()
{
    if (m_waitDepth > 0)
        QApplication::restoreOverrideCursor();
}

void TWidgetDesktop::SetParentWindow(QWidget* window)
{
    m_parentWindow = window;
}

void TWidgetDesktop::SetTrayIcon(QSystemTrayIcon* trayIcon)
{
    m_trayIcon = trayIcon;
}

void TWidgetDesktop::SetCaption(const QString& caption)
{
    m_caption = caption;
}

QWidget* TWidgetDesktop::DialogParent() const
{
    // A box belongs to the window the user is working in (an entry editor, a
    // modal dialog): parented to the main window, the window manager would
    // raise the main window with it and bury that window until it closed.
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    return m_parentWindow;
}

IDesktop::TAnswer TWidgetDesktop::MessageBox(const QString& text, TMsgKind kind, TButtons buttons)
{
    const TButtonSet set = ButtonsOf(buttons);
    // The texts carry Windows line breaks; as plain text, so that a title
    // such as "<Enter title here>" quoted in a message is shown, not parsed.
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(IconOf(kind), m_caption, shown, set.buttons, DialogParent());
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(set.defaultButton);
    box.setEscapeButton(set.escapeButton);

    const TModalCursor arrow;
    box.exec();
    return AnswerOf(box.standardButton(box.clickedButton()));
}

void TWidgetDesktop::Notice(const QString& title, const QString& text)
{
    if (m_trayIcon && m_trayIcon->isVisible() && QSystemTrayIcon::isSystemTrayAvailable()
        && QSystemTrayIcon::supportsMessages()) {
        m_trayIcon->showMessage(title, text, QSystemTrayIcon::Information);
        return;
    }
    if (m_keptNotices.size() >= kKeptNoticesLimit)
        m_keptNotices.removeFirst();
    m_keptNotices.append({title, text});
    emit noticeShown(title, text);
}

bool TWidgetDesktop::ShellOpen(const QString& path)
{
    if (!QFileInfo::exists(path))
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool TWidgetDesktop::ShellExplore(const QString& folder)
{
    if (!QFileInfo(folder).isDir())
        return false;
    return QDesktopServices::openUrl(QUrl::fromLocalFile(folder));
}

void TWidgetDesktop::ShowFileProperties(const QString& path)
{
    if (!QFileInfo::exists(path))
        return;
    auto* window = new TFilePropertiesDialog(path, DialogParent());
    window->show();
}

std::optional<QString> TWidgetDesktop::RequestEntryPassword(int code, const QString& title)
{
    const TModalCursor arrow;
    return TFrmRequestPassword::RequestEntryPassword(code, title, DialogParent());
}

std::optional<QString> TWidgetDesktop::InputQuery(const QString& caption, const QString& prompt,
                                                  const QString& value)
{
    const TModalCursor arrow;
    QInputDialog dialog(DialogParent());
    dialog.setWindowTitle(caption);
    dialog.setLabelText(prompt);
    dialog.setTextValue(value);
    // Qt sizes the prompt to its label alone: the caption was cut short and
    // a file name hardly fitted into the field. The dialog's layout fixes its
    // size from its contents, so the field is what is made wider.
    if (auto* field = dialog.findChild<QLineEdit*>())
        field->setMinimumWidth(qMax(kInputQueryMinimumWidth, dialog.fontMetrics().horizontalAdvance(caption) + 160));
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.textValue();
}

QString TWidgetDesktop::PickFolder(const QString& caption, const QString& start)
{
    const TModalCursor arrow;
    return QFileDialog::getExistingDirectory(DialogParent(), caption, start);
}

QString TWidgetDesktop::PickOpenFile(const QString& caption, const QString& start, const QString& filter)
{
    const TModalCursor arrow;
    return QFileDialog::getOpenFileName(DialogParent(), caption, start, filter);
}

QString TWidgetDesktop::PickSaveFile(const QString& caption, const QString& start, const QString& filter)
{
    const TModalCursor arrow;
    return QFileDialog::getSaveFileName(DialogParent(), caption, start, filter);
}

void TWidgetDesktop::BeginWait()
{
    // One cursor for the outermost call only; inner calls count, so the
    // cursor goes when the outermost work ends and not before.
    if (m_waitDepth++ == 0)
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

void TWidgetDesktop::BeginProgress(const QString& text, bool cancellable)
{
    if (m_progressDepth++ > 0)
        return;
    // Shown only when the work lasts longer than a moment: a quick store must
    // not flash a window.
    auto* progress = new QProgressDialog(text, cancellable ? QStringLiteral("Cancel") : QString(), 0, 0, DialogParent());
    progress->setObjectName(QStringLiteral("ProgressDialog"));
    progress->setWindowTitle(m_caption);
    progress->setMinimumWidth(380);
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(400);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    if (!cancellable)
        progress->setCancelButton(nullptr);
    progress->setValue(0);
    m_progress = progress;
    m_lastEvents = 0;
}

bool TWidgetDesktop::StepProgress(qint64 done, qint64 total)
{
    if (!m_progress)
        return true;
    if (total > 0) {
        // The bar counts in thousandths: byte and page counts pass int's range.
        m_progress->setMaximum(1000);
        m_progress->setValue(int(std::clamp<qint64>(done, 0, total) * 1000 / total));
    } else {
        m_progress->setMaximum(0);
        m_progress->setValue(0);
    }
    // Painting and the Cancel button need the event loop; often enough to
    // feel live, seldom enough not to slow the work down.
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - m_lastEvents > 30) {
        QApplication::processEvents();
        m_lastEvents = now;
    }
    return !m_progress || !m_progress->wasCanceled();
}

void TWidgetDesktop::EndProgress()
{
    if (m_progressDepth == 0 || --m_progressDepth > 0)
        return;
    delete m_progress.data();
}

void TWidgetDesktop::EndWait()
{
    // An unmatched call must not take away a cursor someone else set.
    if (m_waitDepth == 0)
        return;
    if (--m_waitDepth == 0)
        QApplication::restoreOverrideCursor();
}

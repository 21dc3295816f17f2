#include "settings/fPersistent.h"

#include "settings/DatabaseSettingsManager.h"
#include "settings/ISettingsManager.h"
#include "settings/dmMain.h"

#include <QApplication>
#include <QFont>
#include <QHideEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QShowEvent>
#include <QWidget>
#include <algorithm>
#include <exception>

namespace {

const QString kLeft = QStringLiteral("Left");
const QString kTop = QStringLiteral("Top");
const QString kWidth = QStringLiteral("Width");
const QString kHeight = QStringLiteral("Height");
const QString kState = QStringLiteral("State");

// Shows every key press first to the persistent windows around the control
// it is meant for, innermost first, as if each window previewed its keyboard.
class TKeyPreviewFilter : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
            return false;
        auto* receiver = static_cast<QWidget*>(watched);
        // Qt hands a key its receiver leaves unused on to the receiver's
        // parents, and each hand-over passes this filter again. A key starts at
        // the focus widget, or at the window itself when nothing in it has
        // the focus; only that first delivery is previewed.
        QWidget* focus = QApplication::focusWidget();
        const bool first = receiver == focus
                           || (receiver->isWindow() && (!focus || focus->window() != receiver));
        if (!first)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        for (QWidget* w = receiver; w; w = w->parentWidget())
            if (auto* window = dynamic_cast<IPersistentWindow*>(w))
                if (window->FormKeyDown(key))
                    return true;
        return false;
    }
};

QFont PersistentWindowFont()
{
    QFont font(QStringLiteral("Verdana"), 8);
    // Verdana is rare on Linux desktops; a wide sans face keeps the layouts close.
    font.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    return font;
}

} // namespace

// --- TPersistentPlacement ---------------------------------------------------------

TPersistentPlacement::TPersistentPlacement(QWidget& window, ISettingsManager& settings)
    : m_window(window), m_settings(settings)
{
}

QString TPersistentPlacement::Section() const
{
    return m_section.isEmpty() ? QString::fromLatin1(m_window.metaObject()->className()) : m_section;
}

void TPersistentPlacement::Load()
{
    m_section = QString::fromLatin1(m_window.metaObject()->className());
    try {
        TSettingsAccess access(m_settings);
        m_settings.UseUserThisComputer();
        m_stored.Left = m_settings.ReadInteger(kLeft, -1, m_section);
        m_stored.Top = m_settings.ReadInteger(kTop, -1, m_section);
        m_stored.Width = m_settings.ReadInteger(kWidth, -1, m_section);
        m_stored.Height = m_settings.ReadInteger(kHeight, -1, m_section);
    } catch (const std::exception&) {
        // what was read so far stands; the rest keeps "nothing stored"
    }
}

QRect TPersistentPlacement::FittedToScreen(const QRect& stored) const
{
    // A placement stored on a larger screen, at a smaller scale or on a
    // monitor that is gone would leave the window partly out of reach: it
    // is shrunk to the screen it belongs to and moved into it.
    const QScreen* screen = QGuiApplication::screenAt(stored.center());
    if (!screen)
        screen = m_window.screen() ? m_window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return stored;
    // The window's frame, where the window system has told it already.
    const QRect frame = m_window.frameGeometry(), client = m_window.geometry();
    const QMargins decoration(client.left() - frame.left(), client.top() - frame.top(),
                              frame.right() - client.right(), frame.bottom() - client.bottom());
    const QRect area = screen->availableGeometry().marginsRemoved(decoration);
    if (area.contains(stored))
        return stored;
    QRect fitted(stored.topLeft(), stored.size().boundedTo(area.size()));
    fitted.moveLeft(std::clamp(fitted.left(), area.left(), area.right() - fitted.width() + 1));
    fitted.moveTop(std::clamp(fitted.top(), area.top(), area.bottom() - fitted.height() + 1));
    return fitted;
}

void TPersistentPlacement::Apply()
{
    try {
        if (m_stored.Width > 0 && m_stored.Height > 0) {
            m_window.setGeometry(FittedToScreen(QRect(m_stored.Left, m_stored.Top, m_stored.Width, m_stored.Height)));
            return;
        }
        const QScreen* screen = m_window.screen() ? m_window.screen() : QGuiApplication::primaryScreen();
        if (!screen)
            return;
        const QRect area = screen->geometry();
        const QSize size = m_window.frameGeometry().size();
        // integer division rounds toward zero, also for a window larger than the screen
        m_window.move(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
    } catch (const std::exception&) {
    }
}

int TPersistentPlacement::StateOf(const QWidget& window)
{
    const Qt::WindowStates state = window.windowState();
    if (state & Qt::WindowMinimized)
        return StateMinimized;
    if (state & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return StateMaximized;
    return StateNormal;
}

void TPersistentPlacement::Save()
{
    const int state = StateOf(m_window);
    // The rectangle the window returns to when restored, also while it is
    // maximized or minimized; the window system keeps it for top-level windows.
    QRect normal = m_window.normalGeometry();
    if (normal.isEmpty())
        normal = m_window.geometry();
    const QString section = Section();
    TSettingsAccess access(m_settings);
    m_settings.UseUserThisComputer();
    m_settings.WriteInteger(kLeft, normal.left(), section);
    m_settings.WriteInteger(kTop, normal.top(), section);
    m_settings.WriteInteger(kWidth, normal.width(), section);
    m_settings.WriteInteger(kHeight, normal.height(), section);
    m_settings.WriteInteger(kState, state, section);
}

void TPersistentPlacement::Erase()
{
    const QString section = Section();
    TSettingsAccess access(m_settings);
    m_settings.UseAllUsersAllComputers();
    m_settings.EraseSection(section);
    m_settings.UseUserThisComputer();
    m_settings.EraseSection(section);
    m_settings.UseUserAllComputers();
    m_settings.EraseSection(section);
    m_settings.UseAllUsersThisComputer();
    m_settings.EraseSection(section);
}

bool TPersistentPlacement::HandleKey(const QKeyEvent& event)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    if (event.key() != Qt::Key_R || modifiers != Qt::ControlModifier)
        return false;
    m_saveOnClose = false;
    return true;
}

void InstallPersistentKeyPreview()
{
    static QPointer<QObject> filter;
    if (filter || !qApp)
        return;
    filter = new TKeyPreviewFilter(qApp);
    qApp->installEventFilter(filter);
}

// --- TPersistentWindow --------------------------------------------------------------

template <class TBase>
TPersistentWindow<TBase>::TPersistentWindow(TdmMain& dmMain, QWidget* parent)
    : TBase(parent), m_dmMain(dmMain), m_placement(*this, dmMain.Settings())
{
    this->setWindowTitle(QStringLiteral("Persistent form"));
    this->setFont(PersistentWindowFont());
    this->setProperty(TDatabaseSettingsManager::PersistentWindowProperty, true);
    InstallPersistentKeyPreview();
}

template <class TBase>
TPersistentWindow<TBase>::~TPersistentWindow()
{
    if (m_placementPending) {
        m_placementPending = false;
        try {
            FormDestroy();
        } catch (const std::exception&) {
            // a destructor must not throw; the placement is simply not kept
        }
    }
}

template <class TBase>
void TPersistentWindow<TBase>::ApplyPlacement()
{
    m_placement.Apply();
}

template <class TBase>
void TPersistentWindow<TBase>::ErasePlacement()
{
    m_placement.Erase();
}

template <class TBase>
void TPersistentWindow<TBase>::LoadPlacement()
{
    m_placement.Load();
}

template <class TBase>
void TPersistentWindow<TBase>::SavePlacement()
{
    m_placement.Save();
}

template <class TBase>
bool TPersistentWindow<TBase>::FormKeyDown(QKeyEvent* event)
{
    // The window keeps its place for now; its stored data goes when it closes.
    m_placement.HandleKey(*event);
    return false;
}

template <class TBase>
void TPersistentWindow<TBase>::FormShow()
{
    if (m_placementApplied)
        return;
    m_placementApplied = true;
    LoadPlacement();
    // A window embedded into another one has no placement of its own.
    if (this->isWindow())
        ApplyPlacement();
}

template <class TBase>
void TPersistentWindow<TBase>::FormDestroy()
{
    if (m_placement.SaveOnClose()) {
        if (this->isWindow())
            SavePlacement();
    } else {
        ErasePlacement();
    }
}

template <class TBase>
void TPersistentWindow<TBase>::showEvent(QShowEvent* event)
{
    TBase::showEvent(event);
    // spontaneous shows come from the window system (restoring from the
    // task bar), not from the program opening the window
    if (event->spontaneous())
        return;
    m_placementPending = true;
    FormShow();
}

template <class TBase>
void TPersistentWindow<TBase>::hideEvent(QHideEvent* event)
{
    TBase::hideEvent(event);
    if (event->spontaneous() || !m_placementPending)
        return;
    m_placementPending = false;
    try {
        FormDestroy();
    } catch (const std::exception&) {
    }
}

template class TPersistentWindow<QDialog>;
template class TPersistentWindow<QMainWindow>;

// --- concrete bases ---------------------------------------------------------------------

TFrmPersistent::TFrmPersistent(TdmMain& dmMain, QWidget* parent) : TPersistentWindow<QDialog>(dmMain, parent)
{
}

TFrmPersistentMain::TFrmPersistentMain(TdmMain& dmMain, QWidget* parent)
    : TPersistentWindow<QMainWindow>(dmMain, parent)
{
}

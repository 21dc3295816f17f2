#pragma once

#include <QDialog>
#include <QMainWindow>
#include <QString>

class ISettingsManager;
class QCloseEvent;
class QHideEvent;
class QKeyEvent;
class QShowEvent;
class QWidget;
class TdmMain;

// A window that remembers where it was and how large it was, between runs.
//
// The program's windows are built on two Qt window classes: the main window
// on QMainWindow (menus, toolbars, central widget), the entry editor, the
// managers and the dialogs on QDialog (modal loops, accept/reject). Both get
// the same behaviour from one class template, TPersistentWindow<QDialog or
// QMainWindow>, whose work is done by the non-template TPersistentPlacement;
// the concrete classes TFrmPersistent (QDialog) and TFrmPersistentMain
// (QMainWindow) carry Q_OBJECT, which a template cannot. Code that must reach
// the behaviour without knowing the Qt base uses IPersistentWindow.
//
// A window keeps its placement in the settings store, in the section named
// after its class (the most derived class that declares Q_OBJECT), for the
// current user on this computer: "Left", "Top", "Width", "Height" and
// "State". Its controls keep their own data in subsections of that section,
// so Ctrl+R, which makes the window forget everything stored for it when it
// closes, forgets theirs too.
class IPersistentWindow {
public:
    virtual ~IPersistentWindow() = default;

    // Puts the window where it was; without a stored size, centres it on its screen.
    virtual void ApplyPlacement() = 0;
    // Removes the window's section, with its subsections, in all four scopes.
    virtual void ErasePlacement() = 0;
    // Reads the stored placement.
    virtual void LoadPlacement() = 0;
    // Stores the current placement: the restored rectangle and the state.
    virtual void SavePlacement() = 0;

    // Keys reach the window before its controls. True when the key is used up.
    virtual bool FormKeyDown(QKeyEvent* event) = 0;
};

// The placement as read from the store; -1 where nothing is stored.
struct TStoredPlacement {
    int Left = -1;
    int Top = -1;
    int Width = -1;
    int Height = -1;
};

// The placement logic on any top-level widget; see IPersistentWindow.
class TPersistentPlacement {
public:
    static constexpr int StateNormal = 0;
    static constexpr int StateMinimized = 1;
    static constexpr int StateMaximized = 2;

    TPersistentPlacement(QWidget& window, ISettingsManager& settings);

    // The section the window keeps its data in: its class name, fixed by the
    // first Load (before that, the class name as it is now).
    QString Section() const;
    const TStoredPlacement& Stored() const { return m_stored; }
    bool SaveOnClose() const { return m_saveOnClose; }
    void SetSaveOnClose(bool save) { m_saveOnClose = save; }

    // Errors leave the values read so far.
    void Load();
    // Errors are ignored.
    void Apply();
    // The stored rectangle, shrunk and moved into the screen it belongs to.
    QRect FittedToScreen(const QRect& stored) const;
    void Save();
    void Erase();
    // Ctrl+R (exactly the Ctrl modifier, R in either case): forget on close.
    // True when the key was that one.
    bool HandleKey(const QKeyEvent& event);

    // The state as stored: 0 normal, 1 minimized, 2 maximized (also full screen).
    static int StateOf(const QWidget& window);

private:
    QWidget& m_window;
    ISettingsManager& m_settings;
    QString m_section;
    TStoredPlacement m_stored;
    bool m_saveOnClose = true;
};

// Installs, once for the program, the filter that shows key presses to their
// persistent window before the control with the focus sees them.
void InstallPersistentKeyPreview();

template <class TBase>
class TPersistentWindow : public TBase, public IPersistentWindow {
public:
    // Caption "Persistent form", font Verdana 8 pt, key preview.
    explicit TPersistentWindow(TdmMain& dmMain, QWidget* parent = nullptr);
    // A window destroyed while still shown stores (or forgets) its placement here.
    ~TPersistentWindow() override;
    TPersistentWindow(const TPersistentWindow&) = delete;
    TPersistentWindow& operator=(const TPersistentWindow&) = delete;

    void ApplyPlacement() override;
    void ErasePlacement() override;
    void LoadPlacement() override;
    void SavePlacement() override;
    // Ctrl+R clears "save on close". Derived windows call this first from their own.
    bool FormKeyDown(QKeyEvent* event) override;

    bool SaveOnClose() const { return m_placement.SaveOnClose(); }
    const TStoredPlacement& StoredPlacement() const { return m_placement.Stored(); }
    QString PlacementSection() const { return m_placement.Section(); }

protected:
    // The first show reads the placement (the window is complete by then, so
    // its class name is the final one) and applies it. Later shows (a window
    // brought back from the tray, say) leave the window where the user put it.
    virtual void FormShow();
    // Stores the placement, or erases it after Ctrl+R. Runs when the window
    // is closed or hidden by the program (close, accept, reject, hide),
    // or at the latest when it is destroyed while still shown.
    virtual void FormDestroy();

    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

    TdmMain& m_dmMain;

private:
    TPersistentPlacement m_placement;
    bool m_placementApplied = false;
    bool m_placementPending = false;
};

extern template class TPersistentWindow<QDialog>;
extern template class TPersistentWindow<QMainWindow>;

// The base of the remembering dialogs and editor windows.
class TFrmPersistent : public TPersistentWindow<QDialog>
{
    Q_OBJECT

public:
    explicit TFrmPersistent(TdmMain& dmMain, QWidget* parent = nullptr);
};

// The base of a remembering main window.
class TFrmPersistentMain : public TPersistentWindow<QMainWindow>
{
    Q_OBJECT

public:
    explicit TFrmPersistentMain(TdmMain& dmMain, QWidget* parent = nullptr);
};

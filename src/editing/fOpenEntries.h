#pragma once

#include "editing/IOstrivaleDropTarget.h"
#include "engine/EntryData.h"
#include "mainwindow/fStatusBar.h"
#include "settings/dmMain.h"

#include <QPointer>

class QAction;
class QActionGroup;
class QMenu;
class QMenuBar;
class QStackedLayout;
class TfrmEntry;
struct TOpenEntry;

// The window of the entries open for editing when "Edit multiple entries" is
// on: each open entry's editor is docked in it as a page, one page shows at a
// time, and the menu "Open entries" lists them ("<code>. <title>") to switch
// between them. The shown editor's "Actions" menu joins the window's own.
//
// At most one exists; it is made for the first entry opened and released when
// the last one closes. Esc, "Hide!" and moving to another window of the
// program only hide it: the entries stay open.
class TfrmOpenEntries : public TFrmStatusBar, public IEntryDataObserver, public IColorSchemeObserver,
                        public IOstrivaleDropTarget
{
    Q_OBJECT

public:
    explicit TfrmOpenEntries(TdmMain& dmMain);
    ~TfrmOpenEntries() override;

    // The one window, or nullptr.
    static TfrmOpenEntries* Instance();
    // True when the window exists and is visible.
    static bool IsShowing();
    // Frees the window once the event being handled is done; Instance() is
    // nullptr from now on.
    void Release();

    void AddEntryPage(TOpenEntry& openEntry);
    void ShowEntry(int code);
    void RemoveEntryPage(int code);
    // The docked editor whose entry has that code, or nullptr.
    TfrmEntry* FindEditor(int code) const;
    int CurrentCode() const { return m_currentCode; }
    TfrmEntry* CurrentEditor() const { return m_currentEditor; }

    void EntryDataChanged(TEntryData* entry) override;
    void ApplyColorScheme() override;
    bool DropsAccepted() const override { return m_dropsAccepted; }
    void EnableDrops() override { m_dropsAccepted = true; }
    void DisableDrops() override { m_dropsAccepted = false; }
    bool FormKeyDown(QKeyEvent* event) override;

    QWidget* paContainer = nullptr;
    QMenuBar* cmEntries = nullptr;
    QMenu* miOpenEntries = nullptr;
    QAction* miHide = nullptr;

protected:
    void FormShow() override;
    void changeEvent(QEvent* event) override;

private:
    // Shows the editor's menu in the window's menu bar, or takes it out.
    void MergeEditorMenu(TfrmEntry* editor);
    void UnmergeEditorMenu();
    // The item of that code checked, every other one not.
    void CheckItem(int code);
    // Losing the focus to another window of the program hides the window;
    // message boxes and menus opened from it do not count.
    void CheckDeactivation();

    QStackedLayout* m_stack = nullptr;
    QActionGroup* m_entryItems = nullptr;
    QPointer<TfrmEntry> m_currentEditor;
    QAction* m_mergedMenu = nullptr;
    int m_currentCode = -1;
    int m_removingCode = -1;
    bool m_dropsAccepted = true;
};

// Makes the entry manager's registry of open entries show its entries in
// editor windows: one modal editor at a time while "Edit multiple entries" is
// off, docked pages of the open-entries window while it is on. The main
// window calls it once, when it is made; UninstallEntryEditors undoes it.
void InstallEntryEditors(TdmMain& dmMain);
void UninstallEntryEditors(TdmMain& dmMain);
// The modal editor being shown, or nullptr.
TfrmEntry* ModalEntryEditor();

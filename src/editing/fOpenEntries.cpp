#include "editing/fOpenEntries.h"

#include "db/dmConnection.h"
#include "editing/fEntry.h"
#include "engine/EntryManager.h"
#include "engine/OpenEntries.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QStackedLayout>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

namespace {

TfrmOpenEntries* g_instance = nullptr;
QPointer<TfrmEntry> g_modalEditor;

QString EntryItemCaption(const TEntryData& entry)
{
    return QString::number(entry.Code()) + QStringLiteral(". ") + entry.Title();
}

} // namespace

TfrmOpenEntries::TfrmOpenEntries(TdmMain& dmMain) : TFrmStatusBar(dmMain)
{
    g_instance = this;
    setObjectName(QStringLiteral("frmOpenEntries"));
    setWindowTitle(QStringLiteral("Open entries"));
    setAcceptDrops(false);

    cmEntries = new QMenuBar(this);
    cmEntries->setObjectName(QStringLiteral("cmEntries"));
    miOpenEntries = cmEntries->addMenu(QStringLiteral("Open entries"));
    miOpenEntries->setObjectName(QStringLiteral("miOpenEntries"));
    miHide = cmEntries->addAction(QStringLiteral("Hide!"));
    miHide->setObjectName(QStringLiteral("miHide"));
    miHide->setStatusTip(QStringLiteral("Hides this form (does not close any of the open entries)"));
    connect(miHide, &QAction::triggered, this, [this] { hide(); });
    layout()->setMenuBar(cmEntries);

    m_entryItems = new QActionGroup(this);
    m_entryItems->setExclusive(true);

    paContainer = new QWidget(ClientArea());
    paContainer->setObjectName(QStringLiteral("paContainer"));
    m_stack = new QStackedLayout(paContainer);
    m_stack->setContentsMargins(0, 0, 0, 0);
    auto* column = new QVBoxLayout(ClientArea());
    column->setContentsMargins(0, 0, 0, 0);
    column->addWidget(paContainer);

    m_dmMain.AddColorSchemeObserver(this);
    resize(680, 520);
}

TfrmOpenEntries::~TfrmOpenEntries()
{
    m_dmMain.RemoveColorSchemeObserver(this);
    if (g_instance == this)
        g_instance = nullptr;
    // Editors still docked here detach from their entries before they go.
    const QList<TfrmEntry*> editors = paContainer->findChildren<TfrmEntry*>(Qt::FindDirectChildrenOnly);
    for (TfrmEntry* editor : editors) {
        if (TEntryData* entry = editor->Entry())
            entry->RemoveObserver(this);
        editor->AttachEntry(nullptr);
    }
}

TfrmOpenEntries* TfrmOpenEntries::Instance()
{
    return g_instance;
}

bool TfrmOpenEntries::IsShowing()
{
    return g_instance && g_instance->isVisible();
}

void TfrmOpenEntries::Release()
{
    if (g_instance == this)
        g_instance = nullptr;
    hide();
    deleteLater();
}

TfrmEntry* TfrmOpenEntries::FindEditor(int code) const
{
    const QList<TfrmEntry*> editors = paContainer->findChildren<TfrmEntry*>(Qt::FindDirectChildrenOnly);
    for (TfrmEntry* editor : editors) {
        if (editor->Entry() && editor->Entry()->Code() == code)
            return editor;
    }
    return nullptr;
}

void TfrmOpenEntries::AddEntryPage(TOpenEntry& openEntry)
{
    TEntryData& entry = *openEntry.Entry;
    entry.AddObserver(this);
    QAction* item = miOpenEntries->addAction(EntryItemCaption(entry));
    item->setStatusTip(entry.Title());
    item->setData(entry.Code());
    item->setCheckable(true);
    m_entryItems->addAction(item);
    CheckItem(entry.Code());
    const int code = entry.Code();
    connect(item, &QAction::triggered, this, [this, code] { ShowEntry(code); });
}

void TfrmOpenEntries::UnmergeEditorMenu()
{
    if (m_mergedMenu) {
        cmEntries->removeAction(m_mergedMenu);
        m_mergedMenu = nullptr;
    }
}

void TfrmOpenEntries::MergeEditorMenu(TfrmEntry* editor)
{
    UnmergeEditorMenu();
    if (!editor || !editor->ActionsMenu())
        return;
    m_mergedMenu = editor->ActionsMenu()->menuAction();
    cmEntries->insertAction(miHide, m_mergedMenu);
}

void TfrmOpenEntries::ShowEntry(int code)
{
    int pageIndex = 0;
    if (m_currentEditor) {
        pageIndex = m_currentEditor->PageIndex();
        UnmergeEditorMenu();
    }
    CheckItem(code);
    if (TfrmEntry* editor = FindEditor(code)) {
        editor->SetPageIndex(pageIndex);
        m_stack->setCurrentWidget(editor);
        editor->ResizeFilesGrid();
        m_currentEditor = editor;
        m_currentCode = code;
        MergeEditorMenu(editor);
    }
    show();
    raise();
    activateWindow();
}

void TfrmOpenEntries::RemoveEntryPage(int code)
{
    m_removingCode = code;
    struct TReset {
        int& code;
        ~TReset() { code = -1; }
    } reset{m_removingCode};

    for (QAction* item : miOpenEntries->actions()) {
        if (item->data().toInt() == code) {
            m_entryItems->removeAction(item);
            miOpenEntries->removeAction(item);
            item->deleteLater();
        }
    }
    if (m_currentEditor && (!m_currentEditor->Entry() || m_currentCode == code)) {
        // The page going away no longer gives the window its menu.
        UnmergeEditorMenu();
        m_currentEditor = nullptr;
        m_currentCode = -1;
    }
    TOpenEntries& registry = m_dmMain.EntryManager().OpenEntries();
    for (int i = registry.Count() - 1; i >= 0; --i) {
        const int next = registry.Items(i).Entry->Code();
        if (next != m_removingCode) {
            ShowEntry(next);
            break;
        }
    }
}

void TfrmOpenEntries::CheckItem(int code)
{
    for (QAction* item : miOpenEntries->actions())
        item->setChecked(item->data().toInt() == code);
}

void TfrmOpenEntries::EntryDataChanged(TEntryData* entry)
{
    if (entry && entry->Code() == m_currentCode && m_currentEditor)
        MergeEditorMenu(m_currentEditor);
}

void TfrmOpenEntries::ApplyColorScheme()
{
    QPalette palette = cmEntries->palette();
    palette.setColor(QPalette::Highlight, m_dmMain.Colour(csMenuBrush));
    palette.setColor(QPalette::HighlightedText, m_dmMain.Colour(csMenuPen));
    cmEntries->setPalette(palette);
    miOpenEntries->setPalette(palette);
}

void TfrmOpenEntries::FormShow()
{
    TFrmStatusBar::FormShow();
    ApplyColorScheme();
}

bool TfrmOpenEntries::FormKeyDown(QKeyEvent* event)
{
    // Keys of a window opened over this one (a quick note from a docked
    // editor, a prompt) pass through here too; they are that window's.
    if (TfrmEntry::KeyOfAnotherWindow(this))
        return false;
    if (TFrmStatusBar::FormKeyDown(event))
        return true;
    if (TfrmEntry::PlainKey(*event, Qt::Key_Escape)) {
        hide();
        return true;
    }
    if (TfrmEntry::PlainKey(*event, Qt::Key_F2) && m_currentEditor) {
        // The editor renames its highlighted file, also when the key came
        // to the window rather than to the editor.
        if (!m_currentEditor->isAncestorOf(QApplication::focusWidget()))
            return m_currentEditor->FormKeyDown(event);
    }
    return false;
}

void TfrmOpenEntries::changeEvent(QEvent* event)
{
    TFrmStatusBar::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && isVisible())
        QTimer::singleShot(0, this, [this] { CheckDeactivation(); });
}

void TfrmOpenEntries::CheckDeactivation()
{
    if (!isVisible() || isActiveWindow())
        return;
    QWidget* active = QApplication::activeWindow();
    if (!active)
        return;   // another program has the focus: that is no reason to go
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget())
        return;
    for (QWidget* w = active; w; w = w->parentWidget())
        if (w == this)
            return;
    hide();
}

// --- the registry's hooks ---------------------------------------------------------

namespace {

void ApplyMode(TdmMain& main, TfrmEntry& editor, TEntryData& entry, bool isNew)
{
    if (isNew) {
        editor.SetReadOnly(false);
        editor.SetNewMode();
        return;
    }
    editor.SetReadOnly(!main.Connection().CanAccess(entry.Code(), akModify));
    editor.SetEditMode();
}

void ShowDocked(TdmMain& main, TEntryData* entry, bool isNew)
{
    TfrmOpenEntries* window = TfrmOpenEntries::Instance();
    if (!window)
        window = new TfrmOpenEntries(main);
    const int code = entry->Code();
    if (!window->FindEditor(code)) {
        auto* editor = new TfrmEntry(main, window);
        editor->AttachEntry(entry);
        editor->DockInto(window->paContainer);
        ApplyMode(main, *editor, *entry, isNew);
        TOpenEntries& registry = main.EntryManager().OpenEntries();
        const int index = registry.IndexOfCode(code);
        if (index != -1) {
            registry.Items(index).Editor = editor;
            window->AddEntryPage(registry.Items(index));
        }
    }
    window->ShowEntry(code);
}

void ShowModal(TdmMain& main, TEntryData* entry, bool isNew)
{
    auto editor = std::make_unique<TfrmEntry>(main);
    editor->AttachEntry(entry);
    ApplyMode(main, *editor, *entry, isNew);
    g_modalEditor = editor.get();
    editor->exec();
    g_modalEditor = nullptr;
    // A window that ended without its close handling still holds the entry.
    if (TEntryData* left = editor->Entry()) {
        editor->AttachEntry(nullptr);
        main.EntryManager().OpenEntries().CloseEntry(left);
    }
}

void EntryClosing(TdmMain& main, TEntryData* entry)
{
    // An entry released by the engine while its editor still shows it: the
    // editor lets go of it and closes without asking.
    TfrmEntry* editor = nullptr;
    if (g_modalEditor && g_modalEditor->Entry() == entry)
        editor = g_modalEditor;
    TfrmOpenEntries* window = TfrmOpenEntries::Instance();
    if (!editor && window)
        editor = window->FindEditor(entry->Code());
    if (editor && editor->Entry() == entry) {
        editor->AttachEntry(nullptr);
        if (!editor->IsClosing())
            editor->DoFormClose();
    }
    if (!window)
        return;
    entry->RemoveObserver(window);
    window->RemoveEntryPage(entry->Code());
    if (main.EntryManager().OpenEntries().Count() == 0)
        window->Release();
}

} // namespace

void InstallEntryEditors(TdmMain& dmMain)
{
    TOpenEntries& registry = dmMain.EntryManager().OpenEntries();
    registry.ShowEditor = [&dmMain](TEntryData* entry, bool isNew) {
        if (!entry)
            return;
        if (dmMain.App.EditMultipleEntries)
            ShowDocked(dmMain, entry, isNew);
        else
            ShowModal(dmMain, entry, isNew);
    };
    registry.EntryClosing = [&dmMain](TEntryData* entry) {
        if (entry)
            EntryClosing(dmMain, entry);
    };
    registry.ShowEntryPage = [](int code) {
        if (TfrmOpenEntries* window = TfrmOpenEntries::Instance())
            window->ShowEntry(code);
    };
}

void UninstallEntryEditors(TdmMain& dmMain)
{
    TOpenEntries& registry = dmMain.EntryManager().OpenEntries();
    registry.ShowEditor = nullptr;
    registry.EntryClosing = nullptr;
    registry.ShowEntryPage = nullptr;
    delete TfrmOpenEntries::Instance();
}

TfrmEntry* ModalEntryEditor()
{
    return g_modalEditor;
}

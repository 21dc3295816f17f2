#include "mainwindow/LayoutManager.h"

#include "browsing/fBookBrowser.h"
#include "browsing/fBookmarkSetBrowser.h"
#include "browsing/fCategoryBrowser.h"
#include "browsing/fEntryBrowser.h"
#include "controls/CustomDrawnSplitter.h"
#include "engine/Category.h"
#include "mainwindow/MonitoredFolderCommands.h"
#include "mainwindow/TaskAssistant.h"
#include "mainwindow/ToolbarAssistant.h"
#include "mainwindow/fMain.h"
#include "settings/ISettingsManager.h"

#include <QAction>
#include <QBoxLayout>
#include <QFrame>
#include <QGuiApplication>
#include <QScreen>

namespace {

const QString kLayoutType = QStringLiteral("Layout type");
const QString kBrowserState = QStringLiteral("Browser state");
const QString kBrowserWidth = QStringLiteral("Browser width");
const QString kVisibleBrowser = QStringLiteral("Visible browser");
const QString kLastSetBrowsed = QStringLiteral("Last bookmark set browsed");
const QString kLastSetEntry = QStringLiteral("Last bookmark set current entry");
const QString kLastCategoryBrowsed = QStringLiteral("Last category browsed");
const QString kLastCategoryEntry = QStringLiteral("Last category current entry");
const QString kBottomState = QStringLiteral("Bottom panel state");
const QString kBottomHeight = QStringLiteral("Bottom panel height");
const QString kBottomVisible = QStringLiteral("Visible bottom panel");

constexpr int kDefaultBrowserWidth = 249;
constexpr int kDefaultBottomHeight = 128;

// An integer setting; text that is not a number counts as a bad value.
int ReadInteger(ISettingsManager& settings, const QString& name, int fallback, bool& bad)
{
    try {
        return settings.ReadInteger(name, fallback, TMainLayoutManager::Section);
    } catch (const std::exception&) {
        bad = true;
        return fallback;
    }
}

} // namespace

const QString TMainLayoutManager::Section = QStringLiteral("Layout");

TMainLayoutManager::TMainLayoutManager(TfrmTessarynMain& window)
    : QObject(&window), m_window(window), m_browserWidth(kDefaultBrowserWidth), m_bottomHeight(kDefaultBottomHeight)
{
    auto command = [&window](const QString& name) -> QAction* {
        return name.isEmpty() ? nullptr : window.findChild<QAction*>(name);
    };
    TdmMain& dm = window.m_dmMain;

    TCustomDrawnSplitter* vertical = window.splitterVertical;
    vertical->SetControl(window.paLeft);
    vertical->SetShowButton(true);
    connect(vertical, &TCustomDrawnSplitter::OnMinimize, this, [this] { LeftMinimized(); });
    connect(vertical, &TCustomDrawnSplitter::OnRestore, this, [this] { LeftRestored(); });
    connect(vertical, &TCustomDrawnSplitter::Moved, this, &TMainLayoutManager::SplitterMoved);
    vertical->OnGetButtonHint = [this](TCustomDrawnSplitter& s, QString& hint) { ButtonHint(true, s, hint, true); };
    vertical->OnGetSplitterHint = [this](TCustomDrawnSplitter& s, QString& hint) { ButtonHint(true, s, hint, false); };

    TCustomDrawnSplitter* horizontal = window.splitterHorizontal;
    horizontal->SetControl(window.paAuxiliary);
    horizontal->SetShowButton(true);
    connect(horizontal, &TCustomDrawnSplitter::OnMinimize, this, [this] { m_bottomState = stMinimized; });
    connect(horizontal, &TCustomDrawnSplitter::OnRestore, this, [this] { m_bottomState = stNormal; });
    connect(horizontal, &TCustomDrawnSplitter::Moved, this, &TMainLayoutManager::SplitterMoved);
    horizontal->OnGetButtonHint = [this](TCustomDrawnSplitter& s, QString& hint) { ButtonHint(false, s, hint, true); };
    horizontal->OnGetSplitterHint = [this](TCustomDrawnSplitter& s, QString& hint) {
        ButtonHint(false, s, hint, false);
    };

    QAction* viewTaskAssistant = command(QStringLiteral("miViewTaskAssistant"));
    m_taskAssistant = std::make_unique<TGenericTaskAssistant>(dm.Settings(), window.paTaskAssistant,
                                                              qobject_cast<QBoxLayout*>(window.paMain->layout()),
                                                              command, viewTaskAssistant);
    m_taskAssistant->CategoriesShown = [this] { return m_window.m_categoryBrowser != nullptr; };
    m_taskAssistant->MonitoredFolderHasContent = [this] { return MonitoredFolderHasContent(); };
    m_taskAssistant->ExpandCategories = [this](bool expand) {
        if (TfrmCategoryBrowser* browser = m_window.m_categoryBrowser)
            expand ? browser->ExpandAll() : browser->CollapseAll();
    };
    if (viewTaskAssistant) {
        viewTaskAssistant->setEnabled(true);
        connect(viewTaskAssistant, &QAction::triggered, this,
                [this] { m_taskAssistant->SetVisible(!m_taskAssistant->Visible()); });
    }
    if (QAction* bottom = command(QStringLiteral("miViewBottomPanel"))) {
        bottom->setEnabled(true);
        connect(bottom, &QAction::triggered, this, &TMainLayoutManager::ToggleBottomPanel);
    }

    m_toolbar = std::make_unique<TToolbarAssistant>(dm.Settings(), window.paToolBar, command);
    m_toolbar->TrayIconShown = [&dm] { return dm.App.ShowTrayIcon; };
    m_toolbar->MonitoredFolderHasContent = [this] { return MonitoredFolderHasContent(); };
    m_toolbar->BuildCatalogue();
}

TMainLayoutManager::~TMainLayoutManager() = default;

int TMainLayoutManager::ScreenExtent(bool width) const
{
    const QScreen* screen = m_window.screen() ? m_window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return std::numeric_limits<int>::max();
    const QRect area = screen->availableGeometry();
    return width ? area.width() : area.height();
}

// --- loading and saving ---------------------------------------------------------------

void TMainLayoutManager::LoadLayout()
{
    ISettingsManager& settings = m_window.m_dmMain.Settings();
    {
        TSettingsAccess access(settings);
        settings.UseUserThisComputer();
        bool replaced = false;
        m_layoutType = ReadInteger(settings, kLayoutType, 0, replaced);
        LoadLeftBrowser(replaced);
        // (the browser just opened may have read its own settings elsewhere)
        settings.UseUserThisComputer();
        LoadBottomPanel(replaced);
        if (replaced) {
            // What could not be used is not read again at the next start.
            settings.WriteInteger(kLayoutType, m_layoutType, Section);
            settings.WriteInteger(kBrowserState, m_browserState, Section);
            settings.WriteInteger(kBrowserWidth, m_browserWidth, Section);
            settings.WriteInteger(kVisibleBrowser, VisibleBrowser(), Section);
            settings.WriteInteger(kBottomState, m_bottomState, Section);
            settings.WriteInteger(kBottomHeight, m_bottomHeight, Section);
            settings.WriteInteger(kBottomVisible, 0, Section);
            settings.WriteInteger(kLastCategoryBrowsed, m_window.m_lastCategoryBrowsed, Section);
            settings.WriteInteger(kLastCategoryEntry, m_window.m_lastCategoryEntry, Section);
            settings.WriteInteger(kLastSetBrowsed, m_window.m_lastBookmarkSetBrowsed, Section);
            settings.WriteInteger(kLastSetEntry, m_window.m_lastBookmarkSetEntry, Section);
        }
    }
    m_taskAssistant->LoadState();
    m_toolbar->LoadOrder();
    m_toolbar->BuildButtons();
    m_toolbar->SetVisibleLimit(TToolbarAssistant::LimitForWidth(m_window.width()));
    UpdateCommandStates();
}

void TMainLayoutManager::LoadLeftBrowser(bool& replaced)
{
    ISettingsManager& settings = m_window.m_dmMain.Settings();
    bool bad = false;
    int state = ReadInteger(settings, kBrowserState, stNormal, bad);
    int width = ReadInteger(settings, kBrowserWidth, m_browserWidth, bad);
    int visible = ReadInteger(settings, kVisibleBrowser, vbCategories, bad);
    const int lastSet = ReadInteger(settings, kLastSetBrowsed, -1, bad);
    const int lastSetEntry = ReadInteger(settings, kLastSetEntry, -1, bad);
    const int lastCategory = ReadInteger(settings, kLastCategoryBrowsed, -1, bad);
    const int lastCategoryEntry = ReadInteger(settings, kLastCategoryEntry, -1, bad);
    // A width of one pixel is the minimized panel, never the open one; one
    // beyond the screen would leave no room for the entries.
    if (bad || state < stNone || state > stNormal || width <= 1 || width >= ScreenExtent(true) || visible < vbNone
        || visible > vbBookmarkSets) {
        replaced = true;
        state = stNormal;
        width = kDefaultBrowserWidth;
        visible = vbCategories;
    }
    m_window.m_lastBookmarkSetBrowsed = lastSet;
    m_window.m_lastBookmarkSetEntry = lastSetEntry;
    m_window.m_lastCategoryBrowsed = lastCategory;
    m_window.m_lastCategoryEntry = lastCategoryEntry;
    m_browserState = state;
    m_browserWidth = width;
    TCustomDrawnSplitter* splitter = m_window.splitterVertical;
    splitter->SetRestoreSize(width);
    splitter->SetPanelSize(width);

    const TLoading loading(m_loading);
    switch (visible) {
    case vbCategories:
        // Without categories there is nothing to browse yet: the first one
        // made opens the browser.
        if (m_window.m_dmMain.Categories().Count() > 0)
            ShowBrowser(vbCategories);
        else
            HideLeft();
        break;
    case vbBooks:
    case vbBookmarkSets:
        ShowBrowser(visible);
        break;
    default:
        HideLeft();
        break;
    }
    // the state survives the switch of browsers: minimized stays minimized
    m_browserState = state;
    if (VisibleBrowser() != vbNone && state == stMinimized)
        splitter->Minimize();
}

void TMainLayoutManager::LoadBottomPanel(bool& replaced)
{
    ISettingsManager& settings = m_window.m_dmMain.Settings();
    bool bad = false;
    int state = ReadInteger(settings, kBottomState, stNormal, bad);
    int height = ReadInteger(settings, kBottomHeight, m_bottomHeight, bad);
    const int visible = ReadInteger(settings, kBottomVisible, 1, bad);
    if (bad || state < stNone || state > stNormal || height <= 1 || height >= ScreenExtent(false) || visible < 0
        || visible > 1) {
        replaced = true;
        state = stNormal;
        height = kDefaultBottomHeight;
    }
    m_bottomState = state;
    m_bottomHeight = height;
    TCustomDrawnSplitter* splitter = m_window.splitterHorizontal;
    splitter->SetRestoreSize(height);
    // The bottom panel starts hidden after every start.
    m_window.paAuxiliary->hide();
    if (QAction* item = m_window.findChild<QAction*>(QStringLiteral("miViewTaskAssistant")))
        item->setChecked(false);
}

void TMainLayoutManager::SaveLayout()
{
    if (m_saved)
        return;
    m_saved = true;
    ISettingsManager& settings = m_window.m_dmMain.Settings();
    try {
        {
            TSettingsAccess access(settings);
            settings.UseUserThisComputer();
            settings.WriteInteger(kLayoutType, m_layoutType, Section);
            SaveLeftBrowser();
            settings.UseUserThisComputer();
            SaveBottomPanel();
        }
        m_taskAssistant->SaveState();
        m_toolbar->SaveOrder();
    } catch (const std::exception&) {
        // the program is closing: a layout that cannot be stored is the
        // default one at the next start
    }
}

void TMainLayoutManager::SaveLeftBrowser()
{
    ISettingsManager& settings = m_window.m_dmMain.Settings();
    const int visible = VisibleBrowser();
    int state = stNone;
    if (visible != vbNone)
        state = m_window.splitterVertical->Minimized() || m_window.paLeft->width() == 1 ? stMinimized : stNormal;
    // Closing the browsers stores where each one was (and the category
    // browser its own settings, in a scope of their own).
    m_window.CloseOtherBrowsers(nullptr);
    settings.UseUserThisComputer();
    settings.WriteInteger(kBrowserState, state, Section);
    settings.WriteInteger(kBrowserWidth, m_browserWidth, Section);
    settings.WriteInteger(kVisibleBrowser, visible, Section);
    settings.WriteInteger(kLastSetBrowsed, m_window.m_lastBookmarkSetBrowsed, Section);
    settings.WriteInteger(kLastSetEntry, m_window.m_lastBookmarkSetEntry, Section);
    settings.WriteInteger(kLastCategoryBrowsed, m_window.m_lastCategoryBrowsed, Section);
    settings.WriteInteger(kLastCategoryEntry, m_window.m_lastCategoryEntry, Section);
}

void TMainLayoutManager::SaveBottomPanel()
{
    ISettingsManager& settings = m_window.m_dmMain.Settings();
    const bool visible = BottomPanelVisible();
    int state = stNone;
    if (visible)
        state = m_window.splitterHorizontal->Minimized() || m_window.paAuxiliary->height() == 1 ? stMinimized
                                                                                                 : stNormal;
    settings.WriteInteger(kBottomState, state, Section);
    settings.WriteInteger(kBottomHeight, m_bottomHeight, Section);
    settings.WriteInteger(kBottomVisible, visible ? 1 : 0, Section);
}

// --- the left browser -------------------------------------------------------------------

int TMainLayoutManager::VisibleBrowser() const
{
    if (m_window.m_categoryBrowser)
        return vbCategories;
    if (m_window.m_bookBrowser)
        return vbBooks;
    if (m_window.m_bookmarkSetBrowser)
        return vbBookmarkSets;
    return vbNone;
}

QString TMainLayoutManager::LeftBrowserCaption() const
{
    switch (VisibleBrowser()) {
    case vbCategories:
        return QStringLiteral("Category Browser");
    case vbBooks:
        return QStringLiteral("Book Browser");
    case vbBookmarkSets:
        return QStringLiteral("Bookmark Browser");
    default:
        return QString();
    }
}

void TMainLayoutManager::ShowBrowser(int kind)
{
    switch (kind) {
    case vbCategories:
        m_window.ShowCategoryBrowser();
        break;
    case vbBooks:
        m_window.ShowBookBrowser();
        break;
    case vbBookmarkSets:
        m_window.ShowBookmarkSetBrowser();
        break;
    default:
        break;
    }
}

void TMainLayoutManager::BrowserShown()
{
    TCustomDrawnSplitter* splitter = m_window.splitterVertical;
    // A browser chosen by the user is meant to be seen.
    if (!m_loading && splitter->Minimized()) {
        m_window.paLeft->setEnabled(true);
        splitter->Restore();
    }
    if (splitter->Minimized())
        LeftMinimized();
    UpdateCommandStates();
}

void TMainLayoutManager::ShowSearch()
{
    HideLeft();
    if (m_window.m_entryBrowser)
        m_window.m_entryBrowser->ShowSearchBox();
    UpdateCommandStates();
}

void TMainLayoutManager::HideLeft()
{
    m_window.CloseLeftBrowser();
}

void TMainLayoutManager::LeftMinimized()
{
    // A browser one pixel wide must not take the keyboard or start a search.
    if (m_window.m_categoryBrowser)
        m_window.m_categoryBrowser->setEnabled(false);
    if (m_window.m_bookmarkSetBrowser)
        m_window.m_bookmarkSetBrowser->setEnabled(false);
    m_browserState = stMinimized;
}

void TMainLayoutManager::LeftRestored()
{
    if (m_window.m_categoryBrowser)
        m_window.m_categoryBrowser->setEnabled(true);
    if (m_window.m_bookmarkSetBrowser)
        m_window.m_bookmarkSetBrowser->setEnabled(true);
    m_browserState = stNormal;
}

void TMainLayoutManager::SplitterMoved(TCustomDrawnSplitter* splitter)
{
    const int size = splitter->PanelSize();
    if (size == 1)
        return;
    if (splitter == m_window.splitterVertical) {
        if (!m_window.paLeft->isHidden())
            m_browserWidth = size;
    } else if (!m_window.paAuxiliary->isHidden()) {
        m_bottomHeight = size;
    }
}

void TMainLayoutManager::ButtonHint(bool left, TCustomDrawnSplitter& splitter, QString& hint, bool button) const
{
    const QString caption = left ? LeftBrowserCaption()
                                 : (BottomPanelVisible() ? QStringLiteral("Task Assistant") : QString());
    if (caption.isEmpty()) {
        hint.clear();
        return;
    }
    if (!button)
        hint = QStringLiteral("Drag to resize %1").arg(caption);
    else if (splitter.Minimized())
        hint = QStringLiteral("Click to restore %1").arg(caption);
    else
        hint = QStringLiteral("Click to minimize %1").arg(caption);
}

// --- the bottom panel -------------------------------------------------------------------

bool TMainLayoutManager::BottomPanelVisible() const
{
    return !m_window.paAuxiliary->isHidden();
}

void TMainLayoutManager::ToggleBottomPanel()
{
    TCustomDrawnSplitter* splitter = m_window.splitterHorizontal;
    if (BottomPanelVisible()) {
        m_window.paAuxiliary->hide();
    } else {
        m_window.paAuxiliary->show();
        splitter->SetPanelSize(splitter->Minimized() ? 1 : m_bottomHeight);
        if (splitter->Minimized())
            splitter->Restore();
    }
}

bool TMainLayoutManager::MonitoredFolderHasContent() const
{
    return m_window.m_monitoredFolder && m_window.m_monitoredFolder->FolderHasContent();
}

void TMainLayoutManager::UpdateCommandStates()
{
    if (m_window.m_entryBrowser)
        m_window.m_entryBrowser->UpdateSelectionCommands();
    m_taskAssistant->UpdateLinks();
    m_toolbar->UpdateButtons();
}

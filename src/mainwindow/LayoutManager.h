#pragma once

#include <QObject>
#include <QString>
#include <memory>

class TCustomDrawnSplitter;
class TGenericTaskAssistant;
class TToolbarAssistant;
class TfrmTessarynMain;

// Keeps the main window's work area together: which left browser is shown
// (categories, books, bookmark sets or none), whether the left panel and the
// bottom panel are minimized and how large they are, the task assistant and
// the toolbar. The layout is read from the settings on the window's first
// showing and written back when the window goes (section "Layout", per user
// on this computer; the task assistant and the toolbar keep theirs per user
// on every computer).
//
// A stored value that cannot be right (a size below nothing or beyond the
// screen, an unknown state, text that is not a number) gives that part its
// default layout, and the value is written over at once.
class TMainLayoutManager : public QObject
{
    Q_OBJECT

public:
    static const QString Section;
    // Left browser kinds, as stored under "Visible browser".
    enum { vbNone = 0, vbCategories = 1, vbBooks = 2, vbBookmarkSets = 3 };
    // Panel states, as stored under "Browser state" and "Bottom panel state".
    enum { stNone = 0, stMinimized = 1, stNormal = 2 };

    explicit TMainLayoutManager(TfrmTessarynMain& window);
    ~TMainLayoutManager() override;

    void LoadLayout();
    void SaveLayout();
    // After the search, a browser switch, a selection or a sort.
    void UpdateCommandStates();
    // Shows the left browser of that kind (1 categories, 2 books, 3 bookmark
    // sets), restoring a minimized left panel.
    void ShowBrowser(int kind);
    void ShowSearch();
    // The window has shown a left browser (from a menu, a link or a button).
    void BrowserShown();
    int VisibleBrowser() const;
    // The caption the splitter hints name the left browser by.
    QString LeftBrowserCaption() const;

    // The bottom panel: shown (and restored when minimized) or hidden.
    void ToggleBottomPanel();
    bool BottomPanelVisible() const;

    // The left panel's width and the bottom panel's height while open.
    int BrowserWidth() const { return m_browserWidth; }
    int BottomPanelHeight() const { return m_bottomHeight; }

    TGenericTaskAssistant& TaskAssistant() const { return *m_taskAssistant; }
    TToolbarAssistant& Toolbar() const { return *m_toolbar; }

private:
    void LeftMinimized();
    void LeftRestored();
    void SplitterMoved(TCustomDrawnSplitter* splitter);
    void HideLeft();
    void ShowLeft();
    void LoadLeftBrowser(bool& replaced);
    void LoadBottomPanel(bool& replaced);
    void SaveLeftBrowser();
    void SaveBottomPanel();
    int ScreenExtent(bool width) const;
    bool MonitoredFolderHasContent() const;
    void ButtonHint(bool left, TCustomDrawnSplitter& splitter, QString& hint, bool button) const;

    TfrmTessarynMain& m_window;
    std::unique_ptr<TGenericTaskAssistant> m_taskAssistant;
    std::unique_ptr<TToolbarAssistant> m_toolbar;
    int m_layoutType = 0;
    int m_browserWidth;
    int m_browserState = stNormal;
    int m_bottomHeight;
    int m_bottomState = stNormal;
    bool m_saved = false;
    // The stored layout is being applied: a minimized panel stays minimized.
    bool m_loading = false;
    struct TLoading {
        explicit TLoading(bool& flag) : m_flag(flag) { m_flag = true; }
        ~TLoading() { m_flag = false; }
        bool& m_flag;
    };
};

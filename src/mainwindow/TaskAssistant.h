#pragma once

#include <QObject>
#include <QString>
#include <functional>

class ISettingsManager;
class QAction;
class QBoxLayout;
class QWidget;
class TfrmTaskAssistant;

// The task assistant: the column of link panels beside the work area. Each
// link runs a command of the main window or of its entry browser and is
// enabled exactly when that command is (a sorting link also not while its
// order is the current one); "Expand all" and "Collapse all" act on the
// category browser and are enabled while it is shown. The column's side,
// its visibility and each panel's visibility and expansion are kept in the
// settings (section "Layout", per user on every computer).
class TGenericTaskAssistant : public QObject
{
    Q_OBJECT

public:
    static constexpr int SideLeft = 3;
    static constexpr int SideRight = 4;
    static const QString VisiblePanelsSection;
    static const QString ExpandedPanelsSection;

    // `host` (paTaskAssistant) receives the window; `row` is the layout that
    // docks the host at the left or the right; `command` finds a command by
    // its object name; `viewItem` is the menu item that shows the check mark.
    TGenericTaskAssistant(ISettingsManager& settings, QWidget* host, QBoxLayout* row,
                          std::function<QAction*(const QString&)> command, QAction* viewItem,
                          QObject* parent = nullptr);

    // Whether the left browser shows categories, and expanding or collapsing
    // its whole tree.
    std::function<bool()> CategoriesShown;
    std::function<void(bool expand)> ExpandCategories;
    // Whether the monitored folder is not empty: the four links on its files
    // are enabled exactly then.
    std::function<bool()> MonitoredFolderHasContent;

    TfrmTaskAssistant* Window() const { return m_window; }
    int Side() const { return m_side; }
    bool Visible() const { return m_visible; }

    void LoadState();
    void SaveState();
    void SetSide(int side);
    void SetVisible(bool visible);
    void SetPanelVisible(int index, bool visible);
    bool PanelVisible(int index) const;
    void RestoreDefaults();
    void UpdateLinks();
    void SetHeaderColor(const QColor& colour);

    // The command a link runs, by object name; empty for the two links of
    // the category tree.
    static QString CommandOf(const QString& linkName);

private:
    void UpdateLink(int panel, const QString& linkName);
    void OnClickTaskAssistantLabel(QObject* sender, const QString& labelName, const QString& labelCaption);

    ISettingsManager& m_settings;
    QWidget* m_host;
    QBoxLayout* m_row;
    std::function<QAction*(const QString&)> m_command;
    QAction* m_viewItem;
    TfrmTaskAssistant* m_window;
    int m_side = SideRight;
    bool m_visible = false;
};

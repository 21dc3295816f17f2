#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

class ISettingsManager;
class QAction;
class QToolButton;
class QWidget;

// One button of the toolbar's catalogue, or a separator ("(Separator)n").
struct TToolbarAssistantButton {
    bool Visible = true;
    QString Bitmap;
    QString Identifier;
    QString Hint;
    QString Description;
    // Object name of the command the button stands for; empty for separators.
    QString Command;
    bool Enabled = true;
    QAction* Action = nullptr;

    bool IsSeparator() const { return Command.isEmpty(); }
};

// The main window's toolbar: a row of 30 × 30 picture buttons chosen from a
// fixed catalogue, in the order the user chose, stored in the settings
// (section "Toolbar buttons", per user on every computer). Each button runs
// its command and is enabled with it; buttons that do not fit the window's
// width are hidden.
//
// The toolbar is the one owner of its arrangement: it reads it at start,
// takes the preferences window's choice through SetArrangement and writes it
// (SaveOrder) when the choice is saved and when the window closes. Nothing
// else reads or writes the stored keys. ButtonsBuilt follows every rebuild.
class TToolbarAssistant : public QObject
{
    Q_OBJECT

public:
    static const QString Section;
    static const QString SeparatorIdentifier;
    static const QString OrderSuffix;
    static constexpr int ButtonSize = 30;

    // `bar` holds the buttons; `command` finds a command by its object name.
    TToolbarAssistant(ISettingsManager& settings, QWidget* bar, std::function<QAction*(const QString&)> command,
                      QObject* parent = nullptr);
    ~TToolbarAssistant() override;

    // Whether "Show tray bar icon" is on, for the tray button.
    std::function<bool()> TrayIconShown;
    // Whether the monitored folder is not empty: the four buttons on its
    // files are enabled exactly then.
    std::function<bool()> MonitoredFolderHasContent;

    void BuildCatalogue();
    void ApplyDefaultLayout();
    void LoadOrder();
    void SaveOrder();
    void BuildButtons();
    // The identifiers in display order, each with its visible flag.
    using TArrangement = std::vector<std::pair<QString, bool>>;
    TArrangement Arrangement() const;
    // Takes over an arrangement of the whole catalogue, each entry once, and
    // rebuilds the buttons; false, changing nothing, for any other list.
    bool SetArrangement(const TArrangement& arrangement);
    void UpdateButtons();
    void SetVisibleLimit(int count);
    int VisibleLimit() const { return m_visibleLimit; }
    // (window width − 250) / 30, the number the window passes on a resize.
    static int LimitForWidth(int windowWidth) { return (windowWidth - 250) / ButtonSize; }

    TToolbarAssistantButton* FindEntry(const QString& identifier) const;
    int Count() const { return int(m_display.size()); }
    TToolbarAssistantButton* Entry(int index) const { return m_display.at(size_t(index)); }
    // Moves the entry at `from` to `to` in the display list.
    void Move(int from, int to);
    int CatalogueCount() const { return int(m_catalogue.size()); }
    TToolbarAssistantButton* CatalogueEntry(int index) const { return m_catalogue.at(size_t(index)).get(); }
    // The button control of an entry, while it exists.
    QToolButton* Button(const QString& identifier) const;

signals:
    void ButtonsBuilt();

private:
    void ApplyWidthRule(TToolbarAssistantButton& entry);

    ISettingsManager& m_settings;
    QWidget* m_bar;
    std::function<QAction*(const QString&)> m_command;
    std::vector<std::unique_ptr<TToolbarAssistantButton>> m_catalogue;
    std::vector<TToolbarAssistantButton*> m_display;
    int m_visibleLimit = -1;
};

#include "mainwindow/ToolbarAssistant.h"

#include "app/AppResources.h"
#include "settings/ISettingsManager.h"

#include <QAction>
#include <algorithm>
#include <QApplication>
#include <QStyle>
#include <QToolButton>
#include <QWidget>

namespace {

struct TCatalogueRow {
    const char* identifier; // empty for a separator
    const char* command;
    const char* description;
    const char* bitmap;
    bool shown;
    QStyle::StandardPixmap fallback;
};

// The commands here are the objects of the main window and of its entry
// browser that carry out what the button stands for.
const TCatalogueRow kCatalogue[] = {
    {"btn_NewEntryFromClipboard", "miNewEntryFromClipboard", "Create new entry from clipboard",
     "BMP_NEW_ENTRY_FROM_CLIPBOARD", true, QStyle::SP_FileIcon},
    {"btn_NewEntryFromMonitoredFolder", "miNewEntryFromMonitoredFolder", "Create new entry from monitored folder files",
     "BMP_NEW_ENTRY_FROM_MONITORED_FOLDER", true, QStyle::SP_DirIcon},
    {"btn_NewEntryFromQuickNote", "miNewEntryFromQuickNote", "Create new entry from a quick note",
     "BMP_NEW_ENTRY_FROM_QUICK_NOTE", true, QStyle::SP_FileDialogContentsView},
    {nullptr, nullptr, nullptr, nullptr, true, QStyle::SP_CustomBase},
    {"btn_MonitoredFolderPaste", "miPasteFromClipboard", "Paste clipboard contents into monitored folder",
     "BMP_MONITORED_FOLDER_PASTE", true, QStyle::SP_DialogSaveButton},
    {"btn_MonitoredFolderPasteAsText", "miPasteAsText", "Paste clipboard contents as text into monitored folder",
     "BMP_MONITORED_FOLDER_PASTE_AS_TEXT", false, QStyle::SP_FileDialogDetailedView},
    {"btn_MonitoredFolderPasteAsHtml", "miPasteAsHtml", "Paste clipboard contents as HTML into monitored folder",
     "BMP_MONITORED_FOLDER_PASTE_AS_HTML", false, QStyle::SP_FileDialogInfoView},
    {nullptr, nullptr, nullptr, nullptr, true, QStyle::SP_CustomBase},
    {"btn_AddMonitoredFolderToEntry", "miAddMonitoredFolderFiles", "Add monitored folder contents to highlighted entry",
     "BMP_MONITORED_FOLDER_ADD_TO_ENTRY", true, QStyle::SP_FileDialogNewFolder},
    {"btn_ManageMonitoredFolder", "miManageMonitoredFolder", "Manage monitored folder contents",
     "BMP_MONITORED_FOLDER_MANAGE", true, QStyle::SP_DirLinkIcon},
    {"btn_ExploreMonitoredFolder", "miOpenMonitoredFolder", "Explore monitored folder", "BMP_MONITORED_FOLDER_EXPLORE",
     true, QStyle::SP_DirOpenIcon},
    {"btn_ClearMonitoredFolder", "miClear", "Clear monitored folder contents", "BMP_MONITORED_FOLDER_CLEAR", false,
     QStyle::SP_DialogResetButton},
    {nullptr, nullptr, nullptr, nullptr, true, QStyle::SP_CustomBase},
    {"btn_SelectedMerge", "acEN_MergeEntries", "Merge selected entries", "BMP_SELECTED_MERGE", true,
     QStyle::SP_ArrowDown},
    {"btn_SelectedDelete", "acEN_DeleteEntries", "Delete selected entries", "BMP_SELECTED_DELETE", true,
     QStyle::SP_TrashIcon},
    {"btn_SelectedMoveToCategory", "miMoveToCategory", "Move selected entries to another category",
     "BMP_SELECTED_MOVE_TO_CATEGORY", false, QStyle::SP_ArrowRight},
    {"btn_SelectedEMail", "miMail", "e-mail selected entries", "BMP_SELECTED_EMAIL", true,
     QStyle::SP_MessageBoxInformation},
    {"btn_SelectedExportHTML", "miHTMLExport", "Export selected entries as HTML", "BMP_SELECTED_EXPORT_HTML", true,
     QStyle::SP_DriveNetIcon},
    {nullptr, nullptr, nullptr, nullptr, true, QStyle::SP_CustomBase},
    {"btn_BrowseCategories", "miBrowseByCategory", "Browse categories", "BMP_BROWSE_CATEGORIES", true,
     QStyle::SP_DirHomeIcon},
    {"btn_BrowseBookmarks", "miBrowseByBookmarkSet", "Browse bookmark sets", "BMP_BROWSE_BOOKMARKS", true,
     QStyle::SP_DialogYesButton},
    {"btn_BrowseSeacrh", "miSearch", "Search database", "BMP_BROWSE_SEARCH", true, QStyle::SP_FileDialogStart},
    {nullptr, nullptr, nullptr, nullptr, true, QStyle::SP_CustomBase},
    {"btn_ManageCategories", "miManageCategories", "Manage categories", "BMP_MANAGE_CATEGORIES", true,
     QStyle::SP_FileDialogListView},
    {"btn_ManageBookmarks", "miManageBookmarkSets", "Manage bookmark sets", "BMP_MANAGE_BOOKMARKS", true,
     QStyle::SP_DialogApplyButton},
    {nullptr, nullptr, nullptr, nullptr, true, QStyle::SP_CustomBase},
    {"btn_BookmarkAdd", "miAddToDefaultBookmarks", "Bookmark selected entries", "BMP_BOOKMARK_ADD", true,
     QStyle::SP_DialogOkButton},
    {"btn_BookmarkAddToSet", "miAddToExistingBookmarkSet", "Add selected entries to existing bookmark set",
     "BMP_BOOKMARK_ADD_TO_SET", false, QStyle::SP_ArrowForward},
    {"btn_BookmarkAddToNewSet", "miAddToNewBookmarkSet", "Create new bookmark set from the selected entries",
     "BMP_BOOKMARK_ADD_TO_NEW_SET", false, QStyle::SP_FileDialogNewFolder},
    {"btn_BookmarkRemove", "miRemoveBookmarks", "Remove entries from bookmark set", "BMP_BOOKMARK_REMOVE", false,
     QStyle::SP_DialogCancelButton},
    {nullptr, nullptr, nullptr, nullptr, false, QStyle::SP_CustomBase},
    {"btn_SortByLastModified", "acEN_SortByLastModifiedDesc", "Sort by last modification date",
     "BMP_SORT_LAST_MODIFIED", false, QStyle::SP_BrowserReload},
    {"btn_SortByCreation", "acEN_SortByCreationOrderAsc", "Sort by creation order", "BMP_SORT_CREATION_ORDER", false,
     QStyle::SP_ArrowUp},
    {"btn_SortCreationReverse", "acEN_SortByCreationOrderDesc", "Sort by reverse creation order",
     "BMP_SORT_CREATION_ORDER_REVERSE", false, QStyle::SP_ArrowDown},
    {"btn_SortByTitle", "acEN_SortByTitle", "Sort by title", "BMP_SORT_TITLE", false, QStyle::SP_FileDialogDetailedView},
    {nullptr, nullptr, nullptr, nullptr, true, QStyle::SP_CustomBase},
    {"btn_ViewTaskAssistant", "miViewTaskAssistant", "View / hide task assistant", "BMP_VIEW_TASK_ASSISTANT", true,
     QStyle::SP_TitleBarShadeButton},
    {"btn_ViewOpenEntries", "miViewOpenEntries", "View open entries", "BMP_VIEW_OPEN_ENTRIES", true,
     QStyle::SP_DesktopIcon},
    {nullptr, nullptr, nullptr, nullptr, true, QStyle::SP_CustomBase},
    {"btn_AppSendToTraybar", "miSendToTrayBar", "Send application to traybar", "BMP_APP_SEND_TO_TRAYBAR", true,
     QStyle::SP_TitleBarMinButton},
    {"btn_AppSettings", "miPreferences", "Edit application settings", "BMP_APP_SETTINGS", true,
     QStyle::SP_ComputerIcon},
    {nullptr, nullptr, nullptr, nullptr, true, QStyle::SP_CustomBase},
    {"btn_HelpContents", "miHelpContents", "Help contents", "BMP_HELP_CONTENTS", true, QStyle::SP_DialogHelpButton},
};

bool IsSortButton(const QString& identifier)
{
    return identifier.startsWith(QLatin1String("btn_Sort"));
}

QStyle::StandardPixmap FallbackPicture(const QString& identifier)
{
    for (const TCatalogueRow& row : kCatalogue)
        if (row.identifier && identifier == QLatin1String(row.identifier))
            return row.fallback;
    return QStyle::SP_FileIcon;
}

} // namespace

const QString TToolbarAssistant::Section = QStringLiteral("Toolbar buttons");
const QString TToolbarAssistant::SeparatorIdentifier = QStringLiteral("(Separator)");
const QString TToolbarAssistant::OrderSuffix = QStringLiteral(" order");

TToolbarAssistant::TToolbarAssistant(ISettingsManager& settings, QWidget* bar,
                                     std::function<QAction*(const QString&)> command, QObject* parent)
    : QObject(parent), m_settings(settings), m_bar(bar), m_command(std::move(command))
{
}

TToolbarAssistant::~TToolbarAssistant() = default;

void TToolbarAssistant::BuildCatalogue()
{
    m_catalogue.clear();
    int separator = 0;
    for (const TCatalogueRow& row : kCatalogue) {
        auto entry = std::make_unique<TToolbarAssistantButton>();
        if (row.identifier) {
            entry->Identifier = QString::fromLatin1(row.identifier);
            entry->Command = QString::fromLatin1(row.command);
            entry->Description = QString::fromLatin1(row.description);
            entry->Bitmap = QString::fromLatin1(row.bitmap);
            entry->Action = m_command ? m_command(entry->Command) : nullptr;
            if (entry->Action)
                entry->Hint = entry->Action->statusTip();
        } else {
            entry->Identifier = SeparatorIdentifier + QString::number(++separator);
            entry->Description = SeparatorIdentifier;
        }
        m_catalogue.push_back(std::move(entry));
    }
    ApplyDefaultLayout();
}

void TToolbarAssistant::ApplyDefaultLayout()
{
    m_display.clear();
    for (size_t i = 0; i < m_catalogue.size(); ++i) {
        m_catalogue[i]->Visible = kCatalogue[i].shown;
        m_display.push_back(m_catalogue[i].get());
    }
}

void TToolbarAssistant::LoadOrder()
{
    TSettingsAccess access(m_settings);
    m_settings.UseUserAllComputers();
    const int count = int(m_display.size());
    for (const auto& entry : m_catalogue) {
        int position = -1;
        bool visible = true;
        try {
            position = m_settings.ReadInteger(entry->Identifier + OrderSuffix, -1, Section);
            visible = m_settings.ReadBool(entry->Identifier, true, Section);
        } catch (const std::exception&) {
            // a value that is not a number counts as one never stored
            position = -1;
        }
        if (position < 0 || position >= count) {
            ApplyDefaultLayout();
            return;
        }
        m_display[size_t(position)] = entry.get();
        entry->Visible = visible;
    }
    // Positions that repeat leave an entry out of the list and another in it
    // twice: the toolbar would lose a button the preferences could no longer
    // offer. The catalogue's own order is the one sound fallback then.
    std::vector<TToolbarAssistantButton*> sorted = m_display;
    std::sort(sorted.begin(), sorted.end());
    if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end())
        ApplyDefaultLayout();
}

void TToolbarAssistant::SaveOrder()
{
    TSettingsAccess access(m_settings);
    m_settings.UseUserAllComputers();
    for (size_t i = 0; i < m_display.size(); ++i) {
        m_settings.WriteBool(m_display[i]->Identifier, m_display[i]->Visible, Section);
        m_settings.WriteInteger(m_display[i]->Identifier + OrderSuffix, int(i), Section);
    }
}

void TToolbarAssistant::Move(int from, int to)
{
    if (from < 0 || to < 0 || from >= Count() || to >= Count() || from == to)
        return;
    TToolbarAssistantButton* entry = m_display[size_t(from)];
    m_display.erase(m_display.begin() + from);
    m_display.insert(m_display.begin() + to, entry);
}

QToolButton* TToolbarAssistant::Button(const QString& identifier) const
{
    return m_bar->findChild<QToolButton*>(identifier, Qt::FindDirectChildrenOnly);
}

void TToolbarAssistant::BuildButtons()
{
    const QList<QToolButton*> old = m_bar->findChildren<QToolButton*>(QString(), Qt::FindDirectChildrenOnly);
    for (auto it = old.crbegin(); it != old.crend(); ++it)
        delete *it;
    int x = 7;
    bool placed = false;
    for (TToolbarAssistantButton* entry : m_display) {
        if (!entry->Visible)
            continue;
        if (entry->IsSeparator()) {
            // separators before the first button take no space
            if (placed)
                x += ButtonSize;
            continue;
        }
        auto* button = new QToolButton(m_bar);
        button->setObjectName(entry->Identifier);
        button->setGeometry(x, 8, ButtonSize, ButtonSize);
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setStatusTip(entry->Hint);
        QIcon icon = TAppResources::Icon(entry->Bitmap);
        if (icon.isNull())
            icon = QApplication::style()->standardIcon(FallbackPicture(entry->Identifier));
        button->setIcon(icon);
        button->setIconSize(QSize(22, 22));
        if (QAction* action = entry->Action) {
            // the command's own handler, checks and messages apply
            connect(button, &QToolButton::clicked, action, [action] {
                if (action->isEnabled())
                    action->trigger();
            });
            connect(action, &QAction::changed, button, [this] { UpdateButtons(); });
        }
        button->show();
        button->raise();
        ApplyWidthRule(*entry);
        x += ButtonSize + 1;
        placed = true;
    }
    for (TToolbarAssistantButton* entry : m_display)
        if (entry->Visible && !entry->IsSeparator())
            ApplyWidthRule(*entry);
    UpdateButtons();
    emit ButtonsBuilt();
}

void TToolbarAssistant::ReloadFromSettings()
{
    LoadOrder();
    BuildButtons();
}

void TToolbarAssistant::UpdateButtons()
{
    for (const auto& entry : m_catalogue) {
        if (entry->IsSeparator())
            continue;
        const QAction* action = entry->Action;
        bool enabled = action && action->isEnabled();
        if (enabled && IsSortButton(entry->Identifier))
            enabled = !action->isChecked();
        if (entry->Identifier == QLatin1String("btn_AppSendToTraybar"))
            enabled = TrayIconShown ? TrayIconShown() : enabled;
        entry->Enabled = enabled;
        if (!entry->Visible)
            continue;
        if (QToolButton* button = Button(entry->Identifier); button && button->isEnabled() != enabled)
            button->setEnabled(enabled);
    }
}

void TToolbarAssistant::SetVisibleLimit(int count)
{
    if (count == m_visibleLimit)
        return;
    m_visibleLimit = count;
    for (TToolbarAssistantButton* entry : m_display)
        if (entry->Visible && !entry->IsSeparator())
            ApplyWidthRule(*entry);
}

void TToolbarAssistant::ApplyWidthRule(TToolbarAssistantButton& entry)
{
    QToolButton* button = Button(entry.Identifier);
    if (!button || m_visibleLimit < 0)
        return;
    if (button->x() > m_visibleLimit * ButtonSize - 60)
        button->hide();
    else if (button->isHidden())
        button->show();
}

TToolbarAssistantButton* TToolbarAssistant::FindEntry(const QString& identifier) const
{
    for (const auto& entry : m_catalogue)
        if (entry->Identifier.compare(identifier, Qt::CaseInsensitive) == 0)
            return entry.get();
    return nullptr;
}

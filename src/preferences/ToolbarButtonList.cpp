#include "preferences/ToolbarButtonList.h"

#include "settings/ISettingsManager.h"

const QString TToolbarButtonList::SettingsSection = QStringLiteral("Toolbar buttons");

namespace {

struct TCatalogueRow {
    const char* identifier;
    const char* description;
    const char* bitmap;
    bool visible;
};

// The toolbar's catalogue, in its order; nullptr identifiers are separators.
const TCatalogueRow kCatalogue[] = {
    {"btn_NewEntryFromClipboard", "Create new entry from clipboard", "BMP_NEW_ENTRY_FROM_CLIPBOARD", true},
    {"btn_NewEntryFromMonitoredFolder", "Create new entry from monitored folder files",
     "BMP_NEW_ENTRY_FROM_MONITORED_FOLDER", true},
    {"btn_NewEntryFromQuickNote", "Create new entry from a quick note", "BMP_NEW_ENTRY_FROM_QUICK_NOTE", true},
    {nullptr, nullptr, nullptr, true},
    {"btn_MonitoredFolderPaste", "Paste clipboard contents into monitored folder", "BMP_MONITORED_FOLDER_PASTE", true},
    {"btn_MonitoredFolderPasteAsText", "Paste clipboard contents as text into monitored folder",
     "BMP_MONITORED_FOLDER_PASTE_AS_TEXT", false},
    {"btn_MonitoredFolderPasteAsHtml", "Paste clipboard contents as HTML into monitored folder",
     "BMP_MONITORED_FOLDER_PASTE_AS_HTML", false},
    {nullptr, nullptr, nullptr, true},
    {"btn_AddMonitoredFolderToEntry", "Add monitored folder contents to highlighted entry",
     "BMP_MONITORED_FOLDER_ADD_TO_ENTRY", true},
    {"btn_ManageMonitoredFolder", "Manage monitored folder contents", "BMP_MONITORED_FOLDER_MANAGE", true},
    {"btn_ExploreMonitoredFolder", "Explore monitored folder", "BMP_MONITORED_FOLDER_EXPLORE", true},
    {"btn_ClearMonitoredFolder", "Clear monitored folder contents", "BMP_MONITORED_FOLDER_CLEAR", false},
    {nullptr, nullptr, nullptr, true},
    {"btn_SelectedMerge", "Merge selected entries", "BMP_SELECTED_MERGE", true},
    {"btn_SelectedDelete", "Delete selected entries", "BMP_SELECTED_DELETE", true},
    {"btn_SelectedMoveToCategory", "Move selected entries to another category", "BMP_SELECTED_MOVE_TO_CATEGORY", false},
    {"btn_SelectedEMail", "e-mail selected entries", "BMP_SELECTED_EMAIL", true},
    {"btn_SelectedExportHTML", "Export selected entries as HTML", "BMP_SELECTED_EXPORT_HTML", true},
    {nullptr, nullptr, nullptr, true},
    {"btn_BrowseCategories", "Browse categories", "BMP_BROWSE_CATEGORIES", true},
    {"btn_BrowseBookmarks", "Browse bookmark sets", "BMP_BROWSE_BOOKMARKS", true},
    {"btn_BrowseSeacrh", "Search database", "BMP_BROWSE_SEARCH", true},
    {nullptr, nullptr, nullptr, true},
    {"btn_ManageCategories", "Manage categories", "BMP_MANAGE_CATEGORIES", true},
    {"btn_ManageBookmarks", "Manage bookmark sets", "BMP_MANAGE_BOOKMARKS", true},
    {nullptr, nullptr, nullptr, true},
    {"btn_BookmarkAdd", "Bookmark selected entries", "BMP_BOOKMARK_ADD", true},
    {"btn_BookmarkAddToSet", "Add selected entries to existing bookmark set", "BMP_BOOKMARK_ADD_TO_SET", false},
    {"btn_BookmarkAddToNewSet", "Create new bookmark set from the selected entries", "BMP_BOOKMARK_ADD_TO_NEW_SET",
     false},
    {"btn_BookmarkRemove", "Remove entries from bookmark set", "BMP_BOOKMARK_REMOVE", false},
    {nullptr, nullptr, nullptr, false},
    {"btn_SortByLastModified", "Sort by last modification date", "BMP_SORT_LAST_MODIFIED", false},
    {"btn_SortByCreation", "Sort by creation order", "BMP_SORT_CREATION_ORDER", false},
    {"btn_SortCreationReverse", "Sort by reverse creation order", "BMP_SORT_CREATION_ORDER_REVERSE", false},
    {"btn_SortByTitle", "Sort by title", "BMP_SORT_TITLE", false},
    {nullptr, nullptr, nullptr, true},
    {"btn_ViewTaskAssistant", "View / hide task assistant", "BMP_VIEW_TASK_ASSISTANT", true},
    {"btn_ViewOpenEntries", "View open entries", "BMP_VIEW_OPEN_ENTRIES", true},
    {nullptr, nullptr, nullptr, true},
    {"btn_AppSendToTraybar", "Send application to traybar", "BMP_APP_SEND_TO_TRAYBAR", true},
    {"btn_AppSettings", "Edit application settings", "BMP_APP_SETTINGS", true},
    {nullptr, nullptr, nullptr, true},
    {"btn_HelpContents", "Help contents", "BMP_HELP_CONTENTS", true},
};

QList<TToolbarButtonList::TEntry> Catalogue()
{
    QList<TToolbarButtonList::TEntry> entries;
    int separator = 0;
    for (const TCatalogueRow& row : kCatalogue) {
        TToolbarButtonList::TEntry e;
        if (row.identifier) {
            e.Identifier = QString::fromLatin1(row.identifier);
            e.Description = QString::fromLatin1(row.description);
            e.Bitmap = QString::fromLatin1(row.bitmap);
        } else {
            e.Identifier = QStringLiteral("(Separator)") + QString::number(++separator);
            e.Description = QStringLiteral("(Separator)");
        }
        e.DefaultVisible = e.Visible = row.visible;
        entries.append(e);
    }
    return entries;
}

} // namespace

TToolbarButtonList::TToolbarButtonList()
{
    ApplyDefaultLayout();
}

void TToolbarButtonList::ApplyDefaultLayout()
{
    m_entries = Catalogue();
}

void TToolbarButtonList::LoadOrder(ISettingsManager& settings)
{
    TSettingsAccess access(settings);
    settings.UseUserAllComputers();
    settings.SelectSection(SettingsSection);
    const QList<TEntry> catalogue = Catalogue();
    QList<TEntry> display = catalogue;
    for (TEntry entry : catalogue) {
        int position = -1;
        try {
            position = settings.ReadInteger(entry.Identifier + QStringLiteral(" order"), -1, QStringLiteral("*"));
        } catch (...) {
            position = -1;
        }
        if (position < 0 || position >= display.size()) {
            ApplyDefaultLayout();
            settings.UseUserThisComputer();
            return;
        }
        entry.Visible = settings.ReadBool(entry.Identifier, true, QStringLiteral("*"));
        display[position] = entry;
    }
    m_entries = display;
    settings.UseUserThisComputer();
}

void TToolbarButtonList::SaveOrder(ISettingsManager& settings) const
{
    TSettingsAccess access(settings);
    settings.UseUserAllComputers();
    settings.SelectSection(SettingsSection);
    for (int i = 0; i < m_entries.size(); ++i) {
        settings.WriteBool(m_entries[i].Identifier, m_entries[i].Visible, QStringLiteral("*"));
        settings.WriteInteger(m_entries[i].Identifier + QStringLiteral(" order"), i, QStringLiteral("*"));
    }
    settings.UseUserThisComputer();
}

void TToolbarButtonList::Move(int from, int to)
{
    if (from < 0 || to < 0 || from >= m_entries.size() || to >= m_entries.size() || from == to)
        return;
    m_entries.move(from, to);
}

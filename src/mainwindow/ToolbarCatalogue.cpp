#include "mainwindow/ToolbarCatalogue.h"

#include "app/AppResources.h"
#include "settings/ISettingsManager.h"

#include <QApplication>

namespace {

// The commands here are the objects of the main window and of its entry
// browser that carry out what the button stands for.
const TToolbarCatalogueRow kCatalogue[] = {
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

} // namespace

namespace ToolbarCatalogue {

std::span<const TToolbarCatalogueRow> Rows()
{
    return kCatalogue;
}

std::vector<QString> Identifiers()
{
    std::vector<QString> result;
    int separator = 0;
    for (const TToolbarCatalogueRow& row : kCatalogue)
        result.push_back(row.identifier ? QString::fromLatin1(row.identifier)
                                        : QString::fromLatin1(SeparatorIdentifier) + QString::number(++separator));
    return result;
}

QIcon ButtonIcon(const QString& identifier)
{
    for (const TToolbarCatalogueRow& row : kCatalogue) {
        if (!row.identifier || identifier != QLatin1String(row.identifier))
            continue;
        QPixmap picture = TAppResources::Picture(QString::fromLatin1(row.bitmap));
        if (picture.isNull())
            return QApplication::style()->standardIcon(row.fallback);
        picture.setMask(picture.createMaskFromColor(TAppResources::TransparentColor()));
        return QIcon(picture);
    }
    return QIcon();
}

std::optional<std::vector<TStoredButton>> ReadOrder(ISettingsManager& settings)
{
    const QString section = QString::fromLatin1(Section);
    const std::vector<QString> identifiers = Identifiers();
    const int count = int(identifiers.size());
    std::vector<TStoredButton> stored;
    std::vector<bool> taken(identifiers.size(), false);
    for (const QString& identifier : identifiers) {
        int position = -1;
        bool visible = true;
        try {
            position = settings.ReadInteger(identifier + QString::fromLatin1(OrderSuffix), -1, section);
            visible = settings.ReadBool(identifier, true, section);
        } catch (const std::exception&) {
            // a value that is not a number counts as one never stored
            return std::nullopt;
        }
        if (position < 0 || position >= count || taken[size_t(position)])
            return std::nullopt;
        taken[size_t(position)] = true;
        stored.push_back({position, visible});
    }
    return stored;
}

void WriteOrder(ISettingsManager& settings, const std::vector<std::pair<QString, bool>>& display)
{
    const QString section = QString::fromLatin1(Section);
    for (size_t i = 0; i < display.size(); ++i) {
        settings.WriteBool(display[i].first, display[i].second, section);
        settings.WriteInteger(display[i].first + QString::fromLatin1(OrderSuffix), int(i), section);
    }
}

} // namespace ToolbarCatalogue

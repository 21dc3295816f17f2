#include "mainwindow/fTaskAssistant.h"

#include "controls/DropDownPanelWLabels.h"

#include <QScrollArea>
#include <QVBoxLayout>

namespace {

struct TPanelRow {
    const char* name;
    const char* header;
    int expandedHeight;
    QList<TDropDownLink> links;
};

QList<TPanelRow> PanelRows()
{
    auto L = [](const char* name, const char* caption, const char* hint) {
        return TDropDownLink{QString::fromUtf8(caption), QString::fromUtf8(hint), QString::fromLatin1(name)};
    };
    return {
        {"ddNewEntry", "Create new entry", 97,
         {L("laNewEntryFromClipboard", "From clipboard", "Creates a new entry from clipboard contents (files, text, etc)"),
          L("laNewEntryFromMonitoredFolder", "From monitored folder files",
            "Creates a new entry from files contained in the \"monitored folder\""),
          L("laNewEntryFromQuickNote", "From a \"Quick Note\"",
            "Lets you write some text in an editor window and creates a new entry with this text")}},
        {"ddCurrentEntry", "Current entry", 113,
         {L("laCurrentEntryView", "View", "Views currently highlighted entry (opens it with its associated application)"),
          L("laCurrentEntryEdit", "Edit", "Allows editing of the entry data and embedded files"),
          L("laCurrentEntryExploreFolder", "Explore folder",
            "Extracts entry from database and opens its folder contents in Windows Exlporer"),
          L("laCurrentEntryGoToCategory", "Go to containing category",
            "Browses the category which contains the current entry")}},
        {"ddMonitoredFolder", "Monitored folder", 160,
         {L("laPasteFromClipboard", "Paste from clipboard", "Paste clipboard contents into files in monitored folder"),
          L("laPasteFromClipboardAsHTML", "Paste from clipboard as HTML",
            "Paste clipboard contents as HTML in monitored folder"),
          L("laPasteFromClipboardAsPlainText", "Paste from clipboard as text",
            "Paste clipboard contents as text in monitored folder"),
          L("laMonitoredFolderNewEntry", "Create new entry from files",
            "Click create a new entry using the files contained in the monitored folder"),
          L("laMonitoredCurrentEntry", "Add to currently highlighted entry",
            "Click to add the files contained in the monitored folder to the currently highlighted entry"),
          L("laMonitoredManage", "Manage", "Click to manage the contents of monitored folder"),
          L("laMonitoredClear", "Clear", "Click to clear all files in the monitored folder")}},
        {"ddSelectionActions", "Selection actions", 114,
         {L("laSelectHighlighted", "Select highlighted entry", "Click to (de-)select highlighted entry"),
          L("laSelectAll", "Select all", "Selects all entries"), L("laSelectNone", "Deselect all", "Deselects all entries"),
          L("laSelectInvert", "Invert selection", "Inverts the current selection")}},
        {"ddSelectedEntries", "Selected entries", 146,
         {L("laSelectedExtract", "Extract", "Extracts selected entries to default folders"),
          L("laSelectedMerge", "Merge", "Merges selected entries into a new, single entry"),
          L("laSelectedDelete", "Delete", "Permanently deletes the selected entries from the database"),
          L("laSelectedMoveToCategory", "Move to category...",
            "Moves selected entries to a category you will be asked to specify"),
          L("laSelectedEMail", "Send by e-mail", "Sends selected entries by e-mail"),
          L("laSelectedExportHTML", "Export to an .HTML file", "Exports selected entries to an HTML file")}},
        {"ddBrowsing", "Browse", 97,
         {L("laBrowseCategories", "Browse categories", "Opens the category browser"),
          L("laBrowseBookmarks", "Browse bookmarks", "Opens the bookmark browser"),
          L("laSearch", "Search...", "Allows you to search for specific words in the database")}},
        {"ddCategories", "Categories", 97,
         {L("laCategoriesExpand", "Expand all", "Fully expands all categories"),
          L("laCategoriesCollapse", "Collapse all", "Fully collapses ALL categories"),
          L("laCategoriesManage", "Manage", "Add, delete, change categories")}},
        {"ddBookmarks", "Bookmarks", 130,
         {L("laBookmarksAdd", "Bookmark selected entries", "Adds the selected enrties to the default bookmark set"),
          L("laBookmarksAddToExistingSet", "Add selected entries to bookmark set...",
            "Adds selected entries to an existing bookmark set which you will be asked to specify"),
          L("laBookmarksAddToNewSet", "Create bookmark set from selected",
            "Create a new bookmark set and add the selected entries to it"),
          L("laBookmarksManage", "Manage", "Add, delete, change bookmark sets"),
          L("laBookmarksRemove", "Remove", "Removes selected entries from current bookmark set")}},
        {"ddSorting", "Sorting", 114,
         {L("laSortByDate", "Sort by last modified date",
            "Sorts entries by \"last modified\" date (newer ones show first)"),
          L("laSortByCreationOrder", "Sort by creation date", "Sorts entries by creation order (older ones show first)"),
          L("laSortByReverseCreationOrder", "Sort by reverse creation order",
            "Sorts entries by reverse creation order (newer ones show first)"),
          L("laSortByTitle", "Sort by title", "Sorts entries by their title")}},
    };
}

} // namespace

const std::array<const char*, TfrmTaskAssistant::PanelCount> TfrmTaskAssistant::PanelKeys = {
    "New entry", "Current entry", "Monitored folder", "Selection actions", "Selected entries",
    "Browse",    "Categories",    "Bookmarks",        "Sorting"};

TfrmTaskAssistant::TfrmTaskAssistant(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("frmTaskAssistant"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    sb = new QScrollArea(this);
    sb->setObjectName(QStringLiteral("sb"));
    sb->setWidgetResizable(true);
    sb->setFrameShape(QFrame::NoFrame);
    sb->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(sb);
    auto* content = new QWidget;
    content->setObjectName(QStringLiteral("sbContent"));
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    QFont linkFont = font();
    linkFont.setPointSize(8);
    const QList<TPanelRow> rows = PanelRows();
    for (int i = 0; i < PanelCount; ++i) {
        auto* panel = new TDropDownPanelWLabels(content);
        panel->setObjectName(QString::fromLatin1(rows[i].name));
        panel->setFont(linkFont);
        panel->SetHeightCollapsed(35);
        panel->SetHeightExpanded(rows[i].expandedHeight);
        panel->SetLabelSpacing(16);
        panel->SetHeaderCaption(QString::fromUtf8(rows[i].header));
        panel->SetLines(rows[i].links);
        // Panels hidden and shown again keep their place: the column lays
        // them out in index order whatever order they come back in.
        column->addWidget(panel);
        connect(panel, &TDropDownPanelWLabels::OnLabelClick, this,
                [this](TDropDownPanelWLabels* sender, const QString& name, const QString& caption) {
                    emit OnClickTaskAssistantLabel(sender, name, caption);
                });
        m_panels[size_t(i)] = panel;
    }
    column->addStretch(1);
    sb->setWidget(content);
}

#include "mainwindow/TaskAssistant.h"

#include "controls/DropDownPanelWLabels.h"
#include "mainwindow/fTaskAssistant.h"
#include "settings/ISettingsManager.h"

#include <QAction>
#include <QBoxLayout>
#include <QScrollArea>
#include <utility>

namespace {

// Link name and the command object it runs; the commands are the main
// window's and its entry browser's.
const std::pair<const char*, const char*> kLinkCommands[] = {
    {"laNewEntryFromClipboard", "miNewEntryFromClipboard"},
    {"laNewEntryFromMonitoredFolder", "miNewEntryFromMonitoredFolder"},
    {"laNewEntryFromQuickNote", "miNewEntryFromQuickNote"},
    {"laCurrentEntryView", "acEN_ViewEntry"},
    {"laCurrentEntryEdit", "acEN_EditEntry"},
    {"laCurrentEntryExploreFolder", "acEN_ExploreEntry"},
    {"laCurrentEntryGoToCategory", "acEN_GoToCategory"},
    {"laPasteFromClipboard", "miPasteFromClipboard"},
    {"laPasteFromClipboardAsHTML", "miPasteAsHtml"},
    {"laPasteFromClipboardAsPlainText", "miPasteAsText"},
    {"laMonitoredFolderNewEntry", "miNewEntryFromMonitoredFolder"},
    {"laMonitoredCurrentEntry", "miAddMonitoredFolderFiles"},
    {"laMonitoredManage", "miManageMonitoredFolder"},
    {"laMonitoredClear", "miClear"},
    {"laSelectHighlighted", "acEN_SelectThis"},
    {"laSelectAll", "acEN_SelectAll"},
    {"laSelectNone", "acEN_SelectNone"},
    {"laSelectInvert", "acEN_InvertSelection"},
    {"laSelectedExtract", "acEN_ExtractEntries"},
    {"laSelectedMerge", "acEN_MergeEntries"},
    {"laSelectedDelete", "acEN_DeleteEntries"},
    {"laSelectedMoveToCategory", "miMoveToCategory"},
    {"laSelectedEMail", "miMail"},
    {"laSelectedExportHTML", "miHTMLExport"},
    {"laBrowseCategories", "miBrowseByCategory"},
    {"laBrowseBookmarks", "miBrowseByBookmarkSet"},
    {"laSearch", "miSearch"},
    {"laCategoriesExpand", ""},
    {"laCategoriesCollapse", ""},
    {"laCategoriesManage", "miManageCategories"},
    {"laBookmarksAdd", "miAddToDefaultBookmarks"},
    {"laBookmarksAddToExistingSet", "miAddToExistingBookmarkSet"},
    {"laBookmarksAddToNewSet", "miAddToNewBookmarkSet"},
    {"laBookmarksManage", "miManageBookmarkSets"},
    {"laBookmarksRemove", "miRemoveBookmarks"},
    {"laSortByDate", "acEN_SortByLastModifiedDesc"},
    {"laSortByCreationOrder", "acEN_SortByCreationOrderAsc"},
    {"laSortByReverseCreationOrder", "acEN_SortByCreationOrderDesc"},
    {"laSortByTitle", "acEN_SortByTitle"},
};

// The links on the monitored folder's files.
bool IsMonitoredFolderLink(const QString& linkName)
{
    for (const char* name : {"laMonitoredFolderNewEntry", "laMonitoredCurrentEntry", "laMonitoredManage",
                             "laMonitoredClear"})
        if (linkName == QLatin1String(name))
            return true;
    return false;
}

// Collapsed by default: "Monitored folder", "Categories", "Sorting".
bool ExpandedByDefault(int index)
{
    return index != 2 && index != 6 && index != 8;
}

} // namespace

const QString TGenericTaskAssistant::VisiblePanelsSection = QStringLiteral("Layout\\Task assistant VISIBLE panels");
const QString TGenericTaskAssistant::ExpandedPanelsSection = QStringLiteral("Layout\\Task assistant EXPANDED panels");

QString TGenericTaskAssistant::CommandOf(const QString& linkName)
{
    for (const auto& [link, command] : kLinkCommands)
        if (linkName == QLatin1String(link))
            return QString::fromLatin1(command);
    return QString();
}

TGenericTaskAssistant::TGenericTaskAssistant(ISettingsManager& settings, QWidget* host, QBoxLayout* row,
                                             std::function<QAction*(const QString&)> command, QAction* viewItem,
                                             QObject* parent)
    : QObject(parent), m_settings(settings), m_host(host), m_row(row), m_command(std::move(command)),
      m_viewItem(viewItem)
{
    m_window = new TfrmTaskAssistant(host);
    if (!host->layout()) {
        auto* fill = new QVBoxLayout(host);
        fill->setContentsMargins(0, 0, 0, 0);
    }
    host->layout()->addWidget(m_window);
    m_window->show();
    connect(m_window, &TfrmTaskAssistant::OnClickTaskAssistantLabel, this,
            &TGenericTaskAssistant::OnClickTaskAssistantLabel);
    // Every link follows its command from now on.
    for (int p = 0; p < TfrmTaskAssistant::PanelCount; ++p) {
        for (const TDropDownLink& link : m_window->Panel(p)->Lines()) {
            const QString name = link.Name;
            if (QAction* action = m_command(CommandOf(name)))
                connect(action, &QAction::changed, this, [this, p, name] { UpdateLink(p, name); });
        }
    }
}

void TGenericTaskAssistant::UpdateLink(int panel, const QString& linkName)
{
    bool enabled = false;
    const QString command = CommandOf(linkName);
    if (command.isEmpty()) {
        enabled = CategoriesShown && CategoriesShown();
    } else if (IsMonitoredFolderLink(linkName) && MonitoredFolderHasContent) {
        enabled = MonitoredFolderHasContent();
    } else if (const QAction* action = m_command(command)) {
        enabled = action->isEnabled();
        // a sorting link is of no use while its order is the current one
        if (enabled && linkName.startsWith(QLatin1String("laSortBy")))
            enabled = !action->isChecked();
    }
    m_window->Panel(panel)->SetLabelEnabled(linkName, enabled);
}

void TGenericTaskAssistant::UpdateLinks()
{
    for (int p = 0; p < TfrmTaskAssistant::PanelCount; ++p)
        for (const TDropDownLink& link : m_window->Panel(p)->Lines())
            UpdateLink(p, link.Name);
}

void TGenericTaskAssistant::OnClickTaskAssistantLabel(QObject*, const QString& labelName, const QString&)
{
    const QString command = CommandOf(labelName);
    if (command.isEmpty()) {
        if (labelName == QLatin1String("laCategoriesExpand") || labelName == QLatin1String("laCategoriesCollapse")) {
            if (ExpandCategories && CategoriesShown && CategoriesShown())
                ExpandCategories(labelName == QLatin1String("laCategoriesExpand"));
        }
        return;
    }
    // the command's own handler, checks and messages apply; a disabled
    // command does nothing, as its menu item would
    if (QAction* action = m_command(command); action && action->isEnabled())
        action->trigger();
}

void TGenericTaskAssistant::SetSide(int side)
{
    if ((side != SideLeft && side != SideRight) || side == m_side)
        return;
    m_side = side;
    m_row->removeWidget(m_host);
    m_row->insertWidget(side == SideLeft ? 0 : m_row->count(), m_host);
}

void TGenericTaskAssistant::SetVisible(bool visible)
{
    m_visible = visible;
    m_host->setVisible(visible);
    if (m_viewItem) {
        m_viewItem->setCheckable(true);
        m_viewItem->setChecked(visible);
    }
}

void TGenericTaskAssistant::SetPanelVisible(int index, bool visible)
{
    if (index < 0 || index >= TfrmTaskAssistant::PanelCount || PanelVisible(index) == visible)
        return;
    m_window->Panel(index)->setVisible(visible);
}

bool TGenericTaskAssistant::PanelVisible(int index) const
{
    return index >= 0 && index < TfrmTaskAssistant::PanelCount && !m_window->Panel(index)->isHidden();
}

void TGenericTaskAssistant::RestoreDefaults()
{
    for (int i = 0; i < TfrmTaskAssistant::PanelCount; ++i) {
        SetPanelVisible(i, true);
        m_window->Panel(i)->SetExpanded(ExpandedByDefault(i));
    }
}

void TGenericTaskAssistant::LoadState()
{
    TSettingsAccess access(m_settings);
    m_settings.UseUserAllComputers();
    // A value that is not what it should be counts as never stored.
    auto readInt = [this](const QString& name, int fallback, const QString& section) {
        try {
            return m_settings.ReadInteger(name, fallback, section);
        } catch (const std::exception&) {
            return fallback;
        }
    };
    auto readBool = [this](const QString& name, bool fallback, const QString& section) {
        try {
            return m_settings.ReadBool(name, fallback, section);
        } catch (const std::exception&) {
            return fallback;
        }
    };
    const QString layout = QStringLiteral("Layout");
    SetSide(readInt(QStringLiteral("Task assistant layout"), SideRight, layout));
    SetVisible(readBool(QStringLiteral("Task assistant visible"), true, layout));
    for (int i = 0; i < TfrmTaskAssistant::PanelCount; ++i)
        SetPanelVisible(i, readBool(QString::fromLatin1(TfrmTaskAssistant::PanelKeys[size_t(i)]), true,
                                    VisiblePanelsSection));
    for (int i = 0; i < TfrmTaskAssistant::PanelCount; ++i)
        m_window->Panel(i)->SetExpanded(readBool(QString::fromLatin1(TfrmTaskAssistant::PanelKeys[size_t(i)]), true,
                                                 ExpandedPanelsSection));
}

void TGenericTaskAssistant::SaveState()
{
    TSettingsAccess access(m_settings);
    m_settings.UseUserAllComputers();
    const QString layout = QStringLiteral("Layout");
    m_settings.WriteInteger(QStringLiteral("Task assistant layout"), m_side, layout);
    m_settings.WriteBool(QStringLiteral("Task assistant visible"), m_visible, layout);
    for (int i = 0; i < TfrmTaskAssistant::PanelCount; ++i) {
        const QString key = QString::fromLatin1(TfrmTaskAssistant::PanelKeys[size_t(i)]);
        m_settings.WriteBool(key, PanelVisible(i), VisiblePanelsSection);
        m_settings.WriteBool(key, m_window->Panel(i)->Expanded(), ExpandedPanelsSection);
    }
}

void TGenericTaskAssistant::SetHeaderColor(const QColor& colour)
{
    for (int i = 0; i < TfrmTaskAssistant::PanelCount; ++i)
        m_window->Panel(i)->SetHeaderColor(colour);
}

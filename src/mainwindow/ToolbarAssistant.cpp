#include "mainwindow/ToolbarAssistant.h"

#include "mainwindow/ToolbarCatalogue.h"

#include "app/AppResources.h"
#include "controls/BTransparentButton.h"
#include "settings/ISettingsManager.h"

#include <QAction>
#include <algorithm>
#include <QApplication>
#include <QStyle>
#include <QToolButton>
#include <QWidget>

namespace {

bool IsSortButton(const QString& identifier)
{
    return identifier.startsWith(QLatin1String("btn_Sort"));
}

// The buttons on the monitored folder's files.
bool IsMonitoredFolderButton(const QString& identifier)
{
    for (const char* name : {"btn_NewEntryFromMonitoredFolder", "btn_AddMonitoredFolderToEntry",
                             "btn_ManageMonitoredFolder", "btn_ClearMonitoredFolder"})
        if (identifier == QLatin1String(name))
            return true;
    return false;
}

} // namespace

const QString TToolbarAssistant::Section = QString::fromLatin1(ToolbarCatalogue::Section);
const QString TToolbarAssistant::SeparatorIdentifier = QString::fromLatin1(ToolbarCatalogue::SeparatorIdentifier);
const QString TToolbarAssistant::OrderSuffix = QString::fromLatin1(ToolbarCatalogue::OrderSuffix);

TToolbarAssistant::TToolbarAssistant(ISettingsManager& settings, QWidget* bar,
                                     std::function<QAction*(const QString&)> command, QObject* parent)
    : QObject(parent), m_settings(settings), m_bar(bar), m_command(std::move(command))
{
}

TToolbarAssistant::~TToolbarAssistant() = default;

void TToolbarAssistant::BuildCatalogue()
{
    m_catalogue.clear();
    const std::vector<QString> identifiers = ToolbarCatalogue::Identifiers();
    const auto rows = ToolbarCatalogue::Rows();
    for (size_t i = 0; i < rows.size(); ++i) {
        const TToolbarCatalogueRow& row = rows[i];
        auto entry = std::make_unique<TToolbarAssistantButton>();
        entry->Identifier = identifiers[i];
        if (row.identifier) {
            entry->Command = QString::fromLatin1(row.command);
            entry->Description = QString::fromLatin1(row.description);
            entry->Bitmap = QString::fromLatin1(row.bitmap);
            entry->Action = m_command ? m_command(entry->Command) : nullptr;
            if (entry->Action)
                entry->Hint = entry->Action->statusTip();
        } else {
            entry->Description = SeparatorIdentifier;
        }
        m_catalogue.push_back(std::move(entry));
    }
    ApplyDefaultLayout();
}

void TToolbarAssistant::ApplyDefaultLayout()
{
    m_display.clear();
    const auto rows = ToolbarCatalogue::Rows();
    for (size_t i = 0; i < m_catalogue.size(); ++i) {
        m_catalogue[i]->Visible = rows[i].shown;
        m_display.push_back(m_catalogue[i].get());
    }
}

void TToolbarAssistant::LoadOrder()
{
    TSettingsAccess access(m_settings);
    m_settings.UseUserAllComputers();
    const auto stored = ToolbarCatalogue::ReadOrder(m_settings);
    if (!stored || stored->size() != m_catalogue.size()) {
        ApplyDefaultLayout();
        return;
    }
    m_display.assign(m_catalogue.size(), nullptr);
    for (size_t i = 0; i < m_catalogue.size(); ++i) {
        m_display[size_t((*stored)[i].position)] = m_catalogue[i].get();
        m_catalogue[i]->Visible = (*stored)[i].visible;
    }
}

void TToolbarAssistant::SaveOrder()
{
    TSettingsAccess access(m_settings);
    m_settings.UseUserAllComputers();
    ToolbarCatalogue::WriteOrder(m_settings, Arrangement());
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
        auto* button = new TBTransparentButton(m_bar);
        button->setObjectName(entry->Identifier);
        button->setGeometry(x, 8, ButtonSize, ButtonSize);
        button->setFocusPolicy(Qt::NoFocus);
        // the command's hint, under the pointer and in the status bar; a
        // command without one (the sort orders) is named by the button's
        // description
        const QString hint = entry->Hint.isEmpty() ? entry->Description : entry->Hint;
        button->setToolTip(hint);
        button->setStatusTip(hint);
        button->SetResourceId(entry->Bitmap);
        // without the program's pictures the style's stand in
        button->setIcon(ToolbarCatalogue::ButtonIcon(entry->Identifier));
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

TToolbarAssistant::TArrangement TToolbarAssistant::Arrangement() const
{
    TArrangement arrangement;
    for (const TToolbarAssistantButton* entry : m_display)
        arrangement.emplace_back(entry->Identifier, entry->Visible);
    return arrangement;
}

bool TToolbarAssistant::SetArrangement(const TArrangement& arrangement)
{
    if (arrangement.size() != m_catalogue.size())
        return false;
    std::vector<TToolbarAssistantButton*> display;
    for (const auto& [identifier, visible] : arrangement) {
        TToolbarAssistantButton* entry = FindEntry(identifier);
        if (!entry || std::find(display.begin(), display.end(), entry) != display.end())
            return false;
        display.push_back(entry);
    }
    m_display = display;
    for (size_t i = 0; i < arrangement.size(); ++i)
        m_display[i]->Visible = arrangement[i].second;
    BuildButtons();
    return true;
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
        if (IsMonitoredFolderButton(entry->Identifier) && MonitoredFolderHasContent)
            enabled = MonitoredFolderHasContent();
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

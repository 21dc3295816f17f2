#include "preferences/ToolbarButtonList.h"

#include "mainwindow/ToolbarCatalogue.h"
#include "settings/ISettingsManager.h"

const QString TToolbarButtonList::SettingsSection = QString::fromLatin1(ToolbarCatalogue::Section);

namespace {

QList<TToolbarButtonList::TEntry> Catalogue()
{
    QList<TToolbarButtonList::TEntry> entries;
    const std::vector<QString> identifiers = ToolbarCatalogue::Identifiers();
    const auto rows = ToolbarCatalogue::Rows();
    for (size_t i = 0; i < rows.size(); ++i) {
        TToolbarButtonList::TEntry e;
        e.Identifier = identifiers[i];
        if (rows[i].identifier) {
            e.Description = QString::fromLatin1(rows[i].description);
            e.Bitmap = QString::fromLatin1(rows[i].bitmap);
        } else {
            e.Description = QString::fromLatin1(ToolbarCatalogue::SeparatorIdentifier);
        }
        e.DefaultVisible = e.Visible = rows[i].shown;
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
    const QList<TEntry> catalogue = Catalogue();
    const auto stored = ToolbarCatalogue::ReadOrder(settings);
    settings.UseUserThisComputer();
    if (!stored || stored->size() != size_t(catalogue.size())) {
        ApplyDefaultLayout();
        return;
    }
    QList<TEntry> display = catalogue;
    for (qsizetype i = 0; i < catalogue.size(); ++i) {
        TEntry entry = catalogue[i];
        entry.Visible = (*stored)[size_t(i)].visible;
        display[(*stored)[size_t(i)].position] = entry;
    }
    m_entries = display;
}

void TToolbarButtonList::SaveOrder(ISettingsManager& settings) const
{
    TSettingsAccess access(settings);
    settings.UseUserAllComputers();
    std::vector<std::pair<QString, bool>> display;
    for (const TEntry& entry : m_entries)
        display.emplace_back(entry.Identifier, entry.Visible);
    ToolbarCatalogue::WriteOrder(settings, display);
    settings.UseUserThisComputer();
}

void TToolbarButtonList::Move(int from, int to)
{
    if (from < 0 || to < 0 || from >= m_entries.size() || to >= m_entries.size() || from == to)
        return;
    m_entries.move(from, to);
}

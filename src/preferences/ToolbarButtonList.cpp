#include "preferences/ToolbarButtonList.h"

#include "mainwindow/ToolbarCatalogue.h"

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

void TToolbarButtonList::SetArrangement(const TToolbarAssistant::TArrangement& arrangement)
{
    QList<TEntry> catalogue = Catalogue();
    QList<TEntry> display;
    for (const auto& [identifier, visible] : arrangement) {
        for (qsizetype i = 0; i < catalogue.size(); ++i) {
            if (catalogue[i].Identifier != identifier)
                continue;
            TEntry entry = catalogue.takeAt(i);
            entry.Visible = visible;
            display.append(entry);
            break;
        }
    }
    m_entries = display + catalogue;
}

TToolbarAssistant::TArrangement TToolbarButtonList::Arrangement() const
{
    TToolbarAssistant::TArrangement arrangement;
    for (const TEntry& entry : m_entries)
        arrangement.emplace_back(entry.Identifier, entry.Visible);
    return arrangement;
}

void TToolbarButtonList::Move(int from, int to)
{
    if (from < 0 || to < 0 || from >= m_entries.size() || to >= m_entries.size() || from == to)
        return;
    m_entries.move(from, to);
}

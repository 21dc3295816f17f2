#pragma once

#include "mainwindow/ToolbarAssistant.h"

#include <QList>
#include <QString>

// The preferences window's working copy of the toolbar's buttons: every
// button of the toolbar's catalogue once, in display order, each with its
// visible flag, and what the page shows of each. It starts from the toolbar
// (Arrangement) and goes back to it on "Save"; the toolbar alone keeps the
// arrangement in the settings.
class TToolbarButtonList {
public:
    struct TEntry {
        QString Identifier;    // "(Separator)n" for the separators
        QString Description;
        QString Bitmap;        // resource name; empty for separators
        bool DefaultVisible = true;
        bool Visible = true;
        bool IsSeparator() const { return Bitmap.isEmpty(); }
    };

    // The catalogue in its order with the default flags.
    TToolbarButtonList();

    void ApplyDefaultLayout();
    // The toolbar's arrangement; identifiers the catalogue does not know are
    // left out, and buttons it lacks follow at the end with their default flags.
    void SetArrangement(const TToolbarAssistant::TArrangement& arrangement);
    TToolbarAssistant::TArrangement Arrangement() const;

    int Count() const { return int(m_entries.size()); }
    const TEntry& At(int index) const { return m_entries.at(index); }
    TEntry& At(int index) { return m_entries[index]; }
    // Moves the entry at `from` to `to`; those between shift towards `from`.
    void Move(int from, int to);
    QList<TEntry> Entries() const { return m_entries; }

private:
    QList<TEntry> m_entries;
};

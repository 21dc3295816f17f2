#pragma once

#include <QList>
#include <QString>

class ISettingsManager;

// The toolbar's buttons as the user arranges them: every button of the
// toolbar's catalogue once, in display order, each with its visible flag.
// Kept in the section "Toolbar buttons" of the current user on every
// computer: the identifier holds the flag, the identifier followed by
// " order" the position.
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

    static const QString SettingsSection;

    TToolbarButtonList();

    // The catalogue in its order with the default flags.
    void ApplyDefaultLayout();
    // Reads the stored order; a missing, out-of-range or repeated position anywhere
    // gives the default layout. Leaves the store in the scope of the current user on this computer.
    void LoadOrder(ISettingsManager& settings);
    void SaveOrder(ISettingsManager& settings) const;

    int Count() const { return int(m_entries.size()); }
    const TEntry& At(int index) const { return m_entries.at(index); }
    TEntry& At(int index) { return m_entries[index]; }
    // Moves the entry at `from` to `to`; those between shift towards `from`.
    void Move(int from, int to);
    QList<TEntry> Entries() const { return m_entries; }

private:
    QList<TEntry> m_entries;
};

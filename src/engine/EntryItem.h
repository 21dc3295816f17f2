#pragma once

#include "engine/Sortable.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

// One listed file or folder: an item of an entry's folder on disk, of the
// monitored folder, or of an entry's stored-files rows.
class TEntryItem {
public:
    // Values of Kind; the number is what entryfiles.Type stores.
    static constexpr quint8 KindFile = 1;
    static constexpr quint8 KindFolder = 2;

    TEntryItem() = default;
    TEntryItem(quint8 kind, const QString& name, qint64 size = 0,
               const QDateTime& date = QDateTime(), int iconIndex = 0);

    quint8 Kind() const { return m_kind; }
    void SetKind(quint8 kind) { m_kind = kind; }
    bool IsFolder() const { return m_kind == KindFolder; }

    // Index of the item's icon, looked up by name and kind by whoever lists it.
    int IconIndex() const { return m_iconIndex; }
    void SetIconIndex(int iconIndex) { m_iconIndex = iconIndex; }

    // The name within its folder, without any path.
    const QString& Name() const { return m_name; }
    void SetName(const QString& name) { m_name = name; }

    // Size in bytes; a listed folder counts what it holds.
    qint64 Size() const { return m_size; }
    void SetSize(qint64 size) { m_size = size; }

    // Last-write time of a file read from disk; null for items that were not.
    const QDateTime& Date() const { return m_date; }
    void SetDate(const QDateTime& date) { m_date = date; }

private:
    quint8 m_kind = KindFile;
    int m_iconIndex = 0;
    QString m_name;
    qint64 m_size = 0;
    QDateTime m_date;
};

// Puts a list of items in DESCENDING order of a text key, compared byte by
// byte (case-sensitive): folders before files, z before a before Z, largest
// size first. Sizes are compared as zero-padded text, so a size of more than
// eight digits sorts by its leading digits (100000000 after 20000000).
//
// The keys are computed once, when the sorter is made; make a sorter right
// before ShellSort and do not change the list while it exists.
class TEntryItemSorter : public ISortable {
public:
    enum TSortKind { SortByTypeAndName = 0, SortByName = 1, SortBySize = 2 };

    TEntryItemSorter(QList<TEntryItem*>& items, int sortKind);

    int SortKind() const { return m_sortKind; }

    // The text an item is ordered by under the given sort kind.
    static QByteArray SortKey(const TEntryItem& item, int sortKind);

    int Compare(int i, int j) const override;
    void Exchange(int i, int j) override;
    int LowIndex() const override { return 0; }
    int HighIndex() const override { return int(m_items.size()) - 1; }

private:
    QList<TEntryItem*>& m_items;
    int m_sortKind;
    QList<QByteArray> m_keys;
};

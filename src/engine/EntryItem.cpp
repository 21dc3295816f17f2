#include "engine/EntryItem.h"

#include <utility>

TEntryItem::TEntryItem(quint8 kind, const QString& name, qint64 size, const QDateTime& date,
                       int iconIndex)
    : m_kind(kind), m_iconIndex(iconIndex), m_name(name), m_size(size), m_date(date)
{
}

TEntryItemSorter::TEntryItemSorter(QList<TEntryItem*>& items, int sortKind)
    : m_items(items), m_sortKind(sortKind)
{
    m_keys.reserve(m_items.size());
    for (const TEntryItem* item : std::as_const(m_items))
        m_keys.append(SortKey(*item, m_sortKind));
}

QByteArray TEntryItemSorter::SortKey(const TEntryItem& item, int sortKind)
{
    // UTF-8 keeps the order of code points when compared byte by byte.
    switch (sortKind) {
    case SortByTypeAndName:
        return QString::asprintf("%.1d", int(item.Kind())).toUtf8() + item.Name().toUtf8();
    case SortBySize:
        return QString::asprintf("%.8lld", qlonglong(item.Size())).toLatin1();
    case SortByName:
    default:
        return item.Name().toUtf8();
    }
}

int TEntryItemSorter::Compare(int i, int j) const
{
    // Inverted on purpose: the greater key belongs first.
    const int order = m_keys.at(i).compare(m_keys.at(j), Qt::CaseSensitive);
    if (order > 0)
        return -1;
    if (order < 0)
        return 1;
    return 0;
}

void TEntryItemSorter::Exchange(int i, int j)
{
    m_items.swapItemsAt(i, j);
    m_keys.swapItemsAt(i, j);
}

#include "db/ClientRecordSet.h"

#include "app/Errors.h"
#include "db/BlobFile.h"

#include <algorithm>
#include <iterator>

ClientRecordSet::ClientRecordSet() = default;

void ClientRecordSet::LoadFromPacket(const DataPacket& packet)
{
    LoadFromPacket(DataPacket(packet));
}

namespace {

// Whether a value already has the form NormalizeValue gives its field type,
// so that packets read from the server are not converted twice.
bool IsNormalized(const QVariant& v, TFieldType type)
{
    if (v.isNull())
        return !v.isValid();
    switch (type) {
    case TFieldType::Integer:
        return v.typeId() == QMetaType::Int || v.typeId() == QMetaType::LongLong;
    case TFieldType::Float:
        return v.typeId() == QMetaType::Double;
    case TFieldType::Boolean:
        return v.typeId() == QMetaType::Bool;
    case TFieldType::DateTime:
        return v.typeId() == QMetaType::QDateTime;
    case TFieldType::Blob:
        return v.typeId() == QMetaType::QByteArray || TBlobFile::Holds(v);
    case TFieldType::Text:
    case TFieldType::LongText:
        return v.typeId() == QMetaType::QString;
    }
    return false;
}

} // namespace

void ClientRecordSet::LoadFromPacket(DataPacket&& packet)
{
    m_fields = std::move(packet.fields);
    m_rows.clear();
    m_rows.reserve(packet.rows.size());
    for (auto& values : packet.rows) {
        TRow row;
        row.values = std::move(values);
        row.values.resize(m_fields.size());
        for (int i = 0; i < m_fields.size(); ++i)
            if (!IsNormalized(row.values[i], m_fields[i].type))
                row.values[i] = NormalizeValue(row.values[i], m_fields[i].type);
        row.original = row.values;   // implicitly shared: no copy until a row changes
        m_rows.push_back(std::move(row));
    }
    packet.rows.clear();
    m_log.clear();
    m_buffer.clear();
    m_editRow = -1;
    m_indexText.clear();
    m_indexFields.clear();
    m_filter = nullptr;
    m_rangeField = -1;
    m_rangeValue = QVariant();
    m_state = TState::Browse;
    RowsChanged();
    RebuildView(-1);
    First();
}

DataPacket ClientRecordSet::ToPacket() const
{
    DataPacket packet;
    packet.fields = m_fields;
    for (const int row : m_view)
        packet.rows.append(m_rows[row].values);
    return packet;
}

void ClientRecordSet::Close()
{
    m_fields.clear();
    m_rows.clear();
    RowsChanged();
    m_rangeGroups = TRangeGroups();
    m_view.clear();
    m_log.clear();
    m_buffer.clear();
    m_pos = -1;
    m_eof = m_bof = true;
    m_state = TState::Inactive;
    NotifyChange();
}

// --- cursor -----------------------------------------------------------------

void ClientRecordSet::First()
{
    if (m_state == TState::Edit || m_state == TState::Insert)
        Post();
    m_pos = m_view.empty() ? -1 : 0;
    m_bof = true;
    m_eof = m_view.empty();
    NotifyChange();
}

void ClientRecordSet::Last()
{
    if (m_state == TState::Edit || m_state == TState::Insert)
        Post();
    m_pos = int(m_view.size()) - 1;
    m_eof = true;
    m_bof = m_view.empty();
    NotifyChange();
}

void ClientRecordSet::Next()
{
    if (m_state == TState::Edit || m_state == TState::Insert)
        Post();
    m_bof = false;
    if (m_pos + 1 < int(m_view.size())) {
        ++m_pos;
        m_eof = false;
        NotifyChange();
    } else {
        m_eof = true;
    }
}

void ClientRecordSet::Prior()
{
    if (m_state == TState::Edit || m_state == TState::Insert)
        Post();
    m_eof = false;
    if (m_pos > 0) {
        --m_pos;
        m_bof = false;
        NotifyChange();
    } else {
        m_bof = true;
    }
}

int ClientRecordSet::RecNo() const
{
    return m_pos < 0 ? 0 : m_pos + 1;
}

void ClientRecordSet::SetRecNo(int recNo)
{
    if (recNo < 1 || recNo > int(m_view.size()))
        return;
    if (m_state == TState::Edit || m_state == TState::Insert)
        Post();
    m_pos = recNo - 1;
    m_eof = m_bof = false;
    NotifyChange();
}

int ClientRecordSet::CurrentRow() const
{
    return (m_pos >= 0 && m_pos < int(m_view.size())) ? m_view[m_pos] : -1;
}

// --- values -----------------------------------------------------------------

void ClientRecordSet::RequireField(int index, const QString& name) const
{
    if (index < 0)
        throw EDatabaseError(QStringLiteral("Field '%1' not found").arg(name));
}

QVariant ClientRecordSet::Value(const QString& field) const
{
    const int index = FieldIndex(field);
    RequireField(index, field);
    return Value(index);
}

QVariant ClientRecordSet::Value(int fieldIndex) const
{
    if (fieldIndex < 0 || fieldIndex >= m_fields.size())
        throw EDatabaseError(QStringLiteral("Field index %1 out of range").arg(fieldIndex));
    if (m_state == TState::Edit || m_state == TState::Insert)
        return m_buffer.value(fieldIndex);
    const int row = CurrentRow();
    return row < 0 ? QVariant() : m_rows[row].values.value(fieldIndex);
}

QString ClientRecordSet::AsString(const QString& field) const
{
    const QVariant v = Value(field);
    return v.isNull() ? QString() : v.toString();
}

int ClientRecordSet::AsInteger(const QString& field) const
{
    const QVariant v = Value(field);
    if (v.isNull())
        return 0;
    bool ok = false;
    const int result = v.toInt(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(v.toString()));
    return result;
}

QVariant ClientRecordSet::RowValue(int row, int fieldIndex) const
{
    return m_rows.at(row).values.value(fieldIndex);
}

QVariant ClientRecordSet::ViewValue(int position, int fieldIndex) const
{
    if (position < 0 || position >= int(m_view.size()))
        return QVariant();
    return RowValue(m_view[size_t(position)], fieldIndex);
}

void ClientRecordSet::SetValue(const QString& field, const QVariant& value)
{
    const int index = FieldIndex(field);
    RequireField(index, field);
    if (m_state == TState::Inactive)
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    if (m_state == TState::Browse)
        Edit();
    m_buffer[index] = NormalizeValue(value, m_fields[index].type);
}

// --- editing ----------------------------------------------------------------

void ClientRecordSet::Edit()
{
    if (m_state == TState::Inactive)
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    if (m_state == TState::Edit || m_state == TState::Insert)
        return;
    const int row = CurrentRow();
    if (row < 0) {
        // Editing an empty record set starts a new row.
        Append();
        return;
    }
    m_buffer = m_rows[row].values;
    m_editRow = row;
    m_state = TState::Edit;
    NotifyChange();
}

void ClientRecordSet::Append()
{
    if (m_state == TState::Inactive)
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    if (m_state == TState::Edit || m_state == TState::Insert)
        Post();
    m_buffer = QList<QVariant>(m_fields.size());
    m_editRow = -1;
    m_state = TState::Insert;
    NotifyChange();
}

void ClientRecordSet::Post()
{
    if (m_state == TState::Edit) {
        TRow& row = m_rows[m_editRow];
        bool changed = false;
        for (int i = 0; i < m_fields.size(); ++i)
            if (!ValuesEqual(row.values.at(i), m_buffer[i], m_fields[i].type)
                || row.values.at(i).isNull() != m_buffer[i].isNull())
                changed = true;
        const int keep = m_editRow;
        if (changed) {
            row.values = m_buffer;
            if (!row.logged) {
                row.logged = true;
                m_log.push_back(m_editRow);
            }
        }
        m_state = TState::Browse;
        m_buffer.clear();
        m_editRow = -1;
        if (changed) {
            RowsChanged();
            RebuildView(keep);
        }
        NotifyChange();
    } else if (m_state == TState::Insert) {
        TRow row;
        row.values = m_buffer;
        row.inserted = true;
        row.logged = true;
        m_rows.push_back(std::move(row));
        const int id = int(m_rows.size()) - 1;
        m_log.push_back(id);
        m_state = TState::Browse;
        m_buffer.clear();
        RowsChanged();
        RebuildView(id);
        NotifyChange();
    }
}

void ClientRecordSet::Cancel()
{
    if (m_state == TState::Edit || m_state == TState::Insert) {
        m_state = TState::Browse;
        m_buffer.clear();
        m_editRow = -1;
        NotifyChange();
    }
}

void ClientRecordSet::MarkDeleted(int row)
{
    TRow& r = m_rows[size_t(row)];
    r.deleted = true;
    if (r.inserted) {
        // A row that never reached the database leaves no change behind.
        if (r.logged)
            m_log.erase(std::remove(m_log.begin(), m_log.end(), row), m_log.end());
        r.logged = false;
    } else if (!r.logged) {
        r.logged = true;
        m_log.push_back(row);
    }
}

void ClientRecordSet::Delete()
{
    if (m_state == TState::Insert) {
        Cancel();
        return;
    }
    if (m_state == TState::Edit)
        Cancel();
    const int row = CurrentRow();
    if (row < 0)
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on an empty dataset"));
    MarkDeleted(row);
    const int pos = m_pos;
    RowsChanged();
    RebuildView(-1);
    m_pos = m_view.empty() ? -1 : std::min(pos, int(m_view.size()) - 1);
    m_eof = m_view.empty();
    m_bof = m_pos <= 0;
    NotifyChange();
}

// --- views ------------------------------------------------------------------

bool ClientRecordSet::RowVisible(int row) const
{
    const TRow& r = m_rows[row];
    if (r.deleted)
        return false;
    if (m_rangeField >= 0 && !ValuesEqual(r.values[m_rangeField], m_rangeValue, m_fields[m_rangeField].type))
        return false;
    if (m_filter && !m_filter(*this, row))
        return false;
    return true;
}

bool ClientRecordSet::RangeCandidates(std::vector<int>& rows)
{
    if (m_rangeField < 0 || m_fields[m_rangeField].type != TFieldType::Integer)
        return false;
    bool ok = true;
    const qint64 key = m_rangeValue.isNull() ? 0 : m_rangeValue.toLongLong(&ok);
    if (!ok)
        return false;
    TRangeGroups& groups = m_rangeGroups;
    if (groups.field != m_rangeField || groups.version != m_rowsVersion) {
        groups = TRangeGroups();
        groups.field = m_rangeField;
        groups.version = m_rowsVersion;
        groups.byValue.reserve(m_rows.size());
        for (int i = 0; i < int(m_rows.size()); ++i) {
            const QVariant& value = m_rows[i].values.at(m_rangeField);
            bool isInteger = true;
            const qint64 rowKey = value.isNull() ? 0 : value.toLongLong(&isInteger);
            if (value.isNull())
                groups.nulls.push_back(i);
            else if (isInteger)
                groups.byValue.emplace_back(rowKey, i);
            else
                groups.others.push_back(i);
        }
        // Detail rows mostly arrive in their master's order: nearly sorted.
        std::sort(groups.byValue.begin(), groups.byValue.end());
    }
    rows.clear();
    if (m_rangeValue.isNull()) {
        rows = groups.nulls;
    } else {
        const auto [from, to] = std::equal_range(groups.byValue.begin(), groups.byValue.end(), std::pair<qint64, int>(key, 0),
                                                 [](const auto& a, const auto& b) { return a.first < b.first; });
        rows.reserve(size_t(to - from));
        for (auto it = from; it != to; ++it)
            rows.push_back(it->second);
    }
    if (!groups.others.empty()) {
        rows.insert(rows.end(), groups.others.begin(), groups.others.end());
        std::sort(rows.begin(), rows.end());
    }
    return true;
}

void ClientRecordSet::SortView()
{
    if (m_indexFields.isEmpty() || m_view.size() < 2)
        return;
    const int first = m_indexFields.first();
    const TFieldType firstType = m_fields[first].type;
    if (firstType != TFieldType::Integer) {
        std::stable_sort(m_view.begin(), m_view.end(), [this](int a, int b) {
            for (const int f : m_indexFields) {
                const int c = CompareValues(m_rows[a].values.at(f), m_rows[b].values.at(f), m_fields[f].type);
                if (c != 0)
                    return c < 0;
            }
            return false;
        });
        return;
    }
    // An integer first field is read once per row instead of once per
    // comparison; the other fields only break its ties. Nulls come first, as
    // CompareValues orders them.
    struct TKeyed {
        bool notNull;
        qint64 key;
        int row;
    };
    std::vector<TKeyed> keyed;
    keyed.reserve(m_view.size());
    for (const int row : m_view) {
        const QVariant& value = m_rows[row].values.at(first);
        keyed.push_back({!value.isNull(), value.isNull() ? 0 : value.toLongLong(), row});
    }
    std::stable_sort(keyed.begin(), keyed.end(), [this](const TKeyed& a, const TKeyed& b) {
        if (a.notNull != b.notNull)
            return b.notNull;
        if (a.key != b.key)
            return a.key < b.key;
        for (qsizetype i = 1; i < m_indexFields.size(); ++i) {
            const int f = m_indexFields[i];
            const int c = CompareValues(m_rows[a.row].values.at(f), m_rows[b.row].values.at(f), m_fields[f].type);
            if (c != 0)
                return c < 0;
        }
        return false;
    });
    for (size_t i = 0; i < keyed.size(); ++i)
        m_view[i] = keyed[i].row;
}

void ClientRecordSet::RebuildView(int keepRow)
{
    if (keepRow < 0)
        keepRow = CurrentRow();
    std::vector<int> candidates;
    const bool grouped = RangeCandidates(candidates);
    m_view.clear();
    if (grouped) {
        for (const int i : candidates)
            if (RowVisible(i))
                m_view.push_back(i);
    } else {
        m_view.reserve(m_rows.size());
        for (int i = 0; i < int(m_rows.size()); ++i)
            if (RowVisible(i))
                m_view.push_back(i);
    }
    SortView();
    m_pos = -1;
    if (keepRow >= 0) {
        const auto it = std::find(m_view.begin(), m_view.end(), keepRow);
        if (it != m_view.end())
            m_pos = int(it - m_view.begin());
    }
    if (m_pos < 0 && !m_view.empty())
        m_pos = 0;
    m_eof = m_view.empty();
    m_bof = m_pos <= 0;
}

void ClientRecordSet::SetIndexFieldNames(const QString& fields)
{
    if (m_state == TState::Edit || m_state == TState::Insert)
        Post();
    QList<int> indexFields;
    for (const QString& name : fields.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const int index = FieldIndex(name.trimmed());
        RequireField(index, name);
        indexFields.append(index);
    }
    m_indexText = fields;
    m_indexFields = indexFields;
    RebuildView(-1);
    NotifyChange();
}

bool ClientRecordSet::Locate(const QString& fields, const QVariantList& values, bool ignoreCase)
{
    QList<int> indexes;
    for (const QString& name : fields.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const int index = FieldIndex(name.trimmed());
        RequireField(index, name);
        indexes.append(index);
    }
    if (indexes.size() != values.size())
        throw EDatabaseError(QStringLiteral("Locate: %1 fields but %2 values").arg(indexes.size()).arg(values.size()));
    for (int pos = 0; pos < int(m_view.size()); ++pos) {
        const TRow& r = m_rows[m_view[pos]];
        bool match = true;
        for (int k = 0; k < indexes.size() && match; ++k) {
            const int f = indexes[k];
            match = ValuesEqual(r.values[f], NormalizeValue(values[k], m_fields[f].type), m_fields[f].type, ignoreCase);
        }
        if (match) {
            if (m_state == TState::Edit || m_state == TState::Insert)
                Post();
            m_pos = pos;
            m_eof = m_bof = false;
            NotifyChange();
            return true;
        }
    }
    return false;
}

std::vector<int> ClientRecordSet::RowsByKey(int field, const QVariantList& keys, bool distinct) const
{
    const TFieldType type = m_fields[field].type;
    // The view's places ordered by the field's value, equal values in view
    // order: a key's first row is the first of its run.
    std::vector<int> byValue(m_view.size());
    for (size_t i = 0; i < byValue.size(); ++i)
        byValue[i] = int(i);
    const auto valueAt = [&](int place) -> const QVariant& { return m_rows[m_view[size_t(place)]].values.at(field); };
    std::stable_sort(byValue.begin(), byValue.end(),
                     [&](int a, int b) { return CompareValues(valueAt(a), valueAt(b), type) < 0; });
    std::vector<bool> taken(distinct ? m_view.size() : 0, false);
    std::vector<int> rows;
    rows.reserve(size_t(keys.size()));
    for (const QVariant& key : keys) {
        const QVariant wanted = NormalizeValue(key, type);
        auto it = std::lower_bound(byValue.begin(), byValue.end(), wanted, [&](int place, const QVariant& value) {
            return CompareValues(valueAt(place), value, type) < 0;
        });
        int found = -1;
        for (; it != byValue.end() && ValuesEqual(valueAt(*it), wanted, type); ++it) {
            if (distinct && taken[size_t(*it)])
                continue;
            if (distinct)
                taken[size_t(*it)] = true;
            found = m_view[size_t(*it)];
            break;
        }
        rows.push_back(found);
    }
    return rows;
}

int ClientRecordSet::SetValues(const QString& keyField, const QString& field,
                               const QList<std::pair<QVariant, QVariant>>& changes)
{
    const int key = FieldIndex(keyField);
    RequireField(key, keyField);
    const int target = FieldIndex(field);
    RequireField(target, field);
    if (m_state == TState::Inactive)
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    if (m_state == TState::Edit || m_state == TState::Insert)
        Post();
    QVariantList keys;
    keys.reserve(changes.size());
    for (const auto& change : changes)
        keys.append(change.first);
    const std::vector<int> rows = RowsByKey(key, keys, false);
    const TFieldType type = m_fields[target].type;
    int changed = 0;
    for (qsizetype i = 0; i < changes.size(); ++i) {
        if (rows[size_t(i)] < 0)
            continue;
        TRow& row = m_rows[size_t(rows[size_t(i)])];
        const QVariant value = NormalizeValue(changes[i].second, type);
        QVariant& current = row.values[target];
        if (ValuesEqual(current, value, type) && current.isNull() == value.isNull())
            continue;
        current = value;
        if (!row.logged) {
            row.logged = true;
            m_log.push_back(rows[size_t(i)]);
        }
        ++changed;
    }
    if (changed > 0) {
        RowsChanged();
        RebuildView(-1);
    }
    NotifyChange();
    return changed;
}

int ClientRecordSet::DeleteRows(const QString& keyField, const QVariantList& keys)
{
    const int key = FieldIndex(keyField);
    RequireField(key, keyField);
    if (m_state == TState::Inactive)
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));
    if (m_state == TState::Edit || m_state == TState::Insert)
        Post();
    int deleted = 0;
    for (const int id : RowsByKey(key, keys, true)) {
        if (id < 0)
            continue;
        MarkDeleted(id);
        ++deleted;
    }
    if (deleted > 0) {
        // The cursor's row, or the first row after it that stays.
        int keep = -1;
        for (size_t place = size_t(std::max(m_pos, 0)); place < m_view.size() && keep < 0; ++place)
            if (!m_rows[size_t(m_view[place])].deleted)
                keep = m_view[place];
        RowsChanged();
        RebuildView(keep);
        if (keep < 0 && !m_view.empty())
            m_pos = int(m_view.size()) - 1;
        m_eof = m_view.empty();
        m_bof = m_pos <= 0;
    }
    NotifyChange();
    return deleted;
}

void ClientRecordSet::SetFilter(TRowFilter filter)
{
    m_filter = std::move(filter);
    RebuildView(-1);
    NotifyChange();
}

void ClientRecordSet::SetRange(const QString& field, const QVariant& value)
{
    if (field.isEmpty()) {
        m_rangeField = -1;
        m_rangeValue = QVariant();
    } else {
        const int index = FieldIndex(field);
        RequireField(index, field);
        m_rangeField = index;
        m_rangeValue = NormalizeValue(value, m_fields[index].type);
    }
    RebuildView(-1);
    if (!m_view.empty())
        m_pos = 0;
    m_bof = true;
    NotifyChange();
}

// --- change log -------------------------------------------------------------

Delta ClientRecordSet::GetDelta() const
{
    Delta delta;
    delta.fields = m_fields;
    for (const int id : m_log) {
        const TRow& r = m_rows[id];
        TDeltaRow d;
        if (r.inserted && r.deleted)
            continue;
        if (r.deleted) {
            d.kind = TChangeKind::Delete;
            d.oldValues = r.original;
        } else if (r.inserted) {
            d.kind = TChangeKind::Insert;
            d.newValues = r.values;
            d.assigned.resize(m_fields.size());
            for (int i = 0; i < m_fields.size(); ++i)
                d.assigned[i] = !r.values[i].isNull();
        } else {
            d.kind = TChangeKind::Modify;
            d.oldValues = r.original;
            d.newValues = QList<QVariant>(m_fields.size());
            d.assigned.resize(m_fields.size());
            bool any = false;
            for (int i = 0; i < m_fields.size(); ++i) {
                const bool same = r.original[i].isNull() == r.values[i].isNull()
                                  && ValuesEqual(r.original[i], r.values[i], m_fields[i].type);
                if (!same) {
                    d.newValues[i] = r.values[i];
                    d.assigned[i] = true;
                    any = true;
                }
            }
            if (!any)
                continue;
        }
        delta.rows.append(std::move(d));
    }
    return delta;
}

void ClientRecordSet::MergeChangeLog()
{
    if (m_state == TState::Edit || m_state == TState::Insert)
        Post();
    const int current = CurrentRow();
    std::vector<TRow> kept;
    kept.reserve(m_rows.size());
    int newCurrent = -1;
    for (int i = 0; i < int(m_rows.size()); ++i) {
        TRow& r = m_rows[i];
        if (r.deleted)
            continue;
        r.original = r.values;
        r.inserted = r.logged = false;
        if (i == current)
            newCurrent = int(kept.size());
        kept.push_back(std::move(r));
    }
    m_rows = std::move(kept);
    m_log.clear();
    RowsChanged();
    RebuildView(newCurrent);
    NotifyChange();
}

void ClientRecordSet::CancelUpdates()
{
    if (m_state == TState::Edit || m_state == TState::Insert)
        Cancel();
    std::vector<TRow> kept;
    for (auto& r : m_rows) {
        if (r.inserted)
            continue;
        r.values = r.original;
        r.deleted = r.logged = false;
        kept.push_back(std::move(r));
    }
    m_rows = std::move(kept);
    m_log.clear();
    RowsChanged();
    RebuildView(-1);
    NotifyChange();
}

void ClientRecordSet::NotifyChange()
{
    if (m_onChange)
        m_onChange();
}

#pragma once

#include "db/DataPacket.h"

#include <functional>
#include <utility>
#include <vector>

// An in-memory record set: rows loaded from a DataPacket, a cursor over a view
// (index order, filter, master range), edits with a change log, and the delta
// of that log for the gateway. Field names are looked up without regard to case.
//
// Editing works like a data-aware record set: Edit() (or Append()) opens an edit
// buffer on the current row, SetValue() changes the buffer, Post() writes it to
// the row and logs the change, Cancel() drops it.
class ClientRecordSet {
public:
    enum class TState { Inactive, Browse, Edit, Insert };
    using TRowFilter = std::function<bool(const ClientRecordSet&, int row)>;
    using TNotify = std::function<void()>;

    ClientRecordSet();

    // Replaces contents, change log, index, filter and range with the packet.
    void LoadFromPacket(const DataPacket& packet);
    // The same, taking the rows over instead of copying them (large results).
    void LoadFromPacket(DataPacket&& packet);
    // Current data (change log applied) as a packet, in view order.
    DataPacket ToPacket() const;
    void Close();
    bool Active() const { return m_state != TState::Inactive; }
    TState State() const { return m_state; }

    // Fields
    const TFieldDefs& Fields() const { return m_fields; }
    int FieldCount() const { return int(m_fields.size()); }
    int FieldIndex(const QString& name) const { return FindFieldIndex(m_fields, name); }
    bool HasField(const QString& name) const { return FieldIndex(name) >= 0; }

    // Cursor over the visible rows (1-based RecNo; 0 when there is no row)
    int RecordCount() const { return int(m_view.size()); }
    bool IsEmpty() const { return m_view.empty(); }
    void First();
    void Last();
    void Next();
    void Prior();
    bool Eof() const { return m_eof; }
    bool Bof() const { return m_bof; }
    int RecNo() const;
    void SetRecNo(int recNo);

    // Values of the current row (the edit buffer while editing). Value() of an
    // unknown field throws EDatabaseError; on an empty set it gives a null value.
    QVariant Value(const QString& field) const;
    QVariant Value(int fieldIndex) const;
    bool IsNull(const QString& field) const { return Value(field).isNull(); }
    QString AsString(const QString& field) const;
    int AsInteger(const QString& field) const;
    // Sets a field of the edit buffer; outside Edit/Insert it first calls Edit().
    void SetValue(const QString& field, const QVariant& value);

    // Editing
    void Edit();    // on an empty set this appends a new row, as the program expects
    void Append();  // new row at the end; state Insert
    void Post();    // writes the edit buffer to the row and logs it
    void Cancel();  // drops the edit buffer
    void Delete();  // deletes the current row (logs it unless it was inserted since the last merge)
    bool HasUnpostedChange() const { return m_state == TState::Edit || m_state == TState::Insert; }

    // Views
    // Ascending index on one or more fields joined by ";" (empty: load order).
    void SetIndexFieldNames(const QString& fields);
    QString IndexFieldNames() const { return m_indexText; }
    // Moves to the first visible row whose field(s) equal the value(s); fields joined by ";".
    bool Locate(const QString& fields, const QVariantList& values, bool ignoreCase = false);
    bool Locate(const QString& field, const QVariant& value, bool ignoreCase = false) {
        return Locate(field, QVariantList{value}, ignoreCase);
    }
    // Many rows at once, as a Locate on keyField followed by Edit, SetValue
    // and Post (or Delete) for each key would change them, but with the view
    // rebuilt once instead of after every row: a set of thousands of rows is
    // changed in milliseconds, not minutes. A key finds the first visible row
    // that holds it, in the view's order before any of the changes; keys no
    // row holds are skipped. The cursor stays on its row (when that row is
    // deleted, on the row that took its place). Both return the number of
    // rows changed.
    //
    // SetValues: for each (key, value) pair, field becomes value; a later
    // pair with the same key wins.
    int SetValues(const QString& keyField, const QString& field, const QList<std::pair<QVariant, QVariant>>& changes);
    // DeleteRows: each key deletes one row, so a key given twice deletes the
    // second row that holds it too.
    int DeleteRows(const QString& keyField, const QVariantList& keys);
    // Client-side filter; an empty function shows every row.
    void SetFilter(TRowFilter filter);
    // Master/detail: only rows whose field equals the value are visible. An
    // empty field name removes the range.
    void SetRange(const QString& field, const QVariant& value);
    void CancelRange() { SetRange(QString(), QVariant()); }
    // Value of a field of a visible or hidden row by internal row number.
    QVariant RowValue(int row, int fieldIndex) const;
    // Value of a field of the record at a 0-based place in the view's order,
    // without moving the cursor.
    QVariant ViewValue(int position, int fieldIndex) const;

    // Change log
    int ChangeCount() const { return int(m_log.size()); }
    bool HasChanges() const { return !m_log.empty(); }
    Delta GetDelta() const;
    void MergeChangeLog();   // changes become the starting state
    void CancelUpdates();    // back to the last starting state

    // Called after the current row moved or the data/state changed.
    void SetOnChange(TNotify notify) { m_onChange = std::move(notify); }

private:
    struct TRow {
        QList<QVariant> values;
        QList<QVariant> original;   // values at the last merge (empty for a row inserted since)
        bool inserted = false;      // inserted since the last merge
        bool deleted = false;
        bool logged = false;        // present in m_log
    };

    void RebuildView(int keepRow);
    // Marks the row deleted in the change log; the view is the caller's.
    void MarkDeleted(int row);
    // For each key the internal number of the first visible row whose field
    // holds it (-1 when none); with distinct, a row is given to one key only.
    std::vector<int> RowsByKey(int field, const QVariantList& keys, bool distinct) const;
    // Marks the rows as changed: orders and groups made of them are stale.
    void RowsChanged() { ++m_rowsVersion; }
    // The rows whose range field may hold the range value, in row order;
    // false when the field's kind is not grouped and every row is a candidate.
    bool RangeCandidates(std::vector<int>& rows);
    void SortView();
    void NotifyChange();
    int CurrentRow() const;   // internal row number of the cursor or -1
    void RequireField(int index, const QString& name) const;
    bool RowVisible(int row) const;

    TFieldDefs m_fields;
    std::vector<TRow> m_rows;
    std::vector<int> m_view;     // internal row numbers in view order
    std::vector<int> m_log;      // internal row numbers in the order of first change
    int m_pos = -1;              // position in m_view
    bool m_eof = true;
    bool m_bof = true;
    TState m_state = TState::Inactive;
    QList<QVariant> m_buffer;    // edit buffer
    int m_editRow = -1;          // row being edited; -1 for an appended row not yet posted
    QString m_indexText;
    QList<int> m_indexFields;
    TRowFilter m_filter;
    int m_rangeField = -1;
    QVariant m_rangeValue;
    TNotify m_onChange;
    // The rows grouped by the value of an integer range field, so that moving
    // a detail set to the next master row looks up its few rows instead of
    // comparing every row; made again after the rows change.
    struct TRangeGroups {
        int field = -1;
        quint64 version = 0;
        std::vector<std::pair<qint64, int>> byValue;   // (value, row), ordered
        std::vector<int> nulls;
        std::vector<int> others;   // values that are no integer: always compared
    };
    TRangeGroups m_rangeGroups;
    quint64 m_rowsVersion = 1;
};

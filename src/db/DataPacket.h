#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

// Field types as the program uses them. Text and LongText differ only in that
// long texts (and binaries) take no part in the optimistic row matching of writes.
enum class TFieldType { Integer, Float, Text, LongText, DateTime, Blob, Boolean };

struct TFieldDef {
    QString name;
    TFieldType type = TFieldType::Text;
    bool operator==(const TFieldDef&) const = default;
};

using TFieldDefs = QList<TFieldDef>;

// Index of a field by name, compared without regard to case; -1 when absent.
int FindFieldIndex(const TFieldDefs& fields, const QString& name);

// A complete, self-contained copy of a result set: column names and types,
// then every row. Values are null QVariants for SQL NULL; dates are QDateTime,
// integers qint64-compatible, binaries QByteArray.
struct DataPacket {
    TFieldDefs fields;
    QList<QList<QVariant>> rows;

    int FieldIndex(const QString& name) const { return FindFieldIndex(fields, name); }
    int RowCount() const { return int(rows.size()); }
    bool IsEmpty() const { return rows.isEmpty(); }
    // Value of a named column of a row; throws EDatabaseError for an unknown column.
    QVariant Value(int row, const QString& name) const;
};

using DataPackets = QList<DataPacket>;

enum class TChangeKind { Insert, Modify, Delete };

// One logged change. oldValues hold the row as it was loaded (empty for an
// insert); newValues hold the new values, where `assigned` marks the columns
// that carry one (every assigned column of an insert, only changed columns of a
// modification, none for a delete).
struct TDeltaRow {
    TChangeKind kind = TChangeKind::Insert;
    QList<QVariant> oldValues;
    QList<QVariant> newValues;
    QList<bool> assigned;
};

// The change log of a record set, in the order the changes were made.
struct Delta {
    TFieldDefs fields;
    QList<TDeltaRow> rows;
    bool IsEmpty() const { return rows.isEmpty(); }
};

// One element per record set; std::nullopt stands for Null (no changes).
using DeltaArray = QList<std::optional<Delta>>;

// Converts a value to the field type's canonical QVariant form (dates parsed
// from ISO text, integers from text, ...); used when packets are filled.
QVariant NormalizeValue(const QVariant& value, TFieldType type);

// Compares two values of one field type for sorting: <0, 0, >0. Nulls first;
// texts ignore case first and fall back to an exact comparison.
int CompareValues(const QVariant& a, const QVariant& b, TFieldType type);

// Equality used by Locate and matching: texts exactly, or ignoring case.
bool ValuesEqual(const QVariant& a, const QVariant& b, TFieldType type, bool ignoreCase = false);

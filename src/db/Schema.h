#pragma once

#include "db/DataPacket.h"

#include <QList>
#include <QString>
#include <QStringList>

// The tables of a Tessaryn database, declared once. The initializer builds the
// database from this catalogue, and the gateway learns from it which columns a
// table has (computed columns of a delta are left out of the statements),
// which columns the server assigns (identity columns are never written) and
// which take no part in the optimistic row matching (binaries and long texts).
struct TColumnDef {
    QString name;
    TFieldType type = TFieldType::Text;
    bool primaryKey = false;
    bool identity = false;     // assigned by the server on insert
    bool notNull = false;
    QString defaultValue;      // SQL literal, empty for none
    int length = 0;            // informative for text columns

    bool TakesPartInMatching() const { return type != TFieldType::Blob && type != TFieldType::LongText; }
};

struct TIndexDef {
    QString name;
    QStringList columns;
    bool unique = false;
};

struct TForeignKeyDef {
    QString column;
    QString refTable;
    QString refColumn;
    bool cascadeDelete = true;
};

struct TTableDef {
    QString name;
    QList<TColumnDef> columns;
    QList<TIndexDef> indexes;
    QList<TForeignKeyDef> foreignKeys;
    // Text columns a search looks for substrings in: the substring index of
    // the table covers exactly these. The table's key is its first column.
    QStringList searchedColumns = {};

    const TColumnDef* Column(const QString& column) const;
};

namespace Schema {

// Every table in creation order (referenced tables first).
const QList<TTableDef>& Tables();
// The table of that name, compared without regard to case; nullptr when unknown.
const TTableDef* FindTable(const QString& name);
// The type the program gives a result column of that name (table columns and
// the computed columns of the queries); Text for an unknown name.
TFieldType ColumnType(const QString& columnName, TFieldType fallback);
// The internal table of identifier counters and the table names it serves.
QString CountersTable();
QStringList CounterNames();
// First identifiers handed out per counter (bookmark sets start at 100: codes
// below that mark built-in sets).
int FirstIdentifier(const QString& counter);
// Version of the schema, recorded in the database: 1 the tables, counters
// and delivered rows; 2 adds the substring index behind the search.
int SchemaVersion();
int BaseSchemaVersion();
int SearchIndexVersion();
// The tables with a substring index (searchedColumns not empty).
QList<const TTableDef*> SearchIndexedTables();

} // namespace Schema

#pragma once

#include "db/PostgresDump.h"
#include "db/SchemaInventory.h"

#include <QList>
#include <QString>

class TdmConnection;

// The check of a backup against the program's own schema before a restore
// replaces anything: every table with its columns, the schema version, and
// every object the backup's schema holds. What the program's schema is comes
// from its schema builder (BuildSchemaInventory), for every version up to the
// backup's, so that a backup of an earlier version passes with what that
// version had. A backup that fails raises EDatabaseError saying why, naming
// the table, column or object.

// A SQLite backup: every row of its sqlite_master must be one the builder
// makes, with the same statement, since the file becomes the database as
// it is. shownName names the file in the messages.
void CheckSqliteBackup(TdmConnection& connection, const QString& file, const QString& shownName);

// A PostgreSQL backup: every entry of its table of contents must be an
// object the builder makes (or its rows, comment or rights), its tables'
// columns and its functions' bodies the builder's. What a restore takes from
// it is only rows (see TDatabaseMaintenance::RestoreDatabase).
struct TPostgresBackupPlan {
    QString schema;              // the schema the dump's tables are in
    int version = 0;             // the schema version it records
    TSchemaInventory expected;   // the program's schema at that version
    QList<TDumpEntry> data;      // its rows, tables in the order their keys need, then sequences
};
TPostgresBackupPlan CheckPostgresBackup(TdmConnection& connection, TPostgresDump& dump, const QString& shownName);

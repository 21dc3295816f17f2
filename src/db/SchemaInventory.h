#pragma once

#include <QList>
#include <QMap>
#include <QString>

class TdmConnection;

// One object of a database's schema, as the engine names it.
// - SQLite: a row of sqlite_master: kind "table", "index", "trigger" or
//   "view", its name, and its statement as the definition.
// - PostgreSQL: an object as pg_restore lists it in a dump: its kind
//   ("TABLE", "SEQUENCE", "INDEX", "CONSTRAINT", "FK CONSTRAINT",
//   "FUNCTION", "TRIGGER", "VIEW", "EXTENSION"...), its tag ("entries",
//   "entries entries_pkey", "sp_getnextrecid(text)"), and for a function its
//   body as the definition.
struct TSchemaObject {
    QString kind;
    QString name;
    QString definition;
};

struct TSchemaColumn {
    QString name;
    QString type;   // as the engine declares it: "integer", "timestamp(0) without time zone"
};

// What a database's schema holds.
struct TSchemaInventory {
    QList<TSchemaObject> objects;
    // The columns of each table, in their order, by the table's name in
    // lower case.
    QMap<QString, QList<TSchemaColumn>> tables;
    // The schema version the database records, as text; empty when it
    // records none (read by ReadSqliteSchema only).
    QString recordedVersion;

    // The object of that kind and name, compared without regard to case;
    // nullptr when there is none.
    const TSchemaObject* Find(const QString& kind, const QString& name) const;
};

// What the program's own schema builder makes for a schema version (1 up to
// Schema::SchemaVersion()), listed from a fresh database it builds for the
// purpose and throws away. On SQLite that is a file in a scratch folder. On
// PostgreSQL it is the session's temporary schema on the connection's
// server, inside a transaction that is rolled back: no other session ever
// sees it and nothing of it stays. Raises EDatabaseError on failure.
TSchemaInventory BuildSchemaInventory(TdmConnection& connection, int version);

// The schema of a SQLite database file and the version it records, read
// without changing it; raises EDatabaseError with SQLite's words when the
// file cannot be read. A table whose columns cannot be listed (a virtual
// table of a module this program lacks) has none in `tables`.
TSchemaInventory ReadSqliteSchema(const QString& file);

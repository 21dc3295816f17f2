#pragma once

#include "db/Schema.h"

#include <QString>
#include <QStringList>

class TdmConnection;

// Creates a Tessaryn database on an open connection: every table with its
// keys and indexes, the identifier counters and procedures, and the rows the
// database is delivered with. Used by the initializer program and by tests.
class TSchemaBuilder {
public:
    explicit TSchemaBuilder(TdmConnection& connection);

    QStringList ExistingTables();
    // True when the database already holds Tessaryn's tables.
    bool HasTessarynDatabase();
    // Creates everything in one transaction. An existing Tessaryn database is
    // refused unless force is set, in which case its tables are dropped first.
    // Throws ETessarynError with a clear message on any failure; nothing is
    // left half-made. A version below the current one makes the database an
    // earlier version of the program made (to test upgrades).
    void Create(bool force, int version = Schema::SchemaVersion());

    // The objects of the base schema without any row: the tables with their
    // keys and indexes, the identifier counters and procedures, the table of
    // schema facts. Inside the caller's transaction; the substring index is
    // TSchemaUpgrade::AddSearchIndex's.
    void CreateObjects();
    // Drops the program's tables, index and procedures, inside the caller's
    // transaction.
    void DropExisting();

    // The HTML templates delivered with the database.
    static QString HtmlExportBodyTemplate();
    static QString HtmlExportEntryRowTemplate();

private:
    void Exec(const QString& sql, const QVariantList& params = {});
    // The counters, the schema version and the rows the database is
    // delivered with.
    void InsertDeliveredRows();

    TdmConnection& m_connection;
};

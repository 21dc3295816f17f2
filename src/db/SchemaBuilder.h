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

    // The HTML templates delivered with the database.
    static QString HtmlExportBodyTemplate();
    static QString HtmlExportEntryRowTemplate();

private:
    void Exec(const QString& sql, const QVariantList& params = {});
    void DropExisting();
    void InsertDeliveredRows();

    TdmConnection& m_connection;
};

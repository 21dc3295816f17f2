#include "db/SchemaInventory.h"

#include "app/Errors.h"
#include "db/EngineDialect.h"
#include "db/Schema.h"
#include "db/SchemaBuilder.h"
#include "db/SchemaUpgrade.h"
#include "db/dmConnection.h"

#include <QFile>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <functional>

const TSchemaObject* TSchemaInventory::Find(const QString& kind, const QString& name) const
{
    for (const TSchemaObject& object : objects)
        if (object.kind.compare(kind, Qt::CaseInsensitive) == 0 && object.name.compare(name, Qt::CaseInsensitive) == 0)
            return &object;
    return nullptr;
}

namespace {

// --- SQLite --------------------------------------------------------------------------

// A file opened read-only through SQLite's own interface: nothing of it runs
// (its triggers fire on writes only), and it is closed on every way out.
class TReadOnlyFile {
public:
    explicit TReadOnlyFile(const QString& file)
    {
        if (sqlite3_open_v2(QFile::encodeName(file).constData(), &m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
            Fail();
    }
    ~TReadOnlyFile() { sqlite3_close_v2(m_db); }
    TReadOnlyFile(const TReadOnlyFile&) = delete;
    TReadOnlyFile& operator=(const TReadOnlyFile&) = delete;

    // Calls row(statement) for each row; the text bound to ?1 when given.
    void Rows(const char* sql, const std::function<void(sqlite3_stmt*)>& row, const QString& bound = QString())
    {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) != SQLITE_OK)
            Fail();
        const QByteArray text = bound.toUtf8();
        if (!bound.isNull())
            sqlite3_bind_text(statement, 1, text.constData(), int(text.size()), SQLITE_TRANSIENT);
        int rc;
        while ((rc = sqlite3_step(statement)) == SQLITE_ROW)
            row(statement);
        sqlite3_finalize(statement);
        if (rc != SQLITE_DONE)
            Fail();
    }

    static QString Text(sqlite3_stmt* statement, int column)
    {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
        return text ? QString::fromUtf8(text, sqlite3_column_bytes(statement, column)) : QString();
    }

private:
    [[noreturn]] void Fail() const
    {
        throw EDatabaseError(QString::fromUtf8(m_db ? sqlite3_errmsg(m_db) : "out of memory"));
    }

    sqlite3* m_db = nullptr;
};

TSchemaInventory SqliteInventory(int version)
{
    QTemporaryDir scratch;
    if (!scratch.isValid())
        throw EDatabaseError(QStringLiteral("No scratch folder for a copy of the database's schema: %1")
                                 .arg(scratch.errorString()));
    const QString file = scratch.filePath(QStringLiteral("schema.db"));
    {
        TdmConnection fresh(TConnectionInfo::Embedded(file));
        if (!fresh.Connect(false))
            throw EDatabaseError(fresh.LastConnectError());
        TSchemaBuilder(fresh).Create(false, version);
    }
    return ReadSqliteSchema(file);
}

// --- PostgreSQL ----------------------------------------------------------------------

void EachRow(TdmConnection& connection, const QString& sql, const std::function<void(const QSqlQuery&)>& row)
{
    QSqlQuery q(connection.Database());
    if (!q.exec(sql))
        throw EDatabaseError(q.lastError().text());
    while (q.next())
        row(q);
}

// The objects of the session's temporary schema, named as pg_dump names
// them in a dump's list.
void ListTemporarySchema(TdmConnection& connection, TSchemaInventory& inventory)
{
    const auto add = [&](const QString& kind, const QString& name, const QString& definition = QString()) {
        inventory.objects.append({kind, name, definition});
    };
    // Indexes that carry a key or unique constraint are listed by their
    // constraint.
    QSet<QString> constraintIndexes;
    EachRow(connection,
            QStringLiteral("select t.relname, k.conname, k.contype, i.relname from pg_constraint k "
                           "join pg_class t on t.oid = k.conrelid left join pg_class i on i.oid = k.conindid "
                           "where t.relnamespace = pg_my_temp_schema() order by 1, 2"),
            [&](const QSqlQuery& q) {
                const QString type = q.value(2).toString();
                const QString name = q.value(0).toString() + QLatin1Char(' ') + q.value(1).toString();
                if (type == QLatin1String("f"))
                    add(QStringLiteral("FK CONSTRAINT"), name);
                else if (type != QLatin1String("c") && type != QLatin1String("n")) {
                    add(QStringLiteral("CONSTRAINT"), name);
                    constraintIndexes.insert(q.value(3).toString());
                }
            });
    EachRow(connection,
            QStringLiteral("select relname, relkind from pg_class where relnamespace = pg_my_temp_schema() "
                           "and relkind in ('r', 'S', 'i', 'v', 'm') order by relname"),
            [&](const QSqlQuery& q) {
                const QString name = q.value(0).toString(), kind = q.value(1).toString();
                if (kind == QLatin1String("r"))
                    add(QStringLiteral("TABLE"), name);
                else if (kind == QLatin1String("S"))
                    add(QStringLiteral("SEQUENCE"), name);
                else if (kind == QLatin1String("v"))
                    add(QStringLiteral("VIEW"), name);
                else if (kind == QLatin1String("m"))
                    add(QStringLiteral("MATERIALIZED VIEW"), name);
                else if (!constraintIndexes.contains(name))
                    add(QStringLiteral("INDEX"), name);
            });
    EachRow(connection,
            QStringLiteral("select proname || '(' || pg_catalog.oidvectortypes(proargtypes) || ')', prosrc "
                           "from pg_proc where pronamespace = pg_my_temp_schema() order by 1"),
            [&](const QSqlQuery& q) { add(QStringLiteral("FUNCTION"), q.value(0).toString(), q.value(1).toString()); });
    EachRow(connection,
            QStringLiteral("select c.relname || ' ' || g.tgname from pg_trigger g join pg_class c on c.oid = g.tgrelid "
                           "where c.relnamespace = pg_my_temp_schema() and not g.tgisinternal order by 1"),
            [&](const QSqlQuery& q) { add(QStringLiteral("TRIGGER"), q.value(0).toString()); });
    // The extensions whose operator classes (or other members) the objects
    // use; they live outside the schema, where the builder created them.
    EachRow(connection,
            QStringLiteral("select distinct e.extname from pg_depend d "
                           "join pg_depend m on m.classid = d.refclassid and m.objid = d.refobjid and m.deptype = 'e' "
                           "join pg_extension e on e.oid = m.refobjid "
                           "where d.classid = 'pg_class'::regclass "
                           "and d.objid in (select oid from pg_class where relnamespace = pg_my_temp_schema()) "
                           "order by 1"),
            [&](const QSqlQuery& q) { add(QStringLiteral("EXTENSION"), q.value(0).toString()); });
    EachRow(connection,
            QStringLiteral("select c.relname, a.attname, pg_catalog.format_type(a.atttypid, a.atttypmod) "
                           "from pg_attribute a join pg_class c on c.oid = a.attrelid "
                           "where c.relnamespace = pg_my_temp_schema() and c.relkind = 'r' "
                           "and a.attnum > 0 and not a.attisdropped order by c.relname, a.attnum"),
            [&](const QSqlQuery& q) {
                inventory.tables[q.value(0).toString().toLower()].append({q.value(1).toString(), q.value(2).toString()});
            });
}

TSchemaInventory PostgresInventory(TdmConnection& connection, int version)
{
    const bool searchIndex = version >= Schema::SearchIndexVersion();
    // Its rollback would take the caller's work with it.
    if (connection.TransactionDepth() > 0)
        throw EDatabaseError(QStringLiteral("The database's schema cannot be listed inside a transaction."));
    TSchemaInventory inventory;
    connection.BeginTransaction();
    try {
        // An extension the index needs is created where the builder creates
        // it, before the temporary schema comes first: its functions could
        // not live there.
        if (searchIndex)
            for (const QString& sql : connection.Dialect().PrepareSearchIndexSql())
                ExecSchemaStatement(connection, sql);
        // Everything the builder makes without naming a schema lands in the
        // first schema of the path.
        ExecSchemaStatement(connection, QStringLiteral("select set_config('search_path', 'pg_temp, ' || "
                                                       "current_setting('search_path'), true)"));
        TSchemaBuilder(connection).CreateObjects();
        if (searchIndex)
            TSchemaUpgrade(connection).AddSearchIndex();
        ListTemporarySchema(connection, inventory);
    } catch (...) {
        connection.Rollback();
        throw;
    }
    connection.Rollback();
    return inventory;
}

} // namespace

TSchemaInventory ReadSqliteSchema(const QString& file)
{
    TSchemaInventory inventory;
    TReadOnlyFile db(file);
    db.Rows("select type, name, sql from sqlite_master order by rowid", [&](sqlite3_stmt* row) {
        inventory.objects.append({TReadOnlyFile::Text(row, 0), TReadOnlyFile::Text(row, 1), TReadOnlyFile::Text(row, 2)});
    });
    for (const TSchemaObject& object : std::as_const(inventory.objects)) {
        if (object.kind != QLatin1String("table"))
            continue;
        QList<TSchemaColumn> columns;
        try {
            db.Rows(
                "select name, type from pragma_table_info(?1)",
                [&](sqlite3_stmt* row) { columns.append({TReadOnlyFile::Text(row, 0), TReadOnlyFile::Text(row, 1)}); },
                object.name);
        } catch (const EDatabaseError&) {
            continue;
        }
        inventory.tables.insert(object.name.toLower(), columns);
    }
    if (inventory.tables.contains(QStringLiteral("tessaryn_info"))) {
        try {
            db.Rows("select value from tessaryn_info where name = 'schema version'",
                    [&](sqlite3_stmt* row) { inventory.recordedVersion = TReadOnlyFile::Text(row, 0); });
        } catch (const EDatabaseError&) {
        }
    }
    return inventory;
}

TSchemaInventory BuildSchemaInventory(TdmConnection& connection, int version)
{
    if (connection.Engine() == TConnectionInfo::TEngine::SQLite)
        return SqliteInventory(version);
    return PostgresInventory(connection, version);
}

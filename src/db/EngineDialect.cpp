#include "db/EngineDialect.h"

#include "app/Errors.h"
#include "db/SqliteFunctions.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

QVariant TEngineDialect::DateTimeParam(const QDateTime& value) const
{
    if (!value.isValid())
        return QVariant(QMetaType(QMetaType::QString));
    return value.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QVariant TEngineDialect::ValueParam(const QVariant& value, TFieldType type) const
{
    if (value.isNull()) {
        switch (type) {
        case TFieldType::Integer:
        case TFieldType::Boolean:
            return QVariant(QMetaType(QMetaType::Int));
        case TFieldType::Float:
            return QVariant(QMetaType(QMetaType::Double));
        case TFieldType::Blob:
            return QVariant(QMetaType(QMetaType::QByteArray));
        default:
            return QVariant(QMetaType(QMetaType::QString));
        }
    }
    switch (type) {
    case TFieldType::DateTime:
        return DateTimeParam(value.toDateTime());
    case TFieldType::Blob:
        return value.toByteArray();
    case TFieldType::Integer:
        return value.toLongLong();
    case TFieldType::Boolean:
        return value.toBool() ? 1 : 0;
    case TFieldType::Float:
        return value.toDouble();
    default: {
        // The SQL drivers bind a null QString as NULL; a text value that is
        // present but empty must stay an empty text, or the row would no
        // longer match its own values.
        const QString text = value.toString();
        return text.isNull() ? QString(QLatin1String("")) : text;
    }
    }
}

QString TEngineDialect::ColumnTypeSql(const TColumnDef& column) const
{
    if (column.primaryKey && column.identity)
        return IdentityKeySql();
    return TypeName(column.type) + (column.primaryKey ? QStringLiteral(" primary key") : QString());
}

QString TEngineDialect::CreateTableSql(const TTableDef& table) const
{
    QStringList parts;
    for (const auto& c : table.columns) {
        QString line = QStringLiteral("  ") + c.name + QLatin1Char(' ') + ColumnTypeSql(c);
        if (c.notNull && !c.primaryKey)
            line += QStringLiteral(" not null");
        if (!c.defaultValue.isEmpty())
            line += QStringLiteral(" default ") + c.defaultValue;
        parts << line;
    }
    for (const auto& fk : table.foreignKeys)
        parts << QStringLiteral("  foreign key (%1) references %2 (%3)%4")
                     .arg(fk.column, fk.refTable, fk.refColumn,
                          fk.cascadeDelete ? QStringLiteral(" on delete cascade") : QString());
    return QStringLiteral("create table %1 (\r\n%2\r\n)").arg(table.name, parts.join(QStringLiteral(",\r\n")));
}

QStringList TEngineDialect::CreateIndexSql(const TTableDef& table) const
{
    QStringList result;
    for (const auto& ix : table.indexes)
        result << QStringLiteral("create %1index %2 on %3 (%4)")
                      .arg(ix.unique ? QStringLiteral("unique ") : QString(), ix.name, table.name,
                           ix.columns.join(QStringLiteral(", ")));
    return result;
}

namespace {

void Exec(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw EDatabaseError(q.lastError().text());
}

class TSqliteDialect final : public TEngineDialect {
public:
    TConnectionInfo::TEngine Engine() const override { return TConnectionInfo::TEngine::SQLite; }
    QString Name() const override { return QStringLiteral("SQLite"); }

    // like() is replaced on every connection by a Unicode-aware version
    // (SQLite's own folds A-Z only).
    QString LikeCondition(const QString& column, const QString& operand) const override
    {
        return column + QStringLiteral(" like ") + operand;
    }
    QString ReverseDateExpression(const QString& column) const override
    {
        return QStringLiteral("-julianday(%1)").arg(column);
    }
    QString BeginTransactionSql() const override { return QStringLiteral("begin immediate"); }
    // A deferred transaction reads from one snapshot of the log from its
    // first read to its end.
    QString BeginReadTransactionSql() const override { return QStringLiteral("begin"); }
    QString BlobLengthExpression(const QString& column) const override
    {
        return QStringLiteral("length(%1)").arg(column);
    }
    // "begin immediate" already lets only one writer in at a time: whatever a
    // write transaction reads stays as it is until it ends.
    QString LockAgainstDeleteSql() const override { return QString(); }

    QString IdentityKeySql() const override { return QStringLiteral("integer primary key autoincrement"); }
    QString TypeName(TFieldType type) const override
    {
        switch (type) {
        case TFieldType::Float:
            return QStringLiteral("real");
        case TFieldType::Blob:
            return QStringLiteral("blob");
        case TFieldType::DateTime:   // ISO-8601 text "YYYY-MM-DD HH:MM:SS"
        case TFieldType::Text:
        case TFieldType::LongText:
            return QStringLiteral("text");
        default:
            return QStringLiteral("integer");
        }
    }

    QStringList CreateProceduresSql() const override
    {
        // SQLite has no stored procedures: the counters table alone carries the
        // contract, updated by one statement inside an immediate transaction.
        return {};
    }
    QStringList DropAllSql() const override { return {}; }
    QString ListTablesSql() const override
    {
        return QStringLiteral("select name from sqlite_master where type = 'table' and name not like 'sqlite%'");
    }
    TIdentifierCall ReserveIdentifiers(const QString& tableName, int count) const override
    {
        return {QStringLiteral("update reccounters set lastid = lastid + ? where tablename = lower(?) returning lastid"),
                {count, tableName}, true};
    }
    void PrepareConnection(QSqlDatabase& db) const override
    {
        RegisterSqliteFunctions(db);
        Exec(db, QStringLiteral("pragma foreign_keys = on"));
        Exec(db, QStringLiteral("pragma journal_mode = wal"));
        Exec(db, QStringLiteral("pragma synchronous = normal"));
    }
    // Switching the journal writes to the file: a read-only database keeps
    // the journal it has.
    void PrepareReadOnlyConnection(QSqlDatabase& db) const override
    {
        RegisterSqliteFunctions(db);
        Exec(db, QStringLiteral("pragma foreign_keys = on"));
    }
};

class TPostgresDialect final : public TEngineDialect {
public:
    TConnectionInfo::TEngine Engine() const override { return TConnectionInfo::TEngine::PostgreSQL; }
    QString Name() const override { return QStringLiteral("PostgreSQL"); }

    // ILIKE folds every letter by the database's character type; ESCAPE ''
    // switches off the backslash escape so a typed backslash stays literal.
    QString LikeCondition(const QString& column, const QString& operand) const override
    {
        return column + QStringLiteral(" ilike ") + operand + QStringLiteral(" escape ''");
    }
    QString ReverseDateExpression(const QString& column) const override
    {
        // days since 1900-01-01, the epoch of the original day numbers
        return QStringLiteral("-(extract(epoch from (%1 - timestamp '1900-01-01')) / 86400.0)::float8").arg(column);
    }
    QString BeginTransactionSql() const override { return QStringLiteral("begin"); }
    QString BeginReadTransactionSql() const override
    {
        return QStringLiteral("begin transaction isolation level repeatable read");
    }
    QString BlobLengthExpression(const QString& column) const override
    {
        return QStringLiteral("octet_length(%1)").arg(column);
    }
    // The weakest row lock that a delete (which takes FOR UPDATE) conflicts
    // with: writers of other columns of the row are not held up, and a
    // reader that arrives while a delete is pending waits for it and then
    // finds the row gone.
    QString LockAgainstDeleteSql() const override { return QStringLiteral(" for key share"); }

    QString IdentityKeySql() const override
    {
        return QStringLiteral("integer generated by default as identity primary key");
    }
    QString TypeName(TFieldType type) const override
    {
        switch (type) {
        case TFieldType::Float:
            return QStringLiteral("double precision");
        case TFieldType::Blob:
            return QStringLiteral("bytea");
        case TFieldType::DateTime:
            return QStringLiteral("timestamp(0)");
        case TFieldType::Text:
        case TFieldType::LongText:
            return QStringLiteral("text");
        default:
            return QStringLiteral("integer");
        }
    }

    QStringList CreateProceduresSql() const override
    {
        // Row locks on the counters table keep identifiers unique when several
        // connections ask at the same time.
        return {
            QStringLiteral(
                "create function sp_GetNextRecID(p_tablename text) returns integer language plpgsql as $$\n"
                "declare v integer;\n"
                "begin\n"
                "  update reccounters set lastid = lastid + 1 where tablename = lower(p_tablename) returning lastid into v;\n"
                "  if v is null then raise exception 'Unknown table name for identifiers: %', p_tablename; end if;\n"
                "  return v;\n"
                "end $$"),
            QStringLiteral(
                "create function sp_ReserveNextRecIDs(p_tablename text, p_howmany integer) returns integer language plpgsql as $$\n"
                "declare v integer;\n"
                "begin\n"
                "  if p_howmany < 1 then raise exception 'Cannot reserve % identifiers', p_howmany; end if;\n"
                "  update reccounters set lastid = lastid + p_howmany where tablename = lower(p_tablename) returning lastid into v;\n"
                "  if v is null then raise exception 'Unknown table name for identifiers: %', p_tablename; end if;\n"
                "  return v - p_howmany + 1;\n"
                "end $$"),
        };
    }
    QStringList DropAllSql() const override
    {
        return {QStringLiteral("drop function if exists sp_GetNextRecID(text)"),
                QStringLiteral("drop function if exists sp_ReserveNextRecIDs(text, integer)")};
    }
    QString ListTablesSql() const override
    {
        return QStringLiteral("select table_name from information_schema.tables "
                              "where table_schema = current_schema() and table_type = 'BASE TABLE'");
    }
    TIdentifierCall ReserveIdentifiers(const QString& tableName, int count) const override
    {
        if (count == 1)
            return {QStringLiteral("select sp_GetNextRecID(?)"), {tableName}, false};
        return {QStringLiteral("select sp_ReserveNextRecIDs(?, ?)"), {tableName, count}, false};
    }
    void PrepareConnection(QSqlDatabase& db) const override
    {
        Exec(db, QStringLiteral("set client_min_messages = warning"));
    }
};

} // namespace

std::unique_ptr<TEngineDialect> TEngineDialect::Create(TConnectionInfo::TEngine engine)
{
    if (engine == TConnectionInfo::TEngine::PostgreSQL)
        return std::make_unique<TPostgresDialect>();
    return std::make_unique<TSqliteDialect>();
}

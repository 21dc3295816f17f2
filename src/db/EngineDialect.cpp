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

QString KeyColumn(const TTableDef& table)
{
    return table.columns.first().name;
}

// SQLite's substring index of a table: an FTS5 table of trigrams over folded
// copies of its searched columns, the row's key as rowid. The copies are
// folded by the same function as like() folds, and the tokenizer is told
// not to fold again (its own folding differs from ours), so a phrase of the
// folded key is found exactly where like() finds "%key%".
QString FtsTable(const TTableDef& table)
{
    return table.name.toLower() + QStringLiteral("_fts");
}

QString FtsColumns(const TTableDef& table)
{
    return table.searchedColumns.join(QStringLiteral(", ")).toLower();
}

QString FoldedValues(const TTableDef& table, const QString& prefix)
{
    QStringList values;
    for (const QString& column : table.searchedColumns)
        values << QStringLiteral("%1(%2%3)").arg(QLatin1String(kSqliteFoldFunction), prefix, column);
    return values.join(QStringLiteral(", "));
}

// A search reads the index's lists and then a few thousand scattered rows;
// with SQLite's default 2 MB of pages they are read from the file again on
// every search. 32 MB keeps them; a listing of every entry still stays
// within its memory budget.
const QString kPageCacheSql = QStringLiteral("pragma cache_size = -32768");

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
    int RowsPerUpdate() const override { return 1; }
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
    bool FoldsInProgram() const override { return true; }
    // The files of a few thousand entries found are read from the index in
    // entry order, not looked up one by one in the table.
    QStringList FileListingIndexSql() const override
    {
        return {QStringLiteral("drop index if exists ix_entryfiles_entry"),
                QStringLiteral("create index if not exists ix_entryfiles_listing on entryfiles (entry, code, Name, Type, FileSize)")};
    }
    QStringList PrepareSearchIndexSql() const override { return {}; }
    QStringList CreateSearchIndexSql(const TTableDef& table) const override
    {
        const QString fts = FtsTable(table);
        const QString key = KeyColumn(table);
        const QString insertNew = QStringLiteral("insert into %1 (rowid, %2) values (new.%3, %4);")
                                      .arg(fts, FtsColumns(table), key, FoldedValues(table, QStringLiteral("new.")));
        const QString deleteOld = QStringLiteral("delete from %1 where rowid = old.%2;").arg(fts, key);
        // Positions are needed for phrases; the column sizes serve only
        // ranking, which a search does not do.
        return {QStringLiteral("create virtual table %1 using fts5(%2, tokenize = 'trigram case_sensitive 1', "
                               "columnsize = 0)")
                    .arg(fts, FtsColumns(table)),
                QStringLiteral("create trigger %1_insert after insert on %2 begin %3 end").arg(fts, table.name, insertNew),
                QStringLiteral("create trigger %1_delete after delete on %2 begin %3 end").arg(fts, table.name, deleteOld),
                QStringLiteral("create trigger %1_update after update of %2, %3 on %4 begin %5 %6 end")
                    .arg(fts, key, table.searchedColumns.join(QStringLiteral(", ")), table.name, deleteOld, insertNew)};
    }
    QString FillSearchIndexSql(const TTableDef& table) const override
    {
        const QString key = KeyColumn(table);
        return QStringLiteral("insert into %1 (rowid, %2) select %3, %4 from %5 where %3 > ? and %3 <= ?")
            .arg(FtsTable(table), FtsColumns(table), key, FoldedValues(table, QString()), table.name);
    }
    QStringList DropSearchIndexSql(const TTableDef& table) const override
    {
        const QString fts = FtsTable(table);
        return {QStringLiteral("drop trigger if exists %1_insert").arg(fts),
                QStringLiteral("drop trigger if exists %1_delete").arg(fts),
                QStringLiteral("drop trigger if exists %1_update").arg(fts),
                QStringLiteral("drop table if exists %1").arg(fts)};
    }
    TSqlFragment SearchIndexRows(const TTableDef& table, const QStringList& columns, const QStringList& texts,
                                 bool all) const override
    {
        // One phrase per text behind a column filter; inside the double
        // quotes only a double quote means anything, and it is doubled. Each
        // text is folded on its own, so that the operators between them
        // keep the upper case the query syntax asks for.
        // Without a filter when every column is asked for: the index then
        // need not tell the columns apart.
        const bool everyColumn = columns.size() == table.searchedColumns.size();
        const QString filter = (everyColumn ? QString() : QLatin1Char('{') + columns.join(QLatin1Char(' ')).toLower() + QStringLiteral("} : "));
        const QString phrase = QStringLiteral("'%1\"' || %2(?) || '\"'").arg(filter, QLatin1String(kSqliteFoldFunction));
        TSqlFragment rows;
        QStringList phrases;
        for (QString text : texts) {
            phrases << phrase;
            rows.params << text.replace(QLatin1Char('"'), QStringLiteral("\"\""));
        }
        const QString fts = FtsTable(table);
        rows.sql = QStringLiteral("select rowid as %1 from %2 where %2 match (%3)")
                       .arg(KeyColumn(table), fts,
                            phrases.join(all ? QStringLiteral(" || ' AND ' || ") : QStringLiteral(" || ' OR ' || ")));
        return rows;
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
        Exec(db, kPageCacheSql);
    }
    // Switching the journal writes to the file: a read-only database keeps
    // the journal it has.
    void PrepareReadOnlyConnection(QSqlDatabase& db) const override
    {
        RegisterSqliteFunctions(db);
        Exec(db, QStringLiteral("pragma foreign_keys = on"));
        Exec(db, kPageCacheSql);
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
    // A few thousand bound values per statement: far below the server's
    // limit of 65,535.
    int RowsPerUpdate() const override { return 500; }
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
    // pg_trgm's GIN indexes serve ILIKE on the columns themselves: the
    // server folds, the index only narrows the rows, and every candidate is
    // checked against the predicate again, so the rows found are those of a
    // full scan.
    bool FoldsInProgram() const override { return false; }
    // A name may be longer than a key of the server's indexes can hold.
    QStringList FileListingIndexSql() const override { return {}; }
    QStringList PrepareSearchIndexSql() const override
    {
        return {QStringLiteral("create extension if not exists pg_trgm")};
    }
    QStringList CreateSearchIndexSql(const TTableDef& table) const override
    {
        QStringList result;
        for (const QString& column : table.searchedColumns)
            result << QStringLiteral("create index if not exists %1_%2_trgm on %1 using gin (%2 gin_trgm_ops)")
                          .arg(table.name.toLower(), column.toLower());
        return result;
    }
    QString FillSearchIndexSql(const TTableDef&) const override { return QString(); }
    // The server counts an ILIKE as cheap on any text, so for keys of some
    // frequency it plans to read the whole table and compare every long
    // comment instead of joining the trigram indexes' bitmaps, about three
    // times slower. For this transaction only, reading every row is its last
    // resort, still taken where no index serves (the few categories).
    QStringList IndexedSearchSettingsSql() const override { return {QStringLiteral("set local enable_seqscan = off")}; }
    QStringList DropSearchIndexSql(const TTableDef& table) const override
    {
        QStringList result;
        for (const QString& column : table.searchedColumns)
            result << QStringLiteral("drop index if exists %1_%2_trgm").arg(table.name.toLower(), column.toLower());
        return result;
    }
    TSqlFragment SearchIndexRows(const TTableDef& table, const QStringList& columns, const QStringList& texts,
                                 bool all) const override
    {
        TSqlFragment rows;
        QStringList perText;
        for (const QString& text : texts) {
            QStringList conditions;
            for (const QString& column : columns) {
                conditions << LikeCondition(column, QStringLiteral("?"));
                rows.params << QString(QLatin1Char('%') + text + QLatin1Char('%'));
            }
            perText << QLatin1Char('(') + conditions.join(QStringLiteral(" or ")) + QLatin1Char(')');
        }
        rows.sql = QStringLiteral("select %1 from %2 where %3")
                       .arg(KeyColumn(table), table.name,
                            perText.join(all ? QStringLiteral(" and ") : QStringLiteral(" or ")));
        return rows;
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

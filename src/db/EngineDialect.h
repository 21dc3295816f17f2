#pragma once

#include "db/ConnectionInfo.h"
#include "db/Schema.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <memory>

class QSqlDatabase;

// The engine's own forms of the few statements and expressions that differ
// between SQLite and PostgreSQL. Nothing outside this class and the
// server-side module writes engine-specific SQL.
class TEngineDialect {
public:
    virtual ~TEngineDialect() = default;
    static std::unique_ptr<TEngineDialect> Create(TConnectionInfo::TEngine engine);

    virtual TConnectionInfo::TEngine Engine() const = 0;
    virtual QString Name() const = 0;

    // Case-insensitive LIKE for every letter, with no escape character, so a
    // backslash typed by the user is just a backslash: "<column> <op> ?".
    virtual QString LikeCondition(const QString& column, const QString& operand) const = 0;
    // The sort key "negated day number of DateModified".
    virtual QString ReverseDateExpression(const QString& column) const = 0;
    // A date-time as bound to a statement; both engines take
    // "yyyy-MM-dd HH:mm:ss" text, which compares and sorts correctly.
    QVariant DateTimeParam(const QDateTime& value) const;
    QVariant ValueParam(const QVariant& value, TFieldType type) const;

    // How many changed rows one update statement writes: one where a
    // statement costs microseconds in the program's own process (a longer
    // one costs more to bind than its rows cost to run singly), many where
    // every statement is a round trip to a server.
    virtual int RowsPerUpdate() const = 0;

    // Opening statements of a write transaction.
    virtual QString BeginTransactionSql() const = 0;
    // Opening statement of a transaction that only reads, and reads every
    // statement from the same state of the database (a value read in pieces
    // comes out whole even while another user writes it).
    virtual QString BeginReadTransactionSql() const = 0;
    // The number of bytes of a binary column, read without reading the value.
    virtual QString BlobLengthExpression(const QString& column) const = 0;
    // Appended to a "select ... from <table> where <key> = ?" inside a write
    // transaction: keeps the rows read from being deleted by another
    // connection until the transaction ends, and makes the statement wait for
    // a delete that is already under way. Empty where write transactions
    // never overlap.
    virtual QString LockAgainstDeleteSql() const = 0;

    // DDL
    QString ColumnTypeSql(const TColumnDef& column) const;
    // The engine's type of a field, and of a key the server numbers itself.
    virtual QString TypeName(TFieldType type) const = 0;
    virtual QString IdentityKeySql() const = 0;
    QString CreateTableSql(const TTableDef& table) const;
    QStringList CreateIndexSql(const TTableDef& table) const;
    virtual QStringList CreateProceduresSql() const = 0;
    virtual QStringList DropAllSql() const = 0;
    // Statement listing the user tables (one text column).
    virtual QString ListTablesSql() const = 0;

    // The substring index behind the search: it answers "which rows hold this
    // text in one of these columns", comparing as LikeCondition compares, for
    // the searchedColumns of a table. It is created inside the caller's
    // transaction and kept up to date by the database itself in the
    // transaction of every write.
    struct TSqlFragment {
        QString sql;
        QVariantList params;
    };
    // Once per database, before the first table's index.
    virtual QStringList PrepareSearchIndexSql() const = 0;
    virtual QStringList CreateSearchIndexSql(const TTableDef& table) const = 0;
    // Copies the rows of the table whose key lies in (first bound value,
    // second bound value] into its index. Empty where creating the index
    // already indexes every row.
    virtual QString FillSearchIndexSql(const TTableDef& table) const = 0;
    // Removes the index of a table whose rows are kept (an index built by
    // another version of the folding is built again).
    virtual QStringList DropSearchIndexSql(const TTableDef& table) const = 0;
    // A select of the keys of the table's rows in which one of the columns
    // contains each of the texts (all) or one of them at least, the key
    // column keeping its name. The texts hold no wildcard and at least
    // MinIndexedKeyLength characters each.
    virtual TSqlFragment SearchIndexRows(const TTableDef& table, const QStringList& columns, const QStringList& texts,
                                         bool all) const = 0;
    // The index holds copies folded by the program (whose folding may change
    // with Qt's Unicode tables), not by the server.
    virtual bool FoldsInProgram() const = 0;
    // Statements that let the files of found entries be listed from an index
    // alone; part of the same schema step as the substring index.
    virtual QStringList FileListingIndexSql() const = 0;
    // Settings for the transaction of a search the substring index answers:
    // a planner that prices a pattern match on a long text like one on a
    // number would rather read every row than the index.
    virtual QStringList IndexedSearchSettingsSql() const { return {}; }
    // Shorter texts are looked for by reading every row.
    static constexpr int MinIndexedKeyLength = 3;

    // Identifier procedures: the statement that hands out `count` consecutive
    // identifiers for a table, with its bound values; it returns one value, the
    // first identifier of the block or, when returnsLast is set, the last one.
    struct TIdentifierCall {
        QString sql;
        QVariantList params;
        bool returnsLast = false;
    };
    virtual TIdentifierCall ReserveIdentifiers(const QString& tableName, int count) const = 0;

    // Per-connection set-up right after opening.
    virtual void PrepareConnection(QSqlDatabase& db) const = 0;
    // The same for a connection that may only read: nothing is written.
    virtual void PrepareReadOnlyConnection(QSqlDatabase& db) const { PrepareConnection(db); }
};

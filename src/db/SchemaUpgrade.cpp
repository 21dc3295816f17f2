#include "db/SchemaUpgrade.h"

#include "app/Errors.h"
#include "db/EngineDialect.h"
#include "db/Schema.h"
#include "db/dmConnection.h"

#include <QChar>
#include <QSqlError>
#include <QSqlQuery>

#include <limits>

namespace {

const QString kSchemaVersion = QStringLiteral("schema version");
const QString kFolding = QStringLiteral("search folding");
// Rows copied into the index per step; between steps the progress is told.
constexpr int kFillBatch = 5000;

} // namespace

TSchemaUpgrade::TSchemaUpgrade(TdmConnection& connection) : m_connection(connection) {}

void ExecSchemaStatement(TdmConnection& connection, const QString& sql, const QVariantList& params)
{
    // Definitions run as plain statements: a server cannot prepare DDL.
    QSqlQuery q(connection.Database());
    bool ok = false;
    if (params.isEmpty()) {
        ok = q.exec(sql);
    } else if (q.prepare(sql)) {
        for (const auto& p : params)
            q.addBindValue(p);
        ok = q.exec();
    }
    if (!ok)
        throw EDatabaseError(q.lastError().text().trimmed() + QStringLiteral("\n") + sql);
}

void ChangeSchemaInTransaction(TdmConnection& connection, const std::function<void()>& change)
{
    connection.BeginTransaction();
    try {
        change();
        connection.Commit();
    } catch (...) {
        connection.Rollback();
        connection.ReadSchemaState();
        throw;
    }
    connection.ReadSchemaState();
}

void TSchemaUpgrade::Exec(const QString& sql, const QVariantList& params)
{
    ExecSchemaStatement(m_connection, sql, params);
}

QString TSchemaUpgrade::InfoValue(const QString& name)
{
    QSqlQuery q(m_connection.Database());
    if (!q.prepare(QStringLiteral("select value from tessaryn_info where name = ?")))
        return QString();
    q.addBindValue(name);
    if (!q.exec() || !q.next())
        return QString();
    return q.value(0).toString();
}

void TSchemaUpgrade::SetInfoValue(const QString& name, const QString& value)
{
    Exec(QStringLiteral("delete from tessaryn_info where name = ?"), {name});
    Exec(QStringLiteral("insert into tessaryn_info (name, value) values (?, ?)"), {name, value});
}

QString TSchemaUpgrade::CurrentFolding()
{
    return QStringLiteral("Qt Unicode %1").arg(int(QChar::currentUnicodeVersion()));
}

int TSchemaUpgrade::DatabaseVersion()
{
    return InfoValue(kSchemaVersion).toInt();
}

bool TSchemaUpgrade::FoldingChanged()
{
    return m_connection.Dialect().FoldsInProgram() && InfoValue(kFolding) != CurrentFolding();
}

bool TSchemaUpgrade::Needed()
{
    return DatabaseVersion() < Schema::SearchIndexVersion() || FoldingChanged();
}

void TSchemaUpgrade::Report(qint64 done, qint64 total)
{
    if (Progress && !Progress(done, total))
        throw EAbort();
}

void TSchemaUpgrade::Run()
{
    if (!Needed())
        return;
    ChangeSchemaInTransaction(m_connection, [this] {
        // Built with another folding, its copies would no longer match what
        // like() finds.
        if (DatabaseVersion() >= Schema::SearchIndexVersion())
            DropSearchIndex();
        AddSearchIndex();
    });
}

void TSchemaUpgrade::DropSearchIndex()
{
    for (const TTableDef* table : Schema::SearchIndexedTables())
        for (const QString& sql : m_connection.Dialect().DropSearchIndexSql(*table))
            Exec(sql);
}

void TSchemaUpgrade::AddSearchIndex()
{
    const TEngineDialect& dialect = m_connection.Dialect();
    const QList<const TTableDef*> tables = Schema::SearchIndexedTables();

    qint64 total = 0;
    for (const TTableDef* table : tables) {
        QSqlQuery count(m_connection.Database());
        if (!count.exec(QStringLiteral("select count(*) from %1").arg(table->name)) || !count.next())
            throw EDatabaseError(count.lastError().text());
        total += count.value(0).toLongLong();
    }
    qint64 done = 0;
    Report(done, total);

    for (const QString& sql : dialect.PrepareSearchIndexSql() + dialect.FileListingIndexSql())
        Exec(sql);
    for (const TTableDef* table : tables) {
        for (const QString& sql : dialect.CreateSearchIndexSql(*table))
            Exec(sql);
        const QString fill = dialect.FillSearchIndexSql(*table);
        const QString key = table->columns.first().name;
        if (fill.isEmpty()) {
            // The server indexed every row while creating the index.
            QSqlQuery count(m_connection.Database());
            if (count.exec(QStringLiteral("select count(*) from %1").arg(table->name)) && count.next())
                done += count.value(0).toLongLong();
            Report(done, total);
            continue;
        }
        // In steps of keys, so that the progress moves and no step holds
        // more than a batch of folded rows in memory.
        qint64 after = std::numeric_limits<qint32>::min() - qint64(1);
        for (;;) {
            QSqlQuery bound(m_connection.Database());
            if (!bound.prepare(QStringLiteral("select max(%1), count(*) from (select %1 from %2 where %1 > ? order by %1 limit %3) step")
                                   .arg(key, table->name)
                                   .arg(kFillBatch)))
                throw EDatabaseError(bound.lastError().text());
            bound.addBindValue(after);
            if (!bound.exec() || !bound.next())
                throw EDatabaseError(bound.lastError().text());
            const qint64 rows = bound.value(1).toLongLong();
            if (rows == 0)
                break;
            const qint64 upTo = bound.value(0).toLongLong();
            bound.finish();
            Exec(fill, {after, upTo});
            done += rows;
            after = upTo;
            Report(done, total);
        }
    }
    SetInfoValue(kSchemaVersion, QString::number(Schema::SearchIndexVersion()));
    if (dialect.FoldsInProgram())
        SetInfoValue(kFolding, CurrentFolding());
}

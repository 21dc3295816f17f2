#include "db/BackupCheck.h"

#include "app/Errors.h"
#include "db/Schema.h"

#include <QRegularExpression>
#include <QSet>

namespace {

[[noreturn]] void NotTessaryn(const QString& shown, const QString& why)
{
    throw EDatabaseError(QStringLiteral("\"%1\" is not a Tessaryn backup: %2").arg(shown, why));
}

[[noreturn]] void Foreign(const QString& shown, const QString& object)
{
    throw EDatabaseError(QStringLiteral("\"%1\" cannot be restored: it holds %2, which is not part of a Tessaryn "
                                        "database.")
                             .arg(shown, object));
}

[[noreturn]] void Differs(const QString& shown, const QString& object)
{
    throw EDatabaseError(QStringLiteral("\"%1\" cannot be restored: its %2 differs from Tessaryn's.").arg(shown, object));
}

// The table's columns, one by one, as the program's schema has them.
void CompareColumns(const QString& shown, const QString& table, const QList<TSchemaColumn>& expected,
                    const QList<TSchemaColumn>& actual)
{
    const auto find = [](const QList<TSchemaColumn>& columns, const QString& name) -> const TSchemaColumn* {
        for (const TSchemaColumn& column : columns)
            if (column.name.compare(name, Qt::CaseInsensitive) == 0)
                return &column;
        return nullptr;
    };
    for (const TSchemaColumn& column : expected) {
        const TSchemaColumn* found = find(actual, column.name);
        if (!found)
            NotTessaryn(shown, QStringLiteral("its table %1 has no column %2.").arg(table, column.name));
        if (found->type.compare(column.type, Qt::CaseInsensitive) != 0)
            NotTessaryn(shown, QStringLiteral("its column %1.%2 is of type %3 instead of %4.")
                                   .arg(table, column.name, found->type, column.type));
    }
    for (const TSchemaColumn& column : actual)
        if (!find(expected, column.name))
            NotTessaryn(shown,
                        QStringLiteral("its table %1 has a column %2 that Tessaryn's table does not have.").arg(table, column.name));
}

// The version a backup records, checked against the versions this program
// knows.
int RecordedVersion(const QString& shown, const QString& recorded)
{
    bool number = false;
    const int version = recorded.trimmed().toInt(&number);
    if (!number || version < Schema::BaseSchemaVersion())
        NotTessaryn(shown, QStringLiteral("it records no schema version."));
    if (version > Schema::SchemaVersion())
        throw EDatabaseError(QStringLiteral("\"%1\" was made by a newer version of Tessaryn (schema version %2); this "
                                            "version restores backups up to schema version %3.")
                                 .arg(shown)
                                 .arg(version)
                                 .arg(Schema::SchemaVersion()));
    return version;
}

// The program's schema at each version it knows, the first version first.
QList<TSchemaInventory> Inventories(TdmConnection& connection)
{
    QList<TSchemaInventory> result;
    for (int version = Schema::BaseSchemaVersion(); version <= Schema::SchemaVersion(); ++version)
        result.append(BuildSchemaInventory(connection, version));
    return result;
}

QList<TSchemaInventory> UpTo(const QList<TSchemaInventory>& all, int version)
{
    return all.mid(0, version - Schema::BaseSchemaVersion() + 1);
}

// --- SQLite --------------------------------------------------------------------------

QString SqliteObject(const TSchemaObject& object)
{
    return QStringLiteral("the %1 \"%2\"").arg(object.kind, object.name);
}

void CheckSqliteTables(const QString& shown, const TSchemaInventory& expected, const TSchemaInventory& backup)
{
    for (const TSchemaObject& object : expected.objects) {
        if (object.kind != QLatin1String("table"))
            continue;
        const QString key = object.name.toLower();
        if (!backup.Find(QStringLiteral("table"), object.name))
            NotTessaryn(shown, QStringLiteral("it has no table %1.").arg(object.name));
        if (!backup.tables.contains(key))
            NotTessaryn(shown, QStringLiteral("its table %1 cannot be read.").arg(object.name));
        CompareColumns(shown, object.name, expected.tables.value(key), backup.tables.value(key));
    }
}

bool IsSqliteStatistics(const TSchemaObject& object)
{
    static const QRegularExpression statistics(QStringLiteral("^sqlite_stat[1-4]$"),
                                               QRegularExpression::CaseInsensitiveOption);
    return object.kind == QLatin1String("table") && statistics.match(object.name).hasMatch();
}

} // namespace

void CheckSqliteBackup(TdmConnection& connection, const QString& file, const QString& shownName)
{
    const TSchemaInventory backup = ReadSqliteSchema(file);
    const QList<TSchemaInventory> all = Inventories(connection);
    // Is it a Tessaryn database at all: the tables every version has.
    CheckSqliteTables(shownName, all.first(), backup);
    const int version = RecordedVersion(shownName, backup.recordedVersion);
    const QList<TSchemaInventory> versions = UpTo(all, version);
    // The file becomes the database as it is: each of its objects must be
    // one of the program's, statement for statement.
    for (const TSchemaObject& object : backup.objects) {
        // The planner's statistics that ANALYZE keeps (sqlite_stat1 to
        // sqlite_stat4) are the engine's own data and hold no code.
        if (IsSqliteStatistics(object))
            continue;
        bool known = false, same = false;
        for (const TSchemaInventory& inventory : versions) {
            if (const TSchemaObject* own = inventory.Find(object.kind, object.name)) {
                known = true;
                same = same || own->definition == object.definition;
            }
        }
        if (!known)
            Foreign(shownName, SqliteObject(object));
        // A table that differs is named by its columns first.
        if (!same && object.kind == QLatin1String("table") && versions.last().tables.contains(object.name.toLower()))
            CompareColumns(shownName, object.name, versions.last().tables.value(object.name.toLower()),
                           backup.tables.value(object.name.toLower()));
        if (!same)
            Differs(shownName, QStringLiteral("%1 \"%2\"").arg(object.kind, object.name));
    }
    CheckSqliteTables(shownName, versions.last(), backup);
}

// --- PostgreSQL ----------------------------------------------------------------------

namespace {

// An entry's key ("TRIGGER public entries wipe") as words for a reader.
QString DumpObject(const QString& key)
{
    static const QRegularExpression parts(QStringLiteral("^((?:[A-Z]+ )+)(\\S+) (.*)$"));
    const QRegularExpressionMatch m = parts.match(key);
    if (!m.hasMatch())
        return QStringLiteral("\"%1\"").arg(key);
    const QString kind = m.captured(1).trimmed().toLower();
    const QString tag = m.captured(3);
    // These name their table first.
    static const QStringList onTable = {QStringLiteral("trigger"), QStringLiteral("constraint"),
                                        QStringLiteral("fk constraint"), QStringLiteral("check constraint"),
                                        QStringLiteral("rule"), QStringLiteral("policy")};
    const qsizetype blank = tag.indexOf(QLatin1Char(' '));
    if (onTable.contains(kind) && blank > 0)
        return QStringLiteral("the %1 \"%2\" on %3").arg(kind, tag.mid(blank + 1), tag.left(blank));
    return QStringLiteral("the %1 \"%2\"").arg(kind, tag);
}

// The keys of the entries a dump of the program's schema has: its objects,
// their rows, and the comments and rights on them (never restored).
class TAcceptedEntries {
public:
    // versions: the program's schema at each version up to the backup's;
    // all: at every version. The extensions the program uses live outside
    // its schema and stay installed when its objects are built again, so a
    // database of an earlier version may well have them.
    TAcceptedEntries(const QList<TSchemaInventory>& versions, const QList<TSchemaInventory>& all, const QString& schema)
        : m_schema(schema)
    {
        m_keys << QStringLiteral("SCHEMA - ") + schema << QStringLiteral("COMMENT - SCHEMA ") + schema
               << QStringLiteral("ACL - SCHEMA ") + schema;
        for (const TSchemaInventory& inventory : all)
            for (const TSchemaObject& object : inventory.objects)
                if (object.kind == QLatin1String("EXTENSION"))
                    m_keys << QStringLiteral("EXTENSION - ") + object.name << QStringLiteral("COMMENT - EXTENSION ") + object.name;
        for (const TSchemaInventory& inventory : versions) {
            for (const TSchemaObject& object : inventory.objects) {
                if (object.kind == QLatin1String("EXTENSION"))
                    continue;
                m_keys << Key(object.kind, object.name);
                if (object.kind == QLatin1String("TABLE")) {
                    m_keys << Key(QStringLiteral("TABLE DATA"), object.name);
                    m_named << QStringLiteral("TABLE ") + object.name << QStringLiteral("COLUMN ") + object.name + QLatin1Char('.');
                } else if (object.kind == QLatin1String("SEQUENCE")) {
                    m_keys << Key(QStringLiteral("SEQUENCE SET"), object.name);
                    m_named << QStringLiteral("SEQUENCE ") + object.name;
                } else if (object.kind == QLatin1String("FUNCTION")) {
                    m_named << QStringLiteral("FUNCTION ") + object.name.left(object.name.indexOf(QLatin1Char('(')) + 1);
                }
            }
        }
    }

    bool Accepts(const QString& key) const
    {
        if (m_keys.contains(key))
            return true;
        for (const QString& kind : {QStringLiteral("ACL "), QStringLiteral("COMMENT ")}) {
            const QString prefix = kind + m_schema + QLatin1Char(' ');
            if (!key.startsWith(prefix))
                continue;
            const QString tag = key.mid(prefix.size());
            for (const QString& named : m_named) {
                // a function by its name and arguments, a column by its table
                const bool prefix = named.endsWith(QLatin1Char('(')) || named.endsWith(QLatin1Char('.'));
                if (prefix ? tag.startsWith(named) : tag == named)
                    return true;
            }
        }
        return false;
    }

    QString Key(const QString& kind, const QString& name) const { return kind + QLatin1Char(' ') + m_schema + QLatin1Char(' ') + name; }

private:
    QString m_schema;
    QSet<QString> m_keys;
    QStringList m_named;
};

// Collects the rows of one small table as text, to read a value from them.
class TRowCollector : public TPostgresDump::IDataSink {
public:
    void Encoding(const QString&) override {}
    void BeginCopy(const QString&, const QString&, const QStringList& columns) override { m_columns = columns; }
    void CopyData(const char* data, qsizetype length) override { m_text.append(data, length); }
    void EndCopy() override {}
    void SetSequence(const QString&, const QString&, qint64, bool) override {}

    // The value of column `value` in the row whose column `key` is keyValue.
    QString Value(const QString& key, const QString& keyValue, const QString& value) const
    {
        const qsizetype keyAt = m_columns.indexOf(key), valueAt = m_columns.indexOf(value);
        if (keyAt < 0 || valueAt < 0)
            return QString();
        for (const QByteArray& line : m_text.split('\n')) {
            const QList<QByteArray> fields = line.split('\t');
            if (fields.size() == m_columns.size() && QString::fromUtf8(fields[keyAt]) == keyValue)
                return QString::fromUtf8(fields[valueAt]);
        }
        return QString();
    }

private:
    QStringList m_columns;
    QByteArray m_text;
};

} // namespace

TPostgresBackupPlan CheckPostgresBackup(TdmConnection& connection, TPostgresDump& dump, const QString& shownName)
{
    const QList<TDumpEntry> entries = dump.Entries();
    const auto entry = [&](const QString& key) -> const TDumpEntry* {
        for (const TDumpEntry& e : entries)
            if (e.key == key)
                return &e;
        return nullptr;
    };
    TPostgresBackupPlan plan;
    // The program's tables are all in one schema: the one of its entries.
    static const QRegularExpression entriesTable(QStringLiteral("^TABLE (\\S+) entries$"));
    for (const TDumpEntry& e : entries)
        if (const QRegularExpressionMatch m = entriesTable.match(e.key); m.hasMatch())
            plan.schema = m.captured(1);
    if (plan.schema.isEmpty())
        NotTessaryn(shownName, QStringLiteral("it has no table entries."));

    // Is it a Tessaryn database at all: the tables every version has, with
    // their columns as the dump would create them.
    const TPostgresDump::TDefinitions definitions = dump.Definitions();
    const auto checkTables = [&](const TSchemaInventory& inventory) {
        for (const TSchemaObject& object : inventory.objects) {
            if (object.kind != QLatin1String("TABLE"))
                continue;
            if (!entry(QStringLiteral("TABLE %1 %2").arg(plan.schema, object.name)))
                NotTessaryn(shownName, QStringLiteral("it has no table %1.").arg(object.name));
            CompareColumns(shownName, object.name, inventory.tables.value(object.name.toLower()),
                           definitions.tables.value(object.name.toLower()));
        }
    };
    const QList<TSchemaInventory> all = Inventories(connection);
    checkTables(all.first());

    // The version it records, read from its own rows.
    QString recorded;
    if (const TDumpEntry* info = entry(QStringLiteral("TABLE DATA %1 tessaryn_info").arg(plan.schema))) {
        TRowCollector rows;
        dump.ReadData({*info}, rows, [](qint64) { return true; });
        recorded = rows.Value(QStringLiteral("name"), QStringLiteral("schema version"), QStringLiteral("value"));
    }
    plan.version = RecordedVersion(shownName, recorded);

    const QList<TSchemaInventory> versions = UpTo(all, plan.version);
    const TAcceptedEntries accepted(versions, all, plan.schema);
    for (const TDumpEntry& e : entries)
        if (!accepted.Accepts(e.key))
            Foreign(shownName, DumpObject(e.key));
    plan.expected = versions.last();
    checkTables(plan.expected);
    // A function of the program's name with another body is another
    // function.
    for (const auto& [tag, body] : definitions.functionBodies.asKeyValueRange()) {
        bool same = false;
        for (const TSchemaInventory& inventory : versions)
            if (const TSchemaObject* own = inventory.Find(QStringLiteral("FUNCTION"), tag))
                same = same || own->definition == body;
        if (!same)
            Differs(shownName, QStringLiteral("function \"%1\"").arg(tag));
    }

    // The rows: tables in the order of the program's catalogue (a table
    // comes after those its keys refer to), then the rest, then sequences.
    QStringList order;
    for (const TTableDef& table : Schema::Tables())
        order << table.name.toLower();
    QList<TDumpEntry> tables, sequences;
    for (const TSchemaObject& object : plan.expected.objects) {
        if (object.kind == QLatin1String("TABLE")) {
            const TDumpEntry* rows = entry(accepted.Key(QStringLiteral("TABLE DATA"), object.name));
            if (!rows)
                NotTessaryn(shownName, QStringLiteral("it has no rows for its table %1.").arg(object.name));
            tables.append(*rows);
        } else if (object.kind == QLatin1String("SEQUENCE")) {
            if (const TDumpEntry* value = entry(accepted.Key(QStringLiteral("SEQUENCE SET"), object.name)))
                sequences.append(*value);
        }
    }
    const auto rank = [&](const TDumpEntry& e) {
        const qsizetype at = order.indexOf(e.key.section(QLatin1Char(' '), -1).toLower());
        return at < 0 ? order.size() : at;
    };
    std::stable_sort(tables.begin(), tables.end(), [&](const TDumpEntry& a, const TDumpEntry& b) { return rank(a) < rank(b); });
    plan.data = tables + sequences;
    return plan;
}

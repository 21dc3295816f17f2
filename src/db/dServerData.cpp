#include "db/dServerData.h"

#include "app/Errors.h"
#include "db/EngineDialect.h"
#include "db/Schema.h"
#include "db/SqliteRows.h"

#include <QSqlError>
#include <QSqlField>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QHash>
#include <algorithm>
#include <memory>

namespace {

const QString kRecordNotFound = QStringLiteral("Record not found or changed by another user");
const QString kMoreThanOne = QStringLiteral("Update affected more than 1 record.");
const QString kEntryCategoryGone =
    QStringLiteral("The category of this entry no longer exists: another user may have deleted it. "
                   "Choose another category and save again.");
const QString kMoveTargetGone = QStringLiteral(
    "The chosen category no longer exists: another user may have deleted it. The entries were not moved.");
const QString kDeletedCategoryInUse =
    QStringLiteral("The category \"%1\" cannot be deleted: entries or subcategories were filed under it in the "
                   "meantime. Your changes to the categories were not saved.");

bool IsTable(const QString& name, const QString& table)
{
    return name.compare(table, Qt::CaseInsensitive) == 0;
}

QString ServerText(const QSqlError& error)
{
    const QString text = error.databaseText().trimmed();
    return text.isEmpty() ? error.text().trimmed() : text;
}

TFieldType TypeFromMeta(const QMetaType& type)
{
    switch (type.id()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return TFieldType::Integer;
    case QMetaType::Double:
    case QMetaType::Float:
        return TFieldType::Float;
    case QMetaType::QByteArray:
        return TFieldType::Blob;
    case QMetaType::QDateTime:
    case QMetaType::QDate:
        return TFieldType::DateTime;
    case QMetaType::Bool:
        return TFieldType::Boolean;
    default:
        return TFieldType::Text;
    }
}

// A text as both engines can keep it alike: NUL, which a PostgreSQL text
// cannot hold, is dropped, and half of a surrogate pair, which is no
// character (each engine would mangle it its own way), becomes U+FFFD.
QVariant Storable(const QVariant& value)
{
    if (value.typeId() != QMetaType::QString)
        return value;
    const QString text = value.toString();
    bool clean = true;
    for (const QChar c : text)
        if (c.isNull() || c.isSurrogate()) {
            clean = false;
            break;
        }
    if (clean)
        return value;
    QString result;
    result.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isNull())
            continue;
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            result += c;
            result += text.at(++i);
        } else if (c.isSurrogate()) {
            result += QChar(QChar::ReplacementCharacter);
        } else {
            result += c;
        }
    }
    return result;
}

TSqlStatement StorableStatement(const TSqlStatement& statement)
{
    TSqlStatement result{statement.text, {}};
    result.params.reserve(statement.params.size());
    for (const QVariant& value : statement.params)
        result.params.append(Storable(value));
    return result;
}

// Runs a statement; values always travel bound, never inside the text.
void Run(TdmConnection& connection, QSqlQuery& query, const TSqlStatement& statement)
{
    bool ok = false;
    if (statement.params.isEmpty()) {
        ok = query.exec(statement.text);
    } else {
        if (!query.prepare(statement.text))
            connection.RaiseError(ServerText(query.lastError()));
        for (const QVariant& value : statement.params)
            query.addBindValue(Storable(value));
        ok = query.exec();
    }
    if (!ok)
        connection.RaiseError(ServerText(query.lastError()));
}

} // namespace

QString CheckedCodeList(const QString& codes)
{
    QStringList parts;
    for (const QString& part : codes.split(QLatin1Char(','))) {
        bool ok = false;
        const int code = part.trimmed().toInt(&ok);
        if (!ok)
            throw EDatabaseError(QStringLiteral("'%1' is not a valid list of entry codes").arg(codes));
        parts << QString::number(code);
    }
    return parts.join(QLatin1Char(','));
}

TdmServerData::TdmServerData(TdmConnection& connection) : m_connection(connection)
{
    m_connection.EnsureConnected();
}

DataPacket TdmServerData::RunQuery(const TSqlStatement& statement)
{
    // The server's rows go through the driver, which makes the values
    // storable itself (Run): only the embedded engine's need it here.
    if (m_connection.Info().engine == TConnectionInfo::TEngine::SQLite)
        if (std::optional<DataPacket> read = ReadSqliteRows(m_connection.Database(), StorableStatement(statement)))
            return std::move(*read);
    QSqlQuery query(m_connection.Database());
    query.setForwardOnly(true);
    Run(m_connection, query, statement);
    DataPacket packet;
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i) {
        const QSqlField field = record.field(i);
        packet.fields.append({field.name(), Schema::ColumnType(field.name(), TypeFromMeta(field.metaType()))});
    }
    while (query.next()) {
        QList<QVariant> row;
        row.reserve(packet.fields.size());
        for (int i = 0; i < packet.fields.size(); ++i)
            row.append(NormalizeValue(query.value(i), packet.fields[i].type));
        packet.rows.append(std::move(row));
    }
    if (query.lastError().isValid())
        m_connection.RaiseError(ServerText(query.lastError()));
    return packet;
}

int TdmServerData::Execute(const TSqlStatement& statement)
{
    QSqlQuery query(m_connection.Database());
    Run(m_connection, query, statement);
    return query.numRowsAffected();
}

// --- entries, files, categories ---------------------------------------------

DataPackets TdmServerData::GetEntry(int code, const QString& blobFolder)
{
    // The row, its archive (read in several statements) and its file rows
    // all come from one state of the database.
    m_connection.BeginReadTransaction();
    try {
        DataPackets packets{ReadRowsWithBlobs(*Schema::FindTable(QStringLiteral("entries")),
                                              QStringLiteral("entries.code = ?"), {code}, blobFolder),
                            RunQuery({QStringLiteral("select * from entryfiles\r\nwhere entry = ?"), {code}})};
        m_connection.Commit();
        return packets;
    } catch (...) {
        m_connection.Rollback();
        throw;
    }
}

int TdmServerData::CountEntries()
{
    const DataPacket p = RunQuery({QStringLiteral("select count(code) as Entrycount from entries"), {}});
    return p.IsEmpty() ? 0 : p.Value(0, QStringLiteral("Entrycount")).toInt();
}

DataPackets TdmServerData::GetCategories()
{
    return {RunQuery({QStringLiteral("select categories.*, \r\n"
                                     "(select count(entries.category) from entries where entries.category = categories.code) as Occurences\r\n"
                                     "from categories "),
                      {}})};
}

bool TdmServerData::CategoryHasEntries(int category)
{
    const DataPacket p =
        RunQuery({QStringLiteral("select count(code) as Entrycount from entries where category = ?"), {category}});
    return !p.IsEmpty() && p.Value(0, QStringLiteral("Entrycount")).toInt() > 0;
}

bool TdmServerData::DeleteEntries(const QString& codes)
{
    try {
        Execute({QStringLiteral("delete from entries where code in (%1)").arg(CheckedCodeList(codes)), {}});
        return true;
    } catch (const ETessarynError&) {
        return false;
    }
}

void TdmServerData::MoveEntriesToCategory(const QString& codes, int category)
{
    const QString list = CheckedCodeList(codes);
    // One transaction: the target is locked before any entry points at it,
    // so either every entry moves into a category that stays, or none moves.
    m_connection.BeginTransaction();
    try {
        if (category != 0)   // 0, like null, files the entries under no category
            LockCategory(category, kMoveTargetGone);
        Execute({QStringLiteral("update entries set category = ? where code in (%1)").arg(list), {category}});
        m_connection.Commit();
    } catch (...) {
        m_connection.Rollback();
        throw;
    }
}

void TdmServerData::LockCategory(qint64 category, const QString& missingMessage)
{
    // Without a transaction the lock would end with the statement and guard nothing.
    Q_ASSERT(m_connection.TransactionDepth() > 0);
    const QString lock = m_connection.Dialect().LockAgainstDeleteSql();
    const DataPacket found = RunQuery({QStringLiteral("select code from categories where code = ?") + lock, {category}});
    if (found.IsEmpty())
        throw EDatabaseError(missingMessage);
}

void TdmServerData::LockCategoriesFiledBy(const Delta& entries)
{
    const int column = FindFieldIndex(entries.fields, QStringLiteral("category"));
    if (column < 0)
        return;
    // Only rows that set a category need it to exist: a modification of other
    // columns leaves whatever category the entry had alone.
    QList<qint64> targets;
    for (const TDeltaRow& row : entries.rows) {
        if (row.kind == TChangeKind::Delete || !row.assigned.value(column))
            continue;
        const QVariant value = row.newValues.value(column);
        if (value.isNull() || value.toLongLong() == 0)
            continue;
        targets << value.toLongLong();
    }
    // Always locked in ascending order, so two writers filing into the same
    // categories queue up instead of deadlocking.
    std::sort(targets.begin(), targets.end());
    targets.erase(std::unique(targets.begin(), targets.end()), targets.end());
    for (const qint64 category : std::as_const(targets))
        LockCategory(category, kEntryCategoryGone);
}

void TdmServerData::CheckDeletedCategoriesUnused(const Delta& categories)
{
    const int codeColumn = FindFieldIndex(categories.fields, QStringLiteral("code"));
    const int nameColumn = FindFieldIndex(categories.fields, QStringLiteral("name"));
    if (codeColumn < 0)
        return;   // every category record set of the program carries the code
    // Runs after the whole delta, so a subtree deleted together is no
    // obstacle to itself. The delete has locked the rows: a writer filing
    // into one of them now waits for this transaction, and one that got in
    // first has committed its entry, which this statement sees.
    for (const TDeltaRow& row : categories.rows) {
        if (row.kind != TChangeKind::Delete)
            continue;
        const QVariant code = row.oldValues.value(codeColumn);
        if (code.isNull())
            continue;
        const DataPacket used = RunQuery(
            {QStringLiteral("select 1 as used where exists (select 1 from entries where category = ?)\r\n"
                            "or exists (select 1 from categories where parent = ?)"),
             {code.toLongLong(), code.toLongLong()}});
        if (!used.IsEmpty()) {
            const QString name = nameColumn >= 0 ? row.oldValues.value(nameColumn).toString() : code.toString();
            throw EDatabaseError(kDeletedCategoryInUse.arg(name));
        }
    }
}

// --- bookmark sets, books, settings, MRU lists, templates, charsets ---------

DataPackets TdmServerData::GetBookmarkSets()
{
    return {RunQuery({QStringLiteral("select *\r\nfrom bookmarkSets"), {}})};
}

DataPackets TdmServerData::GetBookmarkSet(int code)
{
    return {RunQuery({QStringLiteral("select *\r\nfrom bookmarkSets where code = ?"), {code}}),
            RunQuery({QStringLiteral("select *\r\nfrom bookmarks where bookmarkset = ?"), {code}})};
}

DataPackets TdmServerData::GetBooks()
{
    return {RunQuery({QStringLiteral("select *\r\nfrom books"), {}})};
}

DataPackets TdmServerData::GetSettings(const QString& user, const QString& computer)
{
    // The user part and the computer part are joined by "or": every row of the
    // user or of all users, and every row of this computer or of all computers.
    return {RunQuery({QStringLiteral("select * from settings \r\n"
                                     "where (lower(settings._user) = 'all') or (lower(settings._user) = lower(?))\r\n"
                                     "or (lower(settings.computer) = 'all') or (lower(settings.computer) = lower(?))\r\n"
                                     "order by settings._user, settings.computer, settings._key"),
                      {user, computer}})};
}

DataPackets TdmServerData::GetCharsets()
{
    return {RunQuery({QStringLiteral("select usercode, name from charsets order by name"), {}})};
}

DataPackets TdmServerData::GetTemplate(const QString& id)
{
    return {RunQuery({QStringLiteral("select text from templates where lower(id) = lower(?)"), {id}})};
}

void TdmServerData::AddMRUListItem(int userCode, int listCode, const QString& text)
{
    // Adds the text only when the list does not hold it yet, compared without
    // regard to case, so a list never holds a text twice.
    Execute({QStringLiteral("insert into MRUListItems\r\n"
                            "   (aUser, MRUList, Text)\r\n"
                            "select cast(? as integer), cast(? as integer), cast(? as text)\r\n"
                            "where not exists (select Text from MRUListItems where (MRUList = ?) and (lower(Text) = lower(?)))"),
             {userCode, listCode, text, listCode, text}});
}

// --- identifiers ------------------------------------------------------------

int TdmServerData::ReserveNextRecIDs(const QString& tableName, int count)
{
    if (count < 1)
        throw EDatabaseError(QStringLiteral("Cannot reserve %1 identifiers").arg(count));
    const auto call = m_connection.Dialect().ReserveIdentifiers(tableName, count);
    const bool ownTransaction = m_connection.TransactionDepth() == 0
                                && m_connection.Engine() == TConnectionInfo::TEngine::SQLite;
    if (ownTransaction)
        m_connection.BeginTransaction();
    try {
        QSqlQuery query(m_connection.Database());
        Run(m_connection, query, {call.sql, call.params});
        if (!query.next())
            throw EDatabaseError(QStringLiteral("Unknown table name for identifiers: %1").arg(tableName));
        bool ok = false;
        const int value = query.value(0).toInt(&ok);
        if (!ok)
            throw EDatabaseError(QStringLiteral("The identifier procedure returned no number for %1").arg(tableName));
        query.finish();
        if (ownTransaction)
            m_connection.Commit();
        return call.returnsLast ? value - count + 1 : value;
    } catch (...) {
        if (ownTransaction)
            m_connection.Rollback();
        throw;
    }
}

// --- writes -----------------------------------------------------------------

void TdmServerData::ApplyInTransaction(const QList<QPair<QString, std::optional<Delta>>>& deltas)
{
    m_connection.BeginTransaction();
    try {
        for (const auto& [table, delta] : deltas) {
            if (!delta)
                continue;
            if (IsTable(table, QStringLiteral("entries")))
                LockCategoriesFiledBy(*delta);
            ApplyDelta(table, *delta);
            if (IsTable(table, QStringLiteral("categories")))
                CheckDeletedCategoriesUnused(*delta);
        }
        m_connection.Commit();
    } catch (...) {
        m_connection.Rollback();
        throw;
    }
}

void TdmServerData::CheckOneRow(int affected)
{
    if (affected == 0)
        throw EDatabaseError(kRecordNotFound);
    if (affected > 1)
        throw EDatabaseError(kMoreThanOne);
}

void TdmServerData::ApplyDelta(const QString& tableName, const Delta& delta)
{
    const TTableDef* table = Schema::FindTable(tableName);
    if (!table)
        throw EDatabaseError(QStringLiteral("Unknown table %1").arg(tableName));
    const TEngineDialect& dialect = m_connection.Dialect();

    // Columns of the delta that the table has; computed columns are left out.
    struct TColumn {
        int deltaIndex;
        const TColumnDef* def;
    };
    QList<TColumn> columns;
    for (int i = 0; i < delta.fields.size(); ++i)
        if (const TColumnDef* def = table->Column(delta.fields[i].name))
            columns.append({i, def});

    const auto whereClause = [&](const TDeltaRow& row, QVariantList& params) {
        QStringList parts;
        for (const auto& c : columns) {
            if (!c.def->TakesPartInMatching())
                continue;
            const QVariant old = row.oldValues.value(c.deltaIndex);
            if (old.isNull()) {
                parts << c.def->name + QStringLiteral(" is null");
            } else {
                parts << c.def->name + QStringLiteral(" = ?");
                params << dialect.ValueParam(old, c.def->type);
            }
        }
        return parts.join(QStringLiteral(" and "));
    };

    // Binary values are never bound with the rest of a row: they are
    // streamed into the row after it was written (see WriteBlob).
    const auto isStreamed = [](const TColumnDef& def, const QVariant& value) {
        return def.type == TFieldType::Blob && !value.isNull();
    };
    const TColumnDef* keyColumn = nullptr;
    int keyIndex = -1;
    for (const auto& c : columns)
        if (c.def->primaryKey) {
            keyColumn = c.def;
            keyIndex = c.deltaIndex;
        }
    const auto rowKey = [&](const TDeltaRow& row) -> QVariant {
        if (!keyColumn)
            throw EDatabaseError(QStringLiteral("The table %1 has no key to write a binary value by").arg(table->name));
        return row.kind == TChangeKind::Insert || row.assigned.value(keyIndex) ? row.newValues.value(keyIndex)
                                                                               : row.oldValues.value(keyIndex);
    };
    const auto keyWhere = [&](const QVariant& key, QVariantList& params) -> QString {
        params << dialect.ValueParam(key, keyColumn->type);
        return keyColumn->name + QStringLiteral(" = ?");
    };

    // Where every statement is a round trip to a server, changed rows are
    // written many to a statement (one per row made reordering a set of ten
    // thousand bookmarks take seconds): the table is joined with a list of
    // the rows' keys, old values and new values. Each row must still be found
    // by its old values, or the statement reports fewer rows and nothing of
    // the delta is kept, as for one row. Rows go together when they change
    // the same columns and hold no null among the values they are found by.
    const auto shape = [&](const TDeltaRow& row) -> QString {
        if (row.kind != TChangeKind::Modify || !keyColumn || row.assigned.value(keyIndex))
            return {};
        QString assigned;
        for (const auto& c : columns) {
            const bool changed = !c.def->identity && row.assigned.value(c.deltaIndex);
            if (changed && isStreamed(*c.def, row.newValues.value(c.deltaIndex)))
                return {};
            if (c.def->TakesPartInMatching() && row.oldValues.value(c.deltaIndex).isNull())
                return {};
            assigned += changed ? QLatin1Char('1') : QLatin1Char('0');
        }
        return assigned.contains(QLatin1Char('1')) ? assigned : QString();
    };
    const qsizetype rowsPerStatement = dialect.RowsPerUpdate();
    const auto applyJoined = [&](qsizetype first, qsizetype count) {
        // v.column1 is the key; then the new values, then the old ones.
        const TDeltaRow& model = delta.rows[first];
        QList<const TColumn*> changed, matched;
        for (const auto& c : columns) {
            if (!c.def->identity && model.assigned.value(c.deltaIndex))
                changed << &c;
            if (c.def->TakesPartInMatching())
                matched << &c;
        }
        // A bound value in a list has no column to take its type from: the
        // first row names the types, the others follow it.
        const auto typed = [&](TFieldType type) {
            return QStringLiteral("cast(? as %1)").arg(dialect.TypeName(type));
        };
        QStringList marks{typed(keyColumn->type)};
        for (const TColumn* c : std::as_const(changed))
            marks << typed(c->def->type);
        for (const TColumn* c : std::as_const(matched))
            marks << typed(c->def->type);
        const QString firstMarks = QLatin1Char('(') + marks.join(QStringLiteral(", ")) + QLatin1Char(')');
        const QString rowMarks = QLatin1Char('(') + QStringList(marks.size(), QStringLiteral("?")).join(QStringLiteral(", "))
                                 + QLatin1Char(')');
        TSqlStatement statement;
        QStringList rows;
        for (qsizetype i = first; i < first + count; ++i) {
            const TDeltaRow& row = delta.rows[i];
            rows << (i == first ? firstMarks : rowMarks);
            statement.params << dialect.ValueParam(row.oldValues.value(keyIndex), keyColumn->type);
            for (const TColumn* c : std::as_const(changed))
                statement.params << dialect.ValueParam(row.newValues.value(c->deltaIndex), c->def->type);
            for (const TColumn* c : std::as_const(matched))
                statement.params << dialect.ValueParam(row.oldValues.value(c->deltaIndex), c->def->type);
        }
        int column = 1;
        QStringList sets, conditions{QStringLiteral("%1.%2 = v.column1").arg(table->name, keyColumn->name)};
        for (const TColumn* c : std::as_const(changed))
            sets << QStringLiteral("%1 = v.column%2").arg(c->def->name).arg(++column);
        for (const TColumn* c : std::as_const(matched))
            conditions << QStringLiteral("%1.%2 = v.column%3").arg(table->name, c->def->name).arg(++column);
        statement.text = QStringLiteral("update %1 set %2 from (values %3) as v where %4")
                             .arg(table->name, sets.join(QStringLiteral(", ")), rows.join(QStringLiteral(", ")),
                                  conditions.join(QStringLiteral(" and ")));
        const int affected = Execute(statement);
        if (affected < count)
            throw EDatabaseError(kRecordNotFound);
        if (affected > count)
            throw EDatabaseError(kMoreThanOne);
    };

    // The rows of a delta mostly take the same statement: each text is
    // prepared once and run with every row's values.
    QHash<QString, std::shared_ptr<QSqlQuery>> prepared;
    const auto execute = [&](const TSqlStatement& statement) {
        std::shared_ptr<QSqlQuery>& query = prepared[statement.text];
        if (!query) {
            query = std::make_shared<QSqlQuery>(m_connection.Database());
            if (!query->prepare(statement.text))
                m_connection.RaiseError(ServerText(query->lastError()));
        }
        for (qsizetype i = 0; i < statement.params.size(); ++i)
            query->bindValue(int(i), Storable(statement.params[i]));
        if (!query->exec())
            m_connection.RaiseError(ServerText(query->lastError()));
        return query->numRowsAffected();
    };

    for (qsizetype next = 0; next < delta.rows.size(); ++next) {
        if (rowsPerStatement > 1) {
            const QString first = shape(delta.rows[next]);
            qsizetype run = first.isEmpty() ? 0 : 1;
            while (run > 0 && run < rowsPerStatement && next + run < delta.rows.size()
                   && shape(delta.rows[next + run]) == first)
                ++run;
            if (run > 1) {
                applyJoined(next, run);
                next += run - 1;
                continue;
            }
        }
        const TDeltaRow& row = delta.rows[next];
        TSqlStatement statement;
        QList<const TColumn*> streamed;
        switch (row.kind) {
        case TChangeKind::Insert: {
            QStringList names, marks;
            for (const auto& c : columns) {
                if (c.def->identity || !row.assigned.value(c.deltaIndex))
                    continue;
                if (isStreamed(*c.def, row.newValues.value(c.deltaIndex))) {
                    streamed << &c;
                    continue;
                }
                names << c.def->name;
                marks << QStringLiteral("?");
                statement.params << dialect.ValueParam(row.newValues.value(c.deltaIndex), c.def->type);
            }
            statement.text = names.isEmpty()
                                 ? QStringLiteral("insert into %1 default values").arg(table->name)
                                 : QStringLiteral("insert into %1 (%2) values (%3)")
                                       .arg(table->name, names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
            execute(statement);
            for (const TColumn* c : std::as_const(streamed)) {
                QVariantList params;
                const QVariant key = rowKey(row);
                const QString where = keyWhere(key, params);
                WriteBlob(*table, *c->def, key, where, params, row.newValues.value(c->deltaIndex));
            }
            continue;
        }
        case TChangeKind::Modify: {
            QStringList sets;
            for (const auto& c : columns) {
                if (c.def->identity || !row.assigned.value(c.deltaIndex))
                    continue;
                if (isStreamed(*c.def, row.newValues.value(c.deltaIndex))) {
                    streamed << &c;
                    continue;
                }
                sets << c.def->name + QStringLiteral(" = ?");
                statement.params << dialect.ValueParam(row.newValues.value(c.deltaIndex), c.def->type);
            }
            if (sets.isEmpty() && streamed.isEmpty())
                continue;
            // The row is found by its old values once: by the other columns'
            // statement when there is one, else by the first binary value's.
            bool matched = false;
            if (!sets.isEmpty()) {
                const QString where = whereClause(row, statement.params);
                statement.text = QStringLiteral("update %1 set %2").arg(table->name, sets.join(QStringLiteral(", ")));
                if (!where.isEmpty())
                    statement.text += QStringLiteral(" where ") + where;
                CheckOneRow(execute(statement));
                matched = true;
            }
            for (const TColumn* c : std::as_const(streamed)) {
                QVariantList params;
                const QVariant key = rowKey(row);
                QString where = matched ? keyWhere(key, params) : whereClause(row, params);
                if (where.isEmpty())
                    where = keyWhere(key, params);
                WriteBlob(*table, *c->def, key, where, params, row.newValues.value(c->deltaIndex));
                matched = true;
            }
            continue;
        }
        case TChangeKind::Delete: {
            const QString where = whereClause(row, statement.params);
            statement.text = QStringLiteral("delete from %1").arg(table->name);
            if (!where.isEmpty())
                statement.text += QStringLiteral(" where ") + where;
            break;
        }
        }
        CheckOneRow(execute(statement));
    }
}

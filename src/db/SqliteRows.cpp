#include "db/SqliteRows.h"

#include "app/Errors.h"
#include "db/Schema.h"

#include <QSqlDatabase>
#include <QSqlDriver>

#include <sqlite3.h>

namespace {

sqlite3* SqliteHandle(QSqlDatabase& db)
{
    const QVariant v = db.driver() ? db.driver()->handle() : QVariant();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(v.data());
}

class TStatement {
public:
    TStatement(sqlite3* db, const QString& text) : m_db(db)
    {
        const QByteArray sql = text.toUtf8();
        const char* tail = nullptr;
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &m_stmt, &tail) != SQLITE_OK)
            Fail();
        if (!m_stmt)   // only blanks or comments
            throw EDatabaseError(QStringLiteral("Unable to execute statement: it is empty"));
        // The driver runs one statement; a second one after it is refused
        // rather than silently left out.
        while (tail && *tail && (*tail == ' ' || *tail == '\t' || *tail == '\r' || *tail == '\n' || *tail == ';'))
            ++tail;
        if (tail && *tail)
            throw EDatabaseError(QStringLiteral("Unable to execute multiple statements at a time"));
    }
    ~TStatement() { sqlite3_finalize(m_stmt); }
    TStatement(const TStatement&) = delete;
    TStatement& operator=(const TStatement&) = delete;

    sqlite3_stmt* Get() const { return m_stmt; }
    [[noreturn]] void Fail() const { throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(m_db))); }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

// Whether every parameter is of a kind bound here as the driver binds it.
bool Bindable(const QVariantList& params)
{
    for (const QVariant& value : params) {
        switch (value.typeId()) {
        case QMetaType::UnknownType:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
        case QMetaType::Bool:
        case QMetaType::Double:
        case QMetaType::Float:
        case QMetaType::QString:
        case QMetaType::QByteArray:
            break;
        default:
            return false;
        }
    }
    return true;
}

void Bind(const TStatement& statement, const QVariantList& params)
{
    sqlite3_stmt* stmt = statement.Get();
    for (int i = 0; i < params.size(); ++i) {
        const QVariant& value = params.at(i);
        const int at = i + 1;
        int rc = SQLITE_OK;
        switch (value.typeId()) {
        case QMetaType::QString: {
            const QString text = value.toString();
            if (text.isNull()) {
                rc = sqlite3_bind_null(stmt, at);
            } else {
                const QByteArray utf8 = text.toUtf8();
                rc = sqlite3_bind_text(stmt, at, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
            }
            break;
        }
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            rc = bytes.isNull() ? sqlite3_bind_null(stmt, at)
                                : sqlite3_bind_blob(stmt, at, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
            break;
        }
        case QMetaType::Double:
        case QMetaType::Float:
            rc = value.isNull() ? sqlite3_bind_null(stmt, at) : sqlite3_bind_double(stmt, at, value.toDouble());
            break;
        case QMetaType::UnknownType:
            rc = sqlite3_bind_null(stmt, at);
            break;
        default:   // the integer kinds and booleans
            rc = value.isNull() ? sqlite3_bind_null(stmt, at) : sqlite3_bind_int64(stmt, at, value.toLongLong());
            break;
        }
        if (rc != SQLITE_OK)
            statement.Fail();
    }
}

// The type the driver gives a column: by its declared type where it has one,
// else by the kind of the first row's value.
TFieldType DriverType(sqlite3_stmt* stmt, int column, bool hasRow)
{
    const char* declared = sqlite3_column_decltype(stmt, column);
    if (declared && *declared) {
        const QString name = QString::fromUtf8(declared).toLower();
        if (name == QLatin1String("integer") || name == QLatin1String("int"))
            return TFieldType::Integer;
        if (name == QLatin1String("double") || name == QLatin1String("float") || name == QLatin1String("real")
            || name.startsWith(QLatin1String("numeric")))
            return TFieldType::Float;
        if (name == QLatin1String("blob"))
            return TFieldType::Blob;
        if (name == QLatin1String("boolean") || name == QLatin1String("bool"))
            return TFieldType::Boolean;
        return TFieldType::Text;
    }
    switch (hasRow ? sqlite3_column_type(stmt, column) : SQLITE_NULL) {
    case SQLITE_INTEGER:
        return TFieldType::Integer;
    case SQLITE_FLOAT:
        return TFieldType::Float;
    case SQLITE_BLOB:
        return TFieldType::Blob;
    default:
        return TFieldType::Text;
    }
}

QString Text(sqlite3_stmt* stmt, int column)
{
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
    return QString::fromUtf8(text, sqlite3_column_bytes(stmt, column));
}

// One value as NormalizeValue makes it of the value the driver would give.
QVariant Value(sqlite3_stmt* stmt, int column, TFieldType type)
{
    switch (sqlite3_column_type(stmt, column)) {
    case SQLITE_NULL:
        return QVariant();
    case SQLITE_INTEGER: {
        const qint64 v = sqlite3_column_int64(stmt, column);
        if (type == TFieldType::Integer)
            return int(v) == v ? QVariant(int(v)) : QVariant(qlonglong(v));
        return NormalizeValue(QVariant(qlonglong(v)), type);
    }
    case SQLITE_FLOAT:
        return NormalizeValue(QVariant(sqlite3_column_double(stmt, column)), type);
    case SQLITE_BLOB: {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(stmt, column));
        return NormalizeValue(QVariant(QByteArray(data, sqlite3_column_bytes(stmt, column))), type);
    }
    default:
        if (type == TFieldType::Text || type == TFieldType::LongText)
            return QVariant(Text(stmt, column));
        return NormalizeValue(QVariant(Text(stmt, column)), type);
    }
}

} // namespace

std::optional<DataPacket> ReadSqliteRows(QSqlDatabase& db, const TSqlStatement& statement)
{
    sqlite3* handle = SqliteHandle(db);
    if (!handle || !Bindable(statement.params))
        return std::nullopt;
    const TStatement prepared(handle, statement.text);
    sqlite3_stmt* stmt = prepared.Get();
    Bind(prepared, statement.params);

    DataPacket packet;
    const int columns = sqlite3_column_count(stmt);
    int rc = sqlite3_step(stmt);
    for (int i = 0; i < columns; ++i) {
        const QString name = QString::fromUtf8(sqlite3_column_name(stmt, i));
        packet.fields.append({name, Schema::ColumnType(name, DriverType(stmt, i, rc == SQLITE_ROW))});
    }
    for (; rc == SQLITE_ROW; rc = sqlite3_step(stmt)) {
        QList<QVariant> row;
        row.reserve(columns);
        for (int i = 0; i < columns; ++i)
            row.append(Value(stmt, i, packet.fields[i].type));
        packet.rows.append(std::move(row));
    }
    if (rc != SQLITE_DONE)
        prepared.Fail();
    return packet;
}

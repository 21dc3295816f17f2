// The server-side module's binary values: an entry's archive may be as large
// as the database allows one value to be (about 1 GB), so it never travels as
// one piece. Each engine gets its own way of streaming it:
//
// - SQLite: the row gets a value of zeroes of the right size (zeroblob, which
//   takes no memory), and the bytes are written into it, and read out of it,
//   a megabyte at a time with the incremental blob functions on the
//   connection's own sqlite3 handle.
// - PostgreSQL: Qt's driver writes bound values into the statement's text as
//   escaped literals (a 600 MB archive took 9 GB and broke the connection),
//   so libpq is used directly on the driver's PGconn. The value goes to the
//   server as binary COPY data into a temporary table, in pieces, and from
//   there into the row by one statement; it comes back in binary pieces of
//   substring(), all inside one repeatable-read transaction.

#include "app/Errors.h"
#include "db/BlobFile.h"
#include "db/EngineDialect.h"
#include "db/NativeHandle.h"
#include "db/dServerData.h"

#include <QSqlDriver>
#include <QtEndian>

#include <libpq-fe.h>
#include <sqlite3.h>

#include <algorithm>
#include <initializer_list>
#include <memory>

namespace {

// Pieces small enough that the buffers of a piece (ours and libpq's, which
// keeps a whole message or result) stay a few megabytes, large enough that a
// gigabyte takes some hundreds of round trips.
constexpr int kSqliteChunk = 1 << 20;
constexpr qint64 kCopyPiece = 1 << 20;
constexpr qint64 kReadPiece = 2 << 20;
const QString kUploadTable = QStringLiteral("tessaryn_upload");

struct TResultClear {
    void operator()(PGresult* result) const { PQclear(result); }
};
using TResult = std::unique_ptr<PGresult, TResultClear>;

QString PgText(PGconn* connection)
{
    return QString::fromUtf8(PQerrorMessage(connection)).trimmed();
}

// The bytes of a binary value, from memory or from its file, a piece at a time.
class TBlobSource {
public:
    explicit TBlobSource(const QVariant& value)
        : m_file(TBlobFile::Holds(value) ? value.value<TBlobFile>() : TBlobFile()),
          m_bytes(m_file.IsValid() ? QByteArray() : value.toByteArray())
    {
    }

    qint64 Size() const { return m_file.IsValid() ? m_file.Size() : m_bytes.size(); }

    // Calls take(data, length) for consecutive pieces of at most chunk bytes.
    template <typename F>
    void ForEachPiece(qint64 chunk, F take) const
    {
        if (!m_file.IsValid()) {
            for (qint64 offset = 0; offset < m_bytes.size(); offset += chunk)
                take(m_bytes.constData() + offset, std::min(chunk, m_bytes.size() - offset));
            return;
        }
        QByteArray buffer(chunk, Qt::Uninitialized);
        for (qint64 offset = 0; offset < m_file.Size();) {
            const qint64 read = m_file.ReadAt(offset, buffer.data(), chunk);
            if (read <= 0)
                throw ETessarynError(QStringLiteral("The value to store ended before its size."));
            take(buffer.constData(), read);
            offset += read;
        }
    }

private:
    TBlobFile m_file;
    QByteArray m_bytes;
};

// The blob handle of one SQLite row and column, closed on every way out.
class TSqliteBlob {
public:
    TSqliteBlob(sqlite3* db, const TTableDef& table, const TColumnDef& column, qint64 rowid, bool write) : m_db(db)
    {
        if (sqlite3_blob_open(db, "main", table.name.toUtf8().constData(), column.name.toUtf8().constData(), rowid,
                              write ? 1 : 0, &m_blob)
            != SQLITE_OK)
            Fail();
    }
    ~TSqliteBlob() { sqlite3_blob_close(m_blob); }
    TSqliteBlob(const TSqliteBlob&) = delete;
    TSqliteBlob& operator=(const TSqliteBlob&) = delete;

    qint64 Bytes() const { return sqlite3_blob_bytes(m_blob); }
    void Write(const char* data, int length, int offset)
    {
        if (sqlite3_blob_write(m_blob, data, length, offset) != SQLITE_OK)
            Fail();
    }
    void Read(char* data, int length, int offset)
    {
        if (sqlite3_blob_read(m_blob, data, length, offset) != SQLITE_OK)
            Fail();
    }

private:
    [[noreturn]] void Fail() const { throw EDatabaseError(QString::fromUtf8(sqlite3_errmsg(m_db))); }

    sqlite3* m_db;
    sqlite3_blob* m_blob = nullptr;
};

// Binary COPY of one row of one bytea column into the upload table.
void CopyIntoUploadTable(TdmConnection& connection, const TBlobSource& source)
{
    PGconn* pg = NativeHandle<PGconn*>(connection, {"pg_conn*", "PGconn*"});
    const QByteArray copy = QStringLiteral("copy %1 (data) from stdin (format binary)").arg(kUploadTable).toUtf8();
    {
        const TResult started(PQexec(pg, copy.constData()));
        if (PQresultStatus(started.get()) != PGRES_COPY_IN)
            connection.RaiseError(PgText(pg));
    }
    const auto put = [&](const char* data, qint64 length) {
        if (PQputCopyData(pg, data, int(length)) != 1)
            connection.RaiseError(PgText(pg));
    };
    // Signature, flags, header extension; one tuple of one field; trailer.
    QByteArray header("PGCOPY\n\377\r\n\0", 11);
    header.append(8, '\0');
    char tuple[6];
    qToBigEndian<qint16>(1, tuple);
    qToBigEndian<qint32>(qint32(source.Size()), tuple + 2);
    header.append(tuple, sizeof tuple);
    put(header.constData(), header.size());
    QString failure;
    try {
        source.ForEachPiece(kCopyPiece, put);
    } catch (const ETessarynError& e) {
        failure = e.Message();
    }
    if (failure.isEmpty()) {
        char trailer[2];
        qToBigEndian<qint16>(-1, trailer);
        put(trailer, sizeof trailer);
    }
    // An abandoned copy ends with the reason, and the server drops the rows.
    if (PQputCopyEnd(pg, failure.isEmpty() ? nullptr : failure.toUtf8().constData()) != 1)
        connection.RaiseError(PgText(pg));
    QString error;
    while (PGresult* raw = PQgetResult(pg)) {
        const TResult result(raw);
        if (PQresultStatus(result.get()) != PGRES_COMMAND_OK && error.isEmpty())
            error = QString::fromUtf8(PQresultErrorMessage(result.get())).trimmed();
    }
    if (!failure.isEmpty())
        throw EDatabaseError(failure);
    if (!error.isEmpty())
        connection.RaiseError(error);
}

} // namespace

DataPacket TdmServerData::ReadRowsWithBlobs(const TTableDef& table, const QString& where, const QVariantList& params,
                                            const QString& blobFolder)
{
    // The binary columns come back as their sizes first (no value is read
    // for that); the values follow, streamed into files.
    static const QString kSizeSuffix = QStringLiteral("_octets");
    QStringList select;
    const TColumnDef* key = nullptr;
    for (const TColumnDef& column : table.columns) {
        if (column.primaryKey)
            key = &column;
        select << (column.type == TFieldType::Blob ? QStringLiteral("%1 as %2%3").arg(
                                                         m_connection.Dialect().BlobLengthExpression(column.name),
                                                         column.name, kSizeSuffix)
                                                   : column.name);
    }
    DataPacket packet = RunQuery(
        {QStringLiteral("select %1 from %2 \r\nwhere %3").arg(select.join(QStringLiteral(", ")), table.name, where),
         params});
    const int keyIndex = key ? packet.FieldIndex(key->name) : -1;
    for (qsizetype i = 0; i < table.columns.size() && i < packet.fields.size(); ++i) {
        const TColumnDef& column = table.columns.at(i);
        if (column.type != TFieldType::Blob)
            continue;
        TFieldDef& field = packet.fields[i];
        // The name the column itself has in this engine's results.
        field.name.chop(kSizeSuffix.size());
        field.type = TFieldType::Blob;
        for (QList<QVariant>& row : packet.rows) {
            QVariant& value = row[i];
            if (value.isNull())
                continue;
            if (keyIndex < 0)
                throw EDatabaseError(QStringLiteral("The table %1 has no key to read a binary value by").arg(table.name));
            value = ReadBlob(table, column, row.at(keyIndex), value.toLongLong(), blobFolder);
        }
    }
    return packet;
}

QVariant TdmServerData::ReadBlob(const TTableDef& table, const TColumnDef& column, const QVariant& key, qint64 size,
                                 const QString& blobFolder)
{
    TBlobFile blob = TBlobFile::CreateSpool(blobFolder);
    if (m_connection.Engine() == TConnectionInfo::TEngine::SQLite) {
        TSqliteBlob source(NativeHandle<sqlite3*>(m_connection, {"sqlite3*"}), table, column, key.toLongLong(), false);
        if (source.Bytes() != size)
            throw EDatabaseError(QStringLiteral("The stored value changed while it was read."));
        QByteArray buffer(kSqliteChunk, Qt::Uninitialized);
        for (qint64 offset = 0; offset < size; offset += kSqliteChunk) {
            const int length = int(std::min<qint64>(kSqliteChunk, size - offset));
            source.Read(buffer.data(), length, int(offset));
            blob.Append(buffer.constData(), length);
        }
        return QVariant::fromValue(blob);
    }

    PGconn* pg = NativeHandle<PGconn*>(m_connection, {"pg_conn*", "PGconn*"});
    QString keyName;
    for (const TColumnDef& c : table.columns)
        if (c.primaryKey)
            keyName = c.name;
    const QByteArray sql = QStringLiteral("select substring(%1 from $1 for $2) from %2 where %3 = $3")
                               .arg(column.name, table.name, keyName)
                               .toUtf8();
    const QByteArray keyText = key.toString().toUtf8();
    for (qint64 offset = 0; offset < size; offset += kReadPiece) {
        const QByteArray from = QByteArray::number(offset + 1);
        const QByteArray length = QByteArray::number(std::min(kReadPiece, size - offset));
        const char* values[] = {from.constData(), length.constData(), keyText.constData()};
        // Text parameters (plain numbers), a binary result: the bytes as they are.
        const TResult result(PQexecParams(pg, sql.constData(), 3, nullptr, values, nullptr, nullptr, 1));
        if (PQresultStatus(result.get()) != PGRES_TUPLES_OK)
            m_connection.RaiseError(PgText(pg));
        if (PQntuples(result.get()) != 1 || PQgetlength(result.get(), 0, 0) != length.toLongLong())
            throw EDatabaseError(QStringLiteral("The stored value changed while it was read."));
        blob.Append(PQgetvalue(result.get(), 0, 0), PQgetlength(result.get(), 0, 0));
    }
    return QVariant::fromValue(blob);
}

void TdmServerData::WriteBlob(const TTableDef& table, const TColumnDef& column, const QVariant& key,
                              const QString& where, const QVariantList& whereParams, const QVariant& value)
{
    const TBlobSource source(value);
    if (source.Size() > m_connection.MaxValueBytes())
        throw EDatabaseError(m_connection.ValueTooLargeText(source.Size()));
    // The value is written in several statements: one transaction holds them.
    m_connection.BeginTransaction();
    try {
        if (m_connection.Engine() == TConnectionInfo::TEngine::SQLite) {
            QVariantList params{source.Size()};
            params << whereParams;
            CheckOneRow(Execute({QStringLiteral("update %1 set %2 = zeroblob(?) where %3").arg(table.name, column.name, where),
                                 params}));
            TSqliteBlob target(NativeHandle<sqlite3*>(m_connection, {"sqlite3*"}), table, column, key.toLongLong(), true);
            qint64 offset = 0;
            source.ForEachPiece(kSqliteChunk, [&](const char* data, qint64 length) {
                target.Write(data, int(length), int(offset));
                offset += length;
            });
        } else {
            Execute({QStringLiteral("create temporary table %1 (data bytea) on commit drop").arg(kUploadTable), {}});
            CopyIntoUploadTable(m_connection, source);
            CheckOneRow(Execute({QStringLiteral("update %1 set %2 = (select data from %3) where %4")
                                     .arg(table.name, column.name, kUploadTable, where),
                                 whereParams}));
            Execute({QStringLiteral("drop table %1").arg(kUploadTable), {}});
        }
        m_connection.Commit();
    } catch (...) {
        m_connection.Rollback();
        throw;
    }
}

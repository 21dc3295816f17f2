#pragma once

#include "db/SchemaInventory.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

// Runs a PostgreSQL client program to its end, asking keepGoing while it
// runs (false kills it and raises EAbort); its error output becomes the
// message of a failure (failure's "%1").
void RunPostgresTool(const QString& program, const QStringList& arguments, const QString& failure,
                     const std::function<bool()>& keepGoing, QByteArray* output = nullptr);

// One entry of a dump's table of contents, as "pg_restore --list" shows it.
struct TDumpEntry {
    QString line;   // the whole line: a list file of such lines chooses what pg_restore reads
    QString key;    // the entry's kind, schema and tag, without its owner: "TABLE public entries"
    int id = 0;
};

// What pg_restore tells of a dump made by pg_dump's custom format, read as
// text and never sent to a server: pg_restore does not connect for this.
// Nothing a dump holds is ever run from here.
class TPostgresDump {
public:
    TPostgresDump(const QString& pgRestore, const QString& file, std::function<bool()> keepGoing);

    // The table of contents, in the dump's order.
    QList<TDumpEntry> Entries();

    // From the dump's definitions: the columns of each table (by lower-case
    // name) and the body of each function (by its entry's tag).
    struct TDefinitions {
        QMap<QString, QList<TSchemaColumn>> tables;
        QMap<QString, QString> functionBodies;
    };
    TDefinitions Definitions();

    // Receives a dump's rows: each table's rows as COPY text, in pieces, and
    // each sequence's value. Raising stops the reading.
    class IDataSink {
    public:
        virtual ~IDataSink() = default;
        virtual void Encoding(const QString& name) = 0;
        virtual void BeginCopy(const QString& schema, const QString& table, const QStringList& columns) = 0;
        virtual void CopyData(const char* data, qsizetype length) = 0;
        virtual void EndCopy() = 0;
        virtual void SetSequence(const QString& schema, const QString& sequence, qint64 value, bool called) = 0;
    };
    // Reads the rows of the given data entries, in the order given. Anything
    // but rows, sequence values and the settings pg_restore writes first
    // fails the reading (EDatabaseError), as does a dump that ends inside
    // a table's rows. progress(bytes read) is asked on the way.
    void ReadData(const QList<TDumpEntry>& entries, IDataSink& sink, const std::function<bool(qint64)>& progress);

private:
    QString m_pgRestore, m_file;
    std::function<bool()> m_keepGoing;
};

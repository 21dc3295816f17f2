#pragma once

#include <QString>
#include <QVariantList>
#include <functional>

class TdmConnection;

// Runs one statement of a schema change; throws EDatabaseError with the
// server's text and the statement.
void ExecSchemaStatement(TdmConnection& connection, const QString& sql, const QVariantList& params = {});
// Runs a schema change in one transaction: on any failure nothing of it
// stays. The connection then reads the schema's state again.
void ChangeSchemaInTransaction(TdmConnection& connection, const std::function<void()>& change);

// Brings a database made by an earlier version of the program up to the
// schema this version expects, and builds the substring index of the search
// again when the letters are folded differently now (a new Unicode version
// in Qt) than when it was built.
//
// The whole upgrade is one transaction: stopped half-way (cancelled, the
// program ended, the machine off), it leaves the database as it was, and a
// database without its index is searched by reading every row, with the
// same results.
class TSchemaUpgrade {
public:
    explicit TSchemaUpgrade(TdmConnection& connection);

    // The schema version recorded in the database; 0 when none is.
    int DatabaseVersion();
    // The upgrade has something to do.
    bool Needed();
    // Runs the upgrade. Progress is told the rows indexed so far out of
    // all of them; when it returns false the upgrade stops, nothing of it
    // stays, and EAbort is raised. Failures raise EDatabaseError.
    void Run();
    std::function<bool(qint64 done, qint64 total)> Progress;

    // Adds the substring index and records it, inside the caller's
    // transaction (the initializer's, or Run's).
    void AddSearchIndex();
    // Removes the substring index; the tables keep their rows.
    void DropSearchIndex();

    // The folding the index of a SQLite database was built with, as
    // recorded beside the schema version.
    static QString CurrentFolding();

private:
    QString InfoValue(const QString& name);
    void SetInfoValue(const QString& name, const QString& value);
    bool FoldingChanged();
    void Exec(const QString& sql, const QVariantList& params = {});
    void Report(qint64 done, qint64 total);

    TdmConnection& m_connection;
};

#pragma once

#include <QString>

// Which database the program talks to. The embedded engine is one SQLite file
// in the data folder; the shared server is PostgreSQL reached by a libpq
// connection string ("host=... port=... dbname=... user=..."). Passwords are
// never stored: libpq's own means (~/.pgpass, PGPASSWORD) supply them.
struct TConnectionInfo {
    enum class TEngine { SQLite, PostgreSQL };
    TEngine engine = TEngine::SQLite;
    QString sqlitePath;   // SQLite: the database file
    QString connInfo;     // PostgreSQL: the libpq connection string

    static TConnectionInfo Embedded(const QString& path) { return {TEngine::SQLite, path, {}}; }
    static TConnectionInfo Server(const QString& conninfo) { return {TEngine::PostgreSQL, {}, conninfo}; }
    QString Describe() const;
};

#pragma once

#include "app/Errors.h"
#include "db/dmConnection.h"

#include <QSqlDriver>
#include <QVariant>

#include <algorithm>
#include <initializer_list>

// The driver's own handle of the connection, for what Qt's SQL layer cannot
// do (SQLite's backup and blob functions, libpq's COPY). Qt names the
// PostgreSQL one by libpq's struct (pg_conn*), older versions by its typedef
// (PGconn*). Raises when the connection is not open.
template <typename T>
T NativeHandle(TdmConnection& connection, std::initializer_list<const char*> typeNames)
{
    const QVariant handle = connection.Database().driver()->handle();
    const bool known = handle.isValid() && std::any_of(typeNames.begin(), typeNames.end(), [&](const char* name) {
        return qstrcmp(handle.typeName(), name) == 0;
    });
    if (!known || !*static_cast<T const*>(handle.data()))
        throw EDatabaseError(QStringLiteral("The database connection is not open."));
    return *static_cast<T const*>(handle.data());
}

#include "db/ConnectionInfo.h"

QString TConnectionInfo::Describe() const
{
    return engine == TEngine::SQLite ? QStringLiteral("SQLite database %1").arg(sqlitePath)
                                     : QStringLiteral("PostgreSQL server (%1)").arg(connInfo);
}

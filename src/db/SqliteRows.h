#pragma once

#include "db/DataPacket.h"
#include "db/dmConnection.h"

#include <optional>

class QSqlDatabase;

// Reads the rows of a statement on an embedded connection straight from
// SQLite into a packet, with the same fields, types and values as reading it
// through QSqlQuery and normalising every value. Texts are taken as the
// UTF-8 SQLite stores and each value is made once; the driver would convert
// every text to UTF-16 inside SQLite, copy it into a row cache and hand out
// another copy. A listing of every entry reads millions of values.
//
// Returns nothing, and runs nothing, when the connection is not SQLite or a
// parameter is of a kind only the driver knows how to bind; the caller then
// reads through QSqlQuery. Throws EDatabaseError with SQLite's message when
// the statement fails.
std::optional<DataPacket> ReadSqliteRows(QSqlDatabase& db, const TSqlStatement& statement);

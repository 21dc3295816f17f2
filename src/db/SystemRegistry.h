#pragma once

#include "db/ConnectionInfo.h"

#include <QString>
#include <optional>

// The machine-level record kept outside the database: the "Database
// initialized" flag and the connection the initializer created. It lives in
// $XDG_CONFIG_HOME/MorvikSoftware/Tessaryn.ini, group
// SOFTWARE/MorvikSoftware/Tessaryn.
namespace SystemRegistry {

// A missing value, a value of another type or any read error count as false.
bool DatabaseInitialized();
void SetDatabaseInitialized(bool initialized);

// The recorded connection; the embedded database in the data folder when none is recorded.
TConnectionInfo RecordedConnection();
void RecordConnection(const TConnectionInfo& info);

// "the program's folder" for data: $TESSARYN_HOME when set, otherwise the
// per-user application data folder. Always ends with "/". Created on demand.
QString DataFolder();
// Default path of the embedded database.
QString DefaultDatabasePath();

} // namespace SystemRegistry

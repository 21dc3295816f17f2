#pragma once

#include "app/IDesktop.h"
#include "app/User.h"

#include <QList>
#include <QString>

class TdmConnection;

// Asks CanAccess entry by entry with the access kind, stopping at the first
// refusal, which shows its text (warning, OK unless told otherwise).
// Returns true when every entry was granted.
bool CheckAccess(TdmConnection& connection, IDesktop& desktop, const QList<int>& codes, int accessKind,
                 const QString& refusalText, IDesktop::TMsgKind kind = IDesktop::TMsgKind::Warning);

// The user's right to create entries, with its refusal text.
bool CheckCreateRight(const TUser& user, IDesktop& desktop);

// A database that can only be read refuses every change before it starts,
// saying why, instead of failing half way with the engine's error.
bool CheckWritable(TdmConnection& connection, IDesktop& desktop);
QString ReadOnlyDatabaseText();

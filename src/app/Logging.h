#pragma once

#include <QLoggingCategory>

// The program's diagnostics on standard error, one category per subsystem.
// Only warnings are on by default, and the program writes none in a normal
// run; the rest is turned on with QT_LOGGING_RULES, for example
//   QT_LOGGING_RULES="tessaryn.*.debug=true" tessaryn
//   QT_LOGGING_RULES="tessaryn.mail.debug=true" tessaryn   (the SMTP dialogue)
Q_DECLARE_LOGGING_CATEGORY(lcStartup)  // tessaryn.startup: start-up, ending, signals, the session
Q_DECLARE_LOGGING_CATEGORY(lcDatabase) // tessaryn.db: connections, upgrades, reconnecting
Q_DECLARE_LOGGING_CATEGORY(lcMail)     // tessaryn.mail: the SMTP transfer
Q_DECLARE_LOGGING_CATEGORY(lcWatch)    // tessaryn.watch: folder watching

#pragma once

class QSqlDatabase;

// Replaces SQLite's like(), lower() and upper() on one open connection with
// versions that fold every Unicode letter, not only A-Z, so that searches and
// case-insensitive comparisons behave the same as on the server engine.
// Also adds the function named kSqliteFoldFunction: its text argument with
// every letter folded the way like() folds it (NULL stays NULL).
// Throws EDatabaseError when the driver handle is not a SQLite connection.
inline constexpr const char* kSqliteFoldFunction = "tessaryn_fold";

void RegisterSqliteFunctions(QSqlDatabase& db);

// The matcher behind like(): SQL LIKE semantics ("%" any run, "_" one
// character, optional escape character), comparing simple case folds.
// Exposed for tests and the benchmark.
bool SqlLikeMatch(const char* pattern, int patternLen, const char* text, int textLen, char32_t escape = 0);

#ifndef VELMARO_STORE_DATABASE_H
#define VELMARO_STORE_DATABASE_H

#include <QString>

#include <functional>

// The local store "velmaro.db" on the default QSQLITE connection: opening it,
// creating a new file and bringing an older one up to the newest schema.
namespace Database
{

inline constexpr int schemaVersion = 9;
inline constexpr int busyTimeoutMs = 250;

struct OpenResult {
    bool ok = false;
    bool existed = false; // the file was there before it was opened
    QString error;        // why opening failed (diagnostics only)
};

// Creates the folder when missing, adds the default "QSQLITE" connection for
// path and opens it. Before anything is written it checks with a read that
// the file is an SQLite database and that folder and file are writable. On
// failure the connection is removed again and an existing file is untouched.
OpenResult open(const QString &path);

// Closes and removes the default connection.
void close();

// Called with each statement's text just before it runs. Returning false
// aborts the whole creation or migration, which is then rolled back. Tests
// use it to interrupt the work half-way.
using StatementHook = std::function<bool(const QString &sql)>;

enum class SchemaResult {
    Created,  // a new file got the full schema and seed rows
    Migrated, // an older file was brought up to schemaVersion
    Current,  // nothing to do (the newest version or above)
    Failed,   // rolled back: the file is as it was before
};

// Creates the schema (existed == false, or a file without any table) or
// migrates it, showing the information boxes of each step. All of it runs in
// one transaction. A statement that fails at the SQL level (typically because
// its change is already there, e.g. a column that exists) is skipped and the
// rest runs; a failing write (read-only, disk full, I/O) or an abort through
// the hook rolls everything back.
SchemaResult ensureSchema(bool existed, const StatementHook &beforeStatement = {});

// Indexes that change no table, created at every start. False when one could
// not be created (the program still runs, only slower).
bool ensureIndexes();

// PRAGMA synchronous=FULL when durable, else OFF (the benchmarks time both).
bool setSynchronous(bool durable);

// Schema version stored in the file; 0 when there is no version row.
int storedVersion();

// Why a write failed, from SQLite's error text: another program holds the
// file's lock, the disk is full, or anything else.
enum class WriteFailure { None, Locked, DiskFull, Other };
WriteFailure failureOf(const QString &error);

// The critical box shown when the database cannot be used.
QString cannotOpenTitle();
QString cannotOpenText(const QString &path);

} // namespace Database

#endif

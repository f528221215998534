#pragma once
#include "util/AppError.h"

#include <QString>

struct sqlite3;

// The low-level steps shared by the connection, compaction and the catalogue
// tool: opening a card database file, exporting it under another key, replacing
// files safely. Everything here throws AppError carrying the engine's error list.
namespace krvs::db::engine {

inline const QString kSource = QStringLiteral("KRVS database engine");

// An AppError from the engine: number, description and the one-entry error list.
AppError error(int number, const QString& description);

struct OpenOptions {
    bool exclusive = true; // hold an exclusive lock until the handle is closed
    bool wal = true;       // switch the file to the write-ahead log journal
    // Read every page for damage before returning (checkPages). Without it the caller
    // runs checkPages itself and switches to the log (useLog) before its first write;
    // until then nothing is written to the file.
    bool checkPages = true;
};

// Opens an existing card catalogue (never creates one) with a key ("" = plain
// file) and installs the text functions. Before anything is written to the file
// or beside it, it must be a catalogue: a plain database file, or one whose
// length and bytes could be an encrypted one, holding the table tblKRVS101, and
// the file and its folder must be writable. A missing or wrong key for a file
// that could be encrypted gives err::BadPassword; every other refusal, and a file
// in use by another connection, gives err::Engine with a message saying why.
sqlite3* open(const QString& path, const QString& password, OpenOptions options = {});

// Reads every page of a catalogue's file through a handle that neither locks nor
// writes; throws err::Engine ("... is not a card catalogue: the file is damaged")
// when one is damaged. Safe on another thread while the file is open but unwritten.
void checkPages(const QString& path, const QString& password);

// The refusal of a catalogue whose pages are damaged, with the engine's message.
AppError damaged(const QString& path, const QString& engineMessage);

// Switches an open handle to the write-ahead log journal (writes the file's header).
void useLog(sqlite3* db);

// Closes a handle; throws when the engine refuses (the handle is then closed later).
void close(sqlite3* db);

// Runs SQL text that returns no rows the caller needs; throws on failure.
void exec(sqlite3* db, const char* sql);

// The engine's message for the handle's last error.
QString message(sqlite3* db);

// Writes a copy of the open database (schema and rows, nothing else: a compacted
// copy) into a new file at destPath keyed with password ("" = plain). destPath
// must not exist. The copy is flushed to disk before this returns.
void exportTo(sqlite3* db, const QString& destPath, const QString& password);

// Removes a database file together with its journal and write-ahead log.
// Returns false when something could not be removed.
bool removeDatabaseFiles(const QString& path);

// Removes what an earlier, interrupted run left at a scratch path before the
// path is written again; throws when something could not be removed.
void clearScratch(const QString& path);

// Moves from onto to in one atomic step (to holds either its old or its new
// content at every moment) and flushes the folder. A journal or write-ahead log
// left behind by an old file at to is removed first, since it would otherwise be
// replayed into the new one. Throws on failure; from is left in place then.
void replaceFile(const QString& from, const QString& to);

// For tests: makes the named step ("export" or "rename") fail as if the engine or
// the file system had refused it, until it is set back to nullptr.
void setFailingStep(const char* step);

} // namespace krvs::db::engine

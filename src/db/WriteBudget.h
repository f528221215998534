#pragma once
#include <QtGlobal>

// A byte budget for the engine's writes, so that tests can run any file
// operation on a disk that fills up at a chosen point. The engine opens every
// database through its own file layer (a thin wrapper over the system's), which
// takes each write from the budget; once a write no longer fits it fails as on a
// full disk (SQLITE_FULL, "database or disk is full"), on any file: the
// catalogue, its journal and write-ahead log, scratch copies, attached files.
// Without a budget (the default) the wrapper only forwards.
namespace krvs::db::engine {

// The name of the engine's file layer, registered on first use; the engine
// passes it to every sqlite3_open_v2.
const char* fileLayerName();

// From now on at most bytes more bytes are written; a negative value removes the
// budget (writes are then limited by the disk only).
void setWriteBudget(qint64 bytes);

// The bytes still allowed, or -1 when there is no budget.
qint64 writeBudget();

// For writers outside the engine's file layer that share the budget: takes
// bytes from it and returns true, or returns false (taking nothing) when they do
// not fit, and the writer then fails as on a full disk. Always true without a
// budget.
bool takeFromWriteBudget(qint64 bytes);

// Sets a budget for the lifetime of the object and removes it afterwards.
class ScopedWriteBudget {
  public:
    explicit ScopedWriteBudget(qint64 bytes) { setWriteBudget(bytes); }
    ~ScopedWriteBudget() { setWriteBudget(-1); }
    ScopedWriteBudget(const ScopedWriteBudget&) = delete;
    ScopedWriteBudget& operator=(const ScopedWriteBudget&) = delete;
};

} // namespace krvs::db::engine

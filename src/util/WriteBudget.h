#pragma once
#include <QtGlobal>

// A byte budget for the program's writes, so that tests can run any file
// operation on a disk that fills up at a chosen point. The engine's file layer
// (db/FileLayer.h) takes every write of the engine from it: the catalogue, its
// journal and write-ahead log, scratch copies, attached files. The writers outside
// the engine (settings file, file copies, export) take their bytes from it too.
// Once a write no longer fits it fails as on a full disk. Without a budget (the
// default) nothing is limited.
namespace krvs {

// From now on at most bytes more bytes are written; a negative value removes the
// budget (writes are then limited by the disk only).
void setWriteBudget(qint64 bytes);

// The bytes still allowed, or -1 when there is no budget.
qint64 writeBudget();

// Takes bytes from the budget and returns true, or returns false (taking nothing)
// when they do not fit, and the writer then fails as on a full disk. Always true
// without a budget.
bool takeFromWriteBudget(qint64 bytes);

// Sets a budget for the lifetime of the object and removes it afterwards.
class ScopedWriteBudget {
  public:
    explicit ScopedWriteBudget(qint64 bytes) { setWriteBudget(bytes); }
    ~ScopedWriteBudget() { setWriteBudget(-1); }
    ScopedWriteBudget(const ScopedWriteBudget&) = delete;
    ScopedWriteBudget& operator=(const ScopedWriteBudget&) = delete;
};

} // namespace krvs

#include "db/FileLayer.h"

#include "util/WriteBudget.h"

#include <QtGlobal>
#include <mutex>
#include <sqlite3.h>

namespace krvs::db::engine {

namespace {

sqlite3_vfs* gBase = nullptr; // the system's file layer that does the work
sqlite3_vfs gLayer{};

// An open file of the layer: the system's file object follows it in the same block.
struct File {
    sqlite3_file base;
    sqlite3_file* real;
};

sqlite3_file* real(sqlite3_file* f) {
    return reinterpret_cast<File*>(f)->real;
}

int xClose(sqlite3_file* f) {
    return real(f)->pMethods->xClose(real(f));
}
int xRead(sqlite3_file* f, void* buf, int amt, sqlite3_int64 off) {
    return real(f)->pMethods->xRead(real(f), buf, amt, off);
}
int xWrite(sqlite3_file* f, const void* buf, int amt, sqlite3_int64 off) {
    if (!takeFromWriteBudget(amt)) return SQLITE_FULL;
    return real(f)->pMethods->xWrite(real(f), buf, amt, off);
}
int xTruncate(sqlite3_file* f, sqlite3_int64 size) {
    return real(f)->pMethods->xTruncate(real(f), size);
}
int xSync(sqlite3_file* f, int flags) {
    return real(f)->pMethods->xSync(real(f), flags);
}
int xFileSize(sqlite3_file* f, sqlite3_int64* size) {
    return real(f)->pMethods->xFileSize(real(f), size);
}
int xLock(sqlite3_file* f, int level) {
    return real(f)->pMethods->xLock(real(f), level);
}
int xUnlock(sqlite3_file* f, int level) {
    return real(f)->pMethods->xUnlock(real(f), level);
}
int xCheckReservedLock(sqlite3_file* f, int* out) {
    return real(f)->pMethods->xCheckReservedLock(real(f), out);
}
int xFileControl(sqlite3_file* f, int op, void* arg) {
    return real(f)->pMethods->xFileControl(real(f), op, arg);
}
int xSectorSize(sqlite3_file* f) {
    return real(f)->pMethods->xSectorSize(real(f));
}
int xDeviceCharacteristics(sqlite3_file* f) {
    return real(f)->pMethods->xDeviceCharacteristics(real(f));
}
int xShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
    return real(f)->pMethods->xShmMap(real(f), region, size, extend, out);
}
int xShmLock(sqlite3_file* f, int offset, int n, int flags) {
    return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
}
void xShmBarrier(sqlite3_file* f) {
    real(f)->pMethods->xShmBarrier(real(f));
}
int xShmUnmap(sqlite3_file* f, int deleteFlag) {
    return real(f)->pMethods->xShmUnmap(real(f), deleteFlag);
}
int xFetch(sqlite3_file* f, sqlite3_int64 off, int amt, void** out) {
    return real(f)->pMethods->xFetch(real(f), off, amt, out);
}
int xUnfetch(sqlite3_file* f, sqlite3_int64 off, void* p) {
    return real(f)->pMethods->xUnfetch(real(f), off, p);
}

// One table per version of the system's methods, so that no method is offered
// that the file underneath lacks.
constexpr sqlite3_io_methods methods(int version) {
    return {version,
            xClose,
            xRead,
            xWrite,
            xTruncate,
            xSync,
            xFileSize,
            xLock,
            xUnlock,
            xCheckReservedLock,
            xFileControl,
            xSectorSize,
            xDeviceCharacteristics,
            xShmMap,
            xShmLock,
            xShmBarrier,
            xShmUnmap,
            xFetch,
            xUnfetch};
}
const sqlite3_io_methods kMethods[] = {methods(1), methods(2), methods(3)};

int xOpen(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
    auto* f = reinterpret_cast<File*>(file);
    f->real = reinterpret_cast<sqlite3_file*>(f + 1);
    f->real->pMethods = nullptr;
    const int rc = gBase->xOpen(gBase, name, f->real, flags, outFlags);
    const sqlite3_io_methods* m = f->real->pMethods;
    f->base.pMethods = m ? &kMethods[qBound(1, m->iVersion, 3) - 1] : nullptr;
    return rc;
}

} // namespace

const char* fileLayerName() {
    static std::once_flag once;
    std::call_once(once, [] {
        gBase = sqlite3_vfs_find(nullptr);
        // Everything but opening a file goes straight to the system's layer; its
        // methods see the same settings through the copied fields.
        gLayer = *gBase;
        gLayer.szOsFile = static_cast<int>(sizeof(File)) + gBase->szOsFile;
        gLayer.zName = "krvs";
        gLayer.pNext = nullptr;
        gLayer.xOpen = xOpen;
        sqlite3_vfs_register(&gLayer, 0);
    });
    return gLayer.zName;
}

} // namespace krvs::db::engine

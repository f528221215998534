#include "db/CompactTick.h"
#include "db/Connection.h"
#include "db/Engine.h"
#include "util/Files.h"

#include <QDir>
#include <QFileInfo>
#include <sqlite3.h>

namespace krvs::db {

namespace {
// Steps of the engine between two calls of the tick: a few milliseconds of work.
constexpr int kTickSteps = 2000;

CompactTick& compactTick() {
    static CompactTick tick;
    return tick;
}

int onTick(void*) {
    if (const CompactTick& tick = compactTick()) tick();
    return 0; // never stops the copy
}
} // namespace

CompactTick setCompactTick(CompactTick tick) {
    std::swap(compactTick(), tick);
    return tick;
}

QString compactScratchPath(const QString& destination) {
    return destination + QStringLiteral(".part");
}

void compactInto(const QString& source, const QString& password, const QString& destination) {
    if (source.isEmpty() || destination.isEmpty())
        throw engine::error(err::Engine, QStringLiteral("No database file was named."));
    if (QFileInfo::exists(destination) && sameFile(source, destination))
        throw engine::error(err::Engine, QStringLiteral("Cannot compact '%1' onto itself.")
                                             .arg(QDir::toNativeSeparators(source)));
    if (QFileInfo(destination).isDir())
        throw engine::error(
            err::Engine,
            QStringLiteral("'%1' is a folder.").arg(QDir::toNativeSeparators(destination)));

    // The source is only read: no change of journal, and a lock that keeps
    // others out while the copy is written.
    engine::OpenOptions o;
    o.wal = false;
    sqlite3* db = engine::open(source, password, o);
    sqlite3_progress_handler(db, kTickSteps, &onTick, nullptr);
    // The copy keeps the password.
    const QString scratch = compactScratchPath(destination);
    try {
        engine::clearScratch(scratch);
        engine::exportTo(db, scratch, password);
        engine::close(db);
        db = nullptr;
        engine::replaceFile(scratch, destination);
    } catch (const AppError&) {
        if (db) {
            try {
                engine::close(db);
            } catch (const AppError&) {
            }
        }
        engine::removeDatabaseFiles(scratch);
        throw;
    }
}

void ReplaceDatabaseFile(const QString& from, const QString& target) {
    if (!QFileInfo::exists(from))
        throw engine::error(
            err::Engine,
            QStringLiteral("Could not find file '%1'.").arg(QDir::toNativeSeparators(from)));
    engine::replaceFile(from, target);
}

} // namespace krvs::db

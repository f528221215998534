#include "makedb/CatalogueWriter.h"

#include "db/Engine.h"
#include "db/Schema.h"
#include "util/Files.h"

#include <QDir>
#include <QFile>
#include <sqlite3.h>

namespace krvs::makedb {

namespace {

void check(sqlite3* db, int rc, int want = SQLITE_OK) {
    if (rc != want) throw db::engine::error(err::Engine, db::engine::message(db));
}

void bindText(sqlite3_stmt* st, int i, const std::string& s) {
    sqlite3_bind_text(st, i, s.data(), static_cast<int>(s.size()), SQLITE_STATIC);
}

} // namespace

void writeCatalogue(const QString& path, const QString& password,
                    const std::function<bool(Card&)>& next) {
    const QString scratch = path + QStringLiteral(".part");
    db::engine::clearScratch(scratch);
    sqlite3* db = nullptr;
    sqlite3_stmt* insert = nullptr;
    try {
        const QByteArray file = QFile::encodeName(scratch);
        const int rc = sqlite3_open_v2(file.constData(), &db,
                                       SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
        if (rc != SQLITE_OK)
            throw db::engine::error(err::Engine,
                                    QStringLiteral("Could not create '%1': %2")
                                        .arg(QDir::toNativeSeparators(scratch),
                                             db ? db::engine::message(db) : QString()));
        if (!password.isEmpty()) {
            const QByteArray key = password.toUtf8();
            check(db, sqlite3_key(db, key.constData(), static_cast<int>(key.size())));
        }
        // A new file written in one go: no journal needed, the rename commits it.
        db::engine::exec(db, "PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                             "PRAGMA locking_mode=EXCLUSIVE;");
        db::engine::exec(db, db::kCardTableSql);
        db::engine::exec(db, "BEGIN;");
        check(db, sqlite3_prepare_v2(db, db::kCardInsertSql, -1, &insert, nullptr));
        Card c;
        while (next(c)) {
            sqlite3_bind_int64(insert, 1, c.dbId);
            bindText(insert, 2, c.index);
            bindText(insert, 3, c.cardType);
            bindText(insert, 4, c.title);
            bindText(insert, 5, c.category);
            bindText(insert, 6, c.series);
            bindText(insert, 7, c.season);
            sqlite3_bind_int(insert, 8, c.own ? 1 : 0);
            bindText(insert, 9, c.dbComments);
            bindText(insert, 10, c.userComments);
            const int rc2 = sqlite3_step(insert);
            if (rc2 != SQLITE_DONE) {
                const QString m = db::engine::message(db);
                throw db::engine::error(err::Engine,
                                        QStringLiteral("card %1: %2").arg(c.dbId).arg(m));
            }
            sqlite3_reset(insert);
        }
        sqlite3_finalize(insert);
        insert = nullptr;
        db::engine::exec(db, "COMMIT;");
        db::engine::exec(db, "PRAGMA journal_mode=WAL;");
        db::engine::close(db);
        db = nullptr;
        if (!syncPath(scratch))
            throw db::engine::error(err::Engine, QStringLiteral("Could not flush '%1' to disk.")
                                                     .arg(QDir::toNativeSeparators(scratch)));
        db::engine::replaceFile(scratch, path);
    } catch (...) {
        sqlite3_finalize(insert);
        if (db) sqlite3_close_v2(db);
        db::engine::removeDatabaseFiles(scratch);
        throw;
    }
}

} // namespace krvs::makedb

#include "db/Engine.h"

#include "db/FileLayer.h"
#include "db/JetFunctions.h"
#include "db/TextFold.h"
#include "util/CrashPoint.h"
#include "util/Files.h"
#include "util/ScopeGuard.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sqlite3.h>
#include <system_error>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace krvs::db::engine {

namespace {

const char* gFailingStep = nullptr;

// The files the engine keeps beside a database file: its log, shared memory and journal.
constexpr std::array<const char*, 3> kLogSuffixes = {"-wal", "-shm", "-journal"};

bool failing(const char* step) {
    return gFailingStep && std::strcmp(gFailingStep, step) == 0;
}

QString native(const QString& path) {
    return QDir::toNativeSeparators(path);
}

std::filesystem::path fsPath(const QString& p) {
    return std::filesystem::path(p.toStdU16String());
}

bool isBusy(int rc) {
    rc &= 0xFF;
    return rc == SQLITE_BUSY || rc == SQLITE_LOCKED;
}

QString inUse(const QString& path, const QString& engineMessage) {
    return QStringLiteral("Could not use '%1'; the file is already in use by another connection "
                          "or program (%2).")
        .arg(native(path), engineMessage);
}

// An encrypted file is made of pages of this size (the engine's default for a key).
constexpr qint64 kCipherPage = 1024;
// The first bytes of a database file without a password.
constexpr char kPlainHeader[16] = {'S', 'Q', 'L', 'i', 't', 'e', ' ', 'f',
                                   'o', 'r', 'm', 'a', 't', ' ', '3', '\0'};

AppError notACatalogue(const QString& path, const QString& why) {
    return error(err::Engine,
                 QStringLiteral("'%1' is not a card catalogue: %2.").arg(native(path), why));
}

// Encrypted pages read as random bytes: every byte value about equally often,
// but not exactly so. The chi-square of the byte counts (255 degrees of freedom)
// of random bytes lies between 120 and 450 but for less than once in a billion
// times; text, zeros or a repeated byte give thousands, bytes counting up 0.
bool looksRandom(const QByteArray& bytes) {
    std::array<qint64, 256> counts{};
    for (const char c : bytes)
        ++counts[static_cast<unsigned char>(c)];
    const double expected = static_cast<double>(bytes.size()) / 256.0;
    double chiSquare = 0;
    for (const qint64 n : counts)
        chiSquare += (static_cast<double>(n) - expected) * (static_cast<double>(n) - expected);
    chiSquare /= expected;
    return chiSquare > 120 && chiSquare < 450;
}

// Looks at the file's bytes only. Returns true for a database file without a
// password; throws when the file can be neither that nor an encrypted catalogue.
bool inspectFile(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw error(err::Engine,
                    QStringLiteral("Could not read '%1': %2").arg(native(path), f.errorString()));
    const qint64 size = f.size();
    const QByteArray head = f.read(4 * kCipherPage);
    if (head.startsWith(QByteArray(kPlainHeader, sizeof kPlainHeader))) return true;
    if (size == 0) throw notACatalogue(path, QStringLiteral("the file is empty"));
    if (size < kCipherPage)
        throw notACatalogue(path, QStringLiteral("the file is too short (%1 bytes, less than one "
                                                 "page of %2 bytes)")
                                      .arg(size)
                                      .arg(kCipherPage));
    if (size % kCipherPage != 0)
        throw notACatalogue(path, QStringLiteral("its length (%1 bytes) is not a whole number of "
                                                 "pages of %2 bytes")
                                      .arg(size)
                                      .arg(kCipherPage));
    if (!looksRandom(head))
        throw notACatalogue(path, QStringLiteral("it is neither a database file nor an encrypted "
                                                 "one (its first page is not random bytes)"));
    return false;
}

// A read-only handle that neither locks the file nor writes anything to it or beside
// it (no log is created, no journal replayed), keyed with password.
sqlite3* openUntouched(const QString& path, const QString& password) {
    const QByteArray uri =
        "file:" + QUrl::toPercentEncoding(QFileInfo(path).absoluteFilePath(), "/") + "?immutable=1";
    sqlite3* db = nullptr;
    int rc = sqlite3_open_v2(uri.constData(), &db,
                             SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
    ScopeGuard closeHandle([&] { sqlite3_close(db); });
    if (rc != SQLITE_OK)
        throw error(err::Engine,
                    QStringLiteral("Could not open '%1': %2.")
                        .arg(native(path), db ? message(db) : QStringLiteral("out of memory")));
    if (!password.isEmpty()) {
        const QByteArray key = password.toUtf8();
        if (sqlite3_key(db, key.constData(), static_cast<int>(key.size())) != SQLITE_OK)
            throw error(err::Engine, message(db));
    }
    closeHandle.dismiss();
    return db;
}

// The engine's message when another connection, of this program or another, holds
// the file's lock; empty when none does.
// The lock is asked for before the first page is read, so no key is needed; the
// handle writes nothing and, locking exclusively, keeps no shared memory beside it.
QString heldByAnother(const QString& path) {
    sqlite3* db = nullptr;
    const QByteArray file = QFile::encodeName(path);
    const int rc = sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    ScopeGuard closeHandle([&] { sqlite3_close(db); });
    if (rc != SQLITE_OK) return {};
    sqlite3_busy_timeout(db, 0);
    sqlite3_exec(db, "PRAGMA locking_mode=EXCLUSIVE;", nullptr, nullptr, nullptr);
    if (!isBusy(sqlite3_exec(db, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr)))
        return {};
    return message(db);
}

// Reads whether the card table and its fields exist through an untouched handle,
// so that a wrong key or a foreign file is told before the file is touched.
void checkCatalogue(const QString& path, const QString& password, bool plain) {
    if (plain && !password.isEmpty())
        throw error(err::Engine, QStringLiteral("Could not open '%1' with a password: the file "
                                                "has no password.")
                                     .arg(native(path)));
    sqlite3* db = openUntouched(path, password);
    ScopeGuard closeHandle([&] { sqlite3_close(db); });
    int tables = -1;
    int rc = sqlite3_exec(
        db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'tblKRVS101';",
        [](void* out, int, char** values, char**) {
            *static_cast<int*>(out) = values[0] ? std::atoi(values[0]) : 0;
            return 0;
        },
        &tables, nullptr);
    // A file that another copy of the program holds is in use: asking for its
    // password first would be in vain.
    if ((rc & 0xFF) == SQLITE_NOTADB && !plain) {
        const QString held = heldByAnother(path);
        if (!held.isEmpty()) throw error(err::Engine, inUse(path, held));
    }
    if ((rc & 0xFF) == SQLITE_NOTADB && !plain)
        throw error(err::BadPassword,
                    password.isEmpty()
                        ? QStringLiteral("Not a valid password: the database '%1' is protected "
                                         "by a password.")
                              .arg(native(path))
                        : QStringLiteral("Not a valid password."));
    if ((rc & 0xFF) == SQLITE_NOTADB || (rc & 0xFF) == SQLITE_CORRUPT)
        throw notACatalogue(path, QStringLiteral("the file is damaged (%1)").arg(message(db)));
    if (rc != SQLITE_OK)
        throw error(err::Engine,
                    QStringLiteral("Could not open '%1': %2.").arg(native(path), message(db)));
    if (tables < 1) throw notACatalogue(path, QStringLiteral("it holds no table tblKRVS101"));

    // Every field the program shows, searches and writes must be there; a table that
    // lacks some would fail later, at a search or an update, with a puzzling message.
    QStringList columns;
    sqlite3_exec(
        db, "PRAGMA table_info(tblKRVS101);",
        [](void* out, int n, char** values, char** names) {
            for (int i = 0; i < n; ++i)
                if (values[i] && std::strcmp(names[i], "name") == 0)
                    static_cast<QStringList*>(out)->append(QString::fromUtf8(values[i]));
            return 0;
        },
        &columns, nullptr);
    QStringList missing;
    for (const char* field : {"DbId", "Index", "CardType", "Title", "Category", "Series", "Season",
                              "Own", "DBComments", "UserComments"})
        if (!columns.contains(QLatin1String(field), Qt::CaseInsensitive))
            missing << QLatin1String(field);
    if (!missing.isEmpty())
        throw notACatalogue(path, QStringLiteral("its table tblKRVS101 lacks the column%1 %2")
                                      .arg(missing.size() > 1 ? QStringLiteral("s") : QString(),
                                           missing.join(QStringLiteral(", "))));
}

// No write permission counts even where the system would let the user (root)
// write anyway: a file or folder made read-only is not written.
bool writable(const QString& path) {
    const QByteArray p = QFile::encodeName(path);
    struct stat st {};
    return ::stat(p.constData(), &st) == 0 && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) != 0 &&
           ::access(p.constData(), W_OK) == 0;
}

// The catalogue is written in place and its log lies beside it.
void checkWritable(const QString& path) {
    if (!writable(path))
        throw error(err::Engine, QStringLiteral("Could not open '%1': the file is read-only, and "
                                                "the program writes every change into it.")
                                     .arg(native(path)));
    const QString folder = QFileInfo(path).absolutePath();
    if (!writable(folder))
        throw error(err::Engine,
                    QStringLiteral("Could not open '%1': its folder '%2' is read-only, and the "
                                   "program keeps the catalogue's log beside it.")
                        .arg(native(path), native(folder)));
}

} // namespace

AppError error(int number, const QString& description) {
    return AppError(number, description, kSource, {EngineError{number, kSource, description}});
}

QString message(sqlite3* db) {
    return QString::fromUtf8(sqlite3_errmsg(db));
}

void exec(sqlite3* db, const char* sql) {
    char* msg = nullptr;
    const int rc = sqlite3_exec(db, sql, nullptr, nullptr, &msg);
    if (rc != SQLITE_OK) {
        const QString text = msg ? QString::fromUtf8(msg) : message(db);
        sqlite3_free(msg);
        throw error(err::Engine, text);
    }
}

sqlite3* open(const QString& path, const QString& password, OpenOptions options) {
    const QFileInfo fi(path);
    if (path.isEmpty() || !fi.exists())
        throw error(err::Engine, QStringLiteral("Could not find file '%1'.").arg(native(path)));
    if (fi.isDir())
        throw error(err::Engine,
                    QStringLiteral("'%1' is a folder, not a database file.").arg(native(path)));
    // Nothing is written to the file, nor beside it, before it is known to be a
    // catalogue that this key opens and that the program can write.
    checkCatalogue(path, password, inspectFile(path));
    if (options.checkPages) checkPages(path, password);
    checkWritable(path);

    sqlite3* db = nullptr;
    const QByteArray file = QFile::encodeName(path);
    int rc = sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX,
                             fileLayerName()); // one thread per handle: no locking per call
    if (rc != SQLITE_OK) {
        const QString m = db ? message(db) : QStringLiteral("out of memory");
        sqlite3_close(db);
        throw error(err::Engine, QStringLiteral("Could not open '%1': %2.").arg(native(path), m));
    }
    ScopeGuard closeOnError([&] { sqlite3_close(db); });

    sqlite3_busy_timeout(db, 0);
    if (!password.isEmpty()) {
        const QByteArray key = password.toUtf8();
        rc = sqlite3_key(db, key.constData(), static_cast<int>(key.size()));
        if (rc != SQLITE_OK) throw error(err::Engine, message(db));
    }
    if (text::registerFunctions(db) != SQLITE_OK || jet::registerFunctions(db) != SQLITE_OK)
        throw error(err::Engine, message(db));
    if (options.exclusive) exec(db, "PRAGMA locking_mode=EXCLUSIVE;");

    // Reading the schema proves the key: a wrong key reads noise.
    rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr);
    if ((rc & 0xFF) == SQLITE_NOTADB) {
        throw error(err::BadPassword,
                    password.isEmpty()
                        ? QStringLiteral("Not a valid password: the database '%1' is protected "
                                         "by a password (or is not a database file).")
                              .arg(native(path))
                        : QStringLiteral("Not a valid password."));
    }
    if (isBusy(rc)) throw error(err::Engine, inUse(path, message(db)));
    if (rc != SQLITE_OK)
        throw error(err::Engine,
                    QStringLiteral("Could not open '%1': %2.").arg(native(path), message(db)));

    try {
        if (options.wal && options.checkPages) useLog(db);
        // every statement's change reaches the disk before the statement returns
        exec(db, "PRAGMA synchronous=FULL;");
        // A search reads the whole card table in one pass, which no cache smaller than
        // the table shortens: a plain file's pages are cached by the system, and the
        // engine keeps a few for lookups. Decrypting dominates a search of an encrypted
        // catalogue, so its decrypted pages stay in memory (up to 256 MB: the whole
        // table of about a million cards, which then reads in less than half the time).
        exec(db, password.isEmpty() ? "PRAGMA cache_size=-2048;" : "PRAGMA cache_size=-262144;");
        if (options.exclusive) exec(db, "BEGIN EXCLUSIVE; COMMIT;");
    } catch (const AppError& e) {
        if (isBusy(sqlite3_errcode(db))) throw error(err::Engine, inUse(path, e.description()));
        throw error(err::Engine,
                    QStringLiteral("Could not open '%1': %2").arg(native(path), e.description()));
    }
    closeOnError.dismiss();
    return db;
}

void checkPages(const QString& path, const QString& password) {
    sqlite3* db = openUntouched(path, password);
    ScopeGuard closeHandle([&] { sqlite3_close(db); });
    // A damaged page further in (a bad sector, a copy cut short) is found now, before
    // anything is written, rather than by the first search that reads it.
    QString problem;
    const int rc = sqlite3_exec(
        db, "PRAGMA quick_check(1);",
        [](void* out, int, char** values, char**) {
            *static_cast<QString*>(out) = QString::fromUtf8(values[0] ? values[0] : "");
            return 0;
        },
        &problem, nullptr);
    if (rc != SQLITE_OK) problem = message(db);
    if (problem != QLatin1String("ok")) throw damaged(path, problem);
}

AppError damaged(const QString& path, const QString& engineMessage) {
    return notACatalogue(path, QStringLiteral("the file is damaged (%1)").arg(engineMessage));
}

void useLog(sqlite3* db) {
    exec(db, "PRAGMA journal_mode=WAL;");
}

void close(sqlite3* db) {
    if (!db) return;
    const int rc = sqlite3_close(db);
    if (rc != SQLITE_OK) {
        const QString m = message(db);
        sqlite3_close_v2(db);
        throw error(err::Engine, m);
    }
}

bool removeDatabaseFiles(const QString& path) {
    bool ok = true;
    const auto remove = [&ok](const QString& p) {
        const QFileInfo fi(p);
        if (!fi.exists() && !fi.isSymLink()) return;
        if (fi.isDir() || !QFile::remove(p)) ok = false;
    };
    remove(path);
    for (const char* suffix : kLogSuffixes)
        remove(path + QLatin1StringView(suffix));
    return ok;
}

void clearScratch(const QString& path) {
    if (!removeDatabaseFiles(path))
        throw error(
            err::Engine,
            QStringLiteral("Could not remove the old scratch file '%1'.").arg(native(path)));
}

void exportTo(sqlite3* db, const QString& destPath, const QString& password) {
    if (QFileInfo::exists(destPath))
        throw error(err::Engine,
                    QStringLiteral("The file '%1' already exists.").arg(native(destPath)));
    ScopeGuard removeCopy([&] { removeDatabaseFiles(destPath); });

    // The connection may not create files, so the new file starts as an empty
    // one (an empty file is an empty database).
    {
        QFile empty(destPath);
        if (!empty.open(QIODevice::NewOnly | QIODevice::WriteOnly))
            throw error(err::Engine, QStringLiteral("Could not create '%1': %2.")
                                         .arg(native(destPath), empty.errorString()));
    }
    crashPoint("export-begun");
    // The key is bound as a value, never written into the statement's text.
    sqlite3_stmt* st = nullptr;
    int rc = sqlite3_prepare_v2(db, "ATTACH DATABASE ?1 AS krvs_export KEY ?2;", -1, &st, nullptr);
    if (rc != SQLITE_OK) throw error(err::Engine, message(db));
    const QByteArray file = QFile::encodeName(destPath);
    const QByteArray key = password.toUtf8();
    sqlite3_bind_text(st, 1, file.constData(), static_cast<int>(file.size()), SQLITE_TRANSIENT);
    sqlite3_bind_text(st, 2, key.constData(), static_cast<int>(key.size()), SQLITE_TRANSIENT);
    rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc != SQLITE_DONE)
        throw error(
            err::Engine,
            QStringLiteral("Could not create '%1': %2.").arg(native(destPath), message(db)));

    QString failure;
    char* msg = nullptr;
    rc = sqlite3_exec(db,
                      "SELECT sqlcipher_export('krvs_export');"
                      "PRAGMA krvs_export.journal_mode=WAL;",
                      nullptr, nullptr, &msg);
    if (rc != SQLITE_OK) {
        failure = msg ? QString::fromUtf8(msg) : message(db);
        // the export reports a full disk with the engine's wording only
        if ((rc & 0xFF) == SQLITE_FULL || failure == QLatin1StringView(sqlite3_errstr(SQLITE_FULL)))
            failure = QStringLiteral("the disk is full");
    }
    if (failing("export")) failure = QStringLiteral("disk I/O error");
    crashPoint("export-written");
    sqlite3_free(msg);
    msg = nullptr;
    rc = sqlite3_exec(db, "DETACH DATABASE krvs_export;", nullptr, nullptr, &msg);
    if (rc != SQLITE_OK && failure.isEmpty()) failure = msg ? QString::fromUtf8(msg) : message(db);
    sqlite3_free(msg);
    if (!failure.isEmpty())
        throw error(err::Engine,
                    QStringLiteral("Could not write '%1': %2.").arg(native(destPath), failure));
    if (QFileInfo::exists(destPath + QStringLiteral("-wal")))
        throw error(
            err::Engine,
            QStringLiteral("Could not write '%1': its log was not merged.").arg(native(destPath)));
    if (!syncPath(destPath))
        throw error(err::Engine,
                    QStringLiteral("Could not flush '%1' to disk.").arg(native(destPath)));
    removeCopy.dismiss();
    crashPoint("export-done");
}

void replaceFile(const QString& from, const QString& to) {
    for (const char* suffix : kLogSuffixes) {
        const QString p = to + QLatin1StringView(suffix);
        if (QFileInfo::exists(p) && !QFile::remove(p))
            throw error(err::Engine,
                        QStringLiteral("Could not remove the old log '%1'.").arg(native(p)));
    }
    crashPoint("swap-before");
    std::error_code ec;
    if (failing("rename"))
        ec = std::make_error_code(std::errc::io_error);
    else
        std::filesystem::rename(fsPath(from), fsPath(to), ec);
    if (ec)
        throw error(err::Engine,
                    QStringLiteral("Could not rename '%1' to '%2': %3.")
                        .arg(native(from), native(to), QString::fromLocal8Bit(ec.message())));
    crashPoint("swap-after");
    const QString dir = QFileInfo(to).absolutePath();
    syncPath(dir);
}

void setFailingStep(const char* step) {
    gFailingStep = step;
}

} // namespace krvs::db::engine

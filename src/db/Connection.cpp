#include "db/Connection.h"

#include <memory>
#include <optional>
#include <utility>

#include "db/Dialect.h"
#include "db/Engine.h"
#include "db/SnapshotOrder.h"
#include "db/SqlReader.h"
#include "util/TextAndInput.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QVarLengthArray>
#include <sqlite3.h>

namespace krvs::db {

namespace {

const QString kAdoSource = QStringLiteral("ADODB.Connection");

} // namespace

Connection::Connection() = default;

Connection::~Connection() {
    finishPageCheck();
    if (db_) sqlite3_close_v2(db_);
}

AppError Connection::fail(int number, const QString& description) {
    AppError e = engine::error(number, description);
    errors_ = e.engineErrors();
    return e;
}

void Connection::open(const QString& path, const QString& password) {
    if (db_) throw AppError::objectOpen(kAdoSource);
    errors_.clear();
    if (path.isEmpty()) throw fail(err::Engine, QStringLiteral("No database file was named."));
    // A password of blanks only is no password, as the engine reads it.
    openFile(path, trimBlanks(password).isEmpty() ? QString() : password);
}

namespace {
// How many steps of the engine pass between two calls of the progress hook: often
// enough for a hook to keep a window painting, rare enough to cost nothing.
constexpr int kProgressSteps = 4000;

Connection::ProgressHook& progressHook() {
    static Connection::ProgressHook hook;
    return hook;
}
} // namespace

Connection::ProgressHook Connection::setProgressHook(ProgressHook hook) {
    std::swap(progressHook(), hook);
    return hook;
}

int Connection::onProgress(void* connection) {
    auto* self = static_cast<Connection*>(connection);
    // Only the statements of execute are the caller's to stop; the steps of an open,
    // an export or a password change run to their end.
    if (!self->running_ || !self->hooked_) return 0;
    const ProgressHook& hook = progressHook();
    return hook && hook() ? 1 : 0;
}

void Connection::interrupt() {
    const std::lock_guard lock(runningLock_);
    if (running_) sqlite3_interrupt(running_);
}

void Connection::openFile(const QString& path, const QString& password) {
    finishPageCheck();
    try {
        engine::OpenOptions o;
        o.exclusive = true;
        // Reading every page before the first search would read the file twice.
        o.checkPages = false;
        db_ = engine::open(path, password, o);
    } catch (const AppError& e) {
        errors_ = e.engineErrors();
        throw;
    }
    sqlite3_progress_handler(db_, kProgressSteps, &Connection::onProgress, this);
    pagesChecked_ = false;
    pageRefusal_.reset();
    checkPending_ = true;
    path_ = path;
    password_ = password;
}

// Every page is read for damage on another thread once the first search has read its
// rows (the start-up's first read has both cores meanwhile), or at once when a write
// or a failure needs the check's answer.
void Connection::startPageCheck() {
    if (!checkPending_) return;
    checkPending_ = false;
    pageCheck_ = std::async(
        std::launch::async, [path = path_, password = password_]() -> std::optional<AppError> {
            try {
                engine::checkPages(path, password);
            } catch (const AppError& e) {
                return e;
            } catch (...) {
                return engine::error(
                    err::Engine,
                    QStringLiteral("Could not check '%1'.").arg(QDir::toNativeSeparators(path)));
            }
            return std::nullopt;
        });
}

void Connection::waitForPageCheck() {
    startPageCheck();
    if (pageCheck_.valid()) pageRefusal_ = pageCheck_.get();
}

// A check under way ends before the file is closed or opened again; one not started
// is no longer needed.
void Connection::finishPageCheck() {
    checkPending_ = false;
    if (pageCheck_.valid()) pageRefusal_ = pageCheck_.get();
}

// The first write waits for the page check: a damaged file is refused, unwritten; a
// sound one goes over to the log, which makes every change durable.
void Connection::checkBeforeWriting() {
    if (pagesChecked_) return;
    waitForPageCheck();
    if (pageRefusal_) throw fail(pageRefusal_->number(), pageRefusal_->description());
    try {
        engine::useLog(db_);
    } catch (const AppError& e) {
        throw fail(err::Engine, e.description());
    }
    pagesChecked_ = true;
}

// A statement that fails before the page check is done waits for it: a damaged file
// is refused as the check refuses it, whatever the engine met first (a damaged record
// can read as a text too big, a page number out of range...). A damage the check does
// not see is reported with the same words. Only the program's own statements read
// nothing but the catalogue, so only there do such errors mean damage.
AppError Connection::stepFailure(int rc, const QString& engineMessage, Origin origin) {
    const int primary = rc & 0xFF;
    if (primary == SQLITE_INTERRUPT) return fail(err::Engine, engineMessage);
    if (!pagesChecked_) {
        waitForPageCheck();
        if (pageRefusal_) return fail(pageRefusal_->number(), pageRefusal_->description());
    }
    const bool damage =
        primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB ||
        (origin == Origin::Program &&
         (primary == SQLITE_TOOBIG || primary == SQLITE_RANGE || primary == SQLITE_FORMAT));
    if (damage) {
        const AppError e = engine::damaged(path_, engineMessage);
        return fail(e.number(), e.description());
    }
    return fail(err::Engine, engineMessage);
}

void Connection::close() {
    if (!db_) throw AppError::objectClosed(kAdoSource);
    finishPageCheck();
    sqlite3* db = db_;
    db_ = nullptr;
    if (sqlite3_close(db) != SQLITE_OK) sqlite3_close_v2(db);
}

namespace {

const QString kRefused = QStringLiteral(
    "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.");

// Functions no statement may call: they write another database file, possibly
// without the key (the engine's export), or load code into the program.
bool refusedFunction(const char* name) {
    if (!name) return false;
    const QByteArray n = QByteArray(name).toLower();
    return n.startsWith("sqlcipher") || n == "load_extension" || n == "fts3_tokenizer";
}

// Statements that may not run: they would change the key, the lock or the
// transaction state the engine keeps for the connection, reach another file, or
// run code that is not SQL.
// Sets *refused when it refuses.
int authorizer(void* refused, int action, const char*, const char* name, const char*, const char*) {
    bool deny = false;
    switch (action) {
    case SQLITE_PRAGMA:
    case SQLITE_ATTACH:
    case SQLITE_DETACH:
    case SQLITE_TRANSACTION:
    case SQLITE_SAVEPOINT:
        deny = true;
        break;
    case SQLITE_FUNCTION:
        deny = refusedFunction(name);
        break;
    default:
        break;
    }
    if (deny) *static_cast<bool*>(refused) = true;
    return deny ? SQLITE_DENY : SQLITE_OK;
}

// The statement with the order given as data written out as its ORDER BY.
QString withOrderBy(QString sql, const SnapshotOrder& order) {
    while (!sql.isEmpty() && (sql.back() == u';' || sql.back().isSpace()))
        sql.chop(1);
    QStringList by;
    for (qsizetype k = 0; k < order.columns.size(); ++k) {
        QString name = order.columns[k];
        name.replace(u'"', QStringLiteral("\"\""));
        by << u'"' + name + u'"' +
                  (order.descending[static_cast<std::size_t>(k)] ? QStringLiteral(" DESC")
                                                                 : QString());
    }
    return sql + QStringLiteral(" ORDER BY ") + by.join(QStringLiteral(", ")) + u';';
}

struct Finalize {
    void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalize>;

// The fields a snapshot is ordered by, in the order's sequence; false when a field is not
// in the result or holds the program's True/False texts, which the engine orders as numbers.
bool orderColumns(const SnapshotOrder& order, const QStringList& fields,
                  const QVarLengthArray<bool, 16>& isBool, std::vector<OrderColumn>& by) {
    for (int k = 0; k < order.columns.size(); ++k) {
        qsizetype field = 0;
        while (field < fields.size() &&
               fields[field].compare(order.columns[k], Qt::CaseInsensitive) != 0)
            ++field;
        if (field == fields.size() || isBool[field]) return false;
        OrderColumn c;
        c.field = static_cast<int>(field);
        c.descending = order.descending[static_cast<std::size_t>(k)];
        by.push_back(std::move(c));
    }
    return true;
}

std::optional<OrderColumn::Storage> storageClass(int engineType) {
    switch (engineType) {
    case SQLITE_NULL:
        return OrderColumn::Null;
    case SQLITE_TEXT:
        return OrderColumn::Text;
    case SQLITE_BLOB:
        return OrderColumn::Blob;
    default:
        return std::nullopt;
    }
}

bool declaredBoolean(const char* decl) {
    if (!decl) return false;
    const QByteArray d = QByteArray(decl).trimmed().toUpper();
    return d.startsWith("BOOL") || d == "BIT" || d == "YESNO";
}

} // namespace

std::shared_ptr<const RowSet> Connection::execute(const QString& sql, Origin origin,
                                                  const SnapshotOrder* givenOrder) {
    if (!db_) throw AppError::of(err::ConnectionUnusable, QString(), kAdoSource);
    errors_.clear();
    const dialect::Translation tr = dialect::translate(sql);
    // Without its card table the catalogue is no longer one the program can open.
    if (tr.changesCardTable && origin == Origin::Typed) throw fail(err::Engine, kRefused);
    if (!tr.error.isEmpty()) throw fail(err::Engine, tr.error);
    // The program keeps the password it opened the file with; a change it did not
    // make would leave backup and compaction with the wrong key.
    if (tr.password) throw fail(err::Engine, kRefused);

    if (vacuumInto(tr.sql)) throw fail(err::Engine, kRefused);

    // A search statement's ORDER BY is carried out on the snapshot (see SnapshotOrder.h).
    std::optional<SnapshotOrder> order;
    // The statement the engine runs when the program cannot order the rows itself.
    QString whole = tr.sql;
    if (givenOrder) {
        order = *givenOrder;
        order->unordered = tr.sql;
        whole = withOrderBy(tr.sql, *givenOrder);
    } else {
        order = snapshotOrder(tr.sql);
    }
    if (order && !canOrderSnapshot(db_, order->columns)) order.reset();
    for (;;) {
        auto result = step(order ? order->unordered : whole, order ? &*order : nullptr, origin);
        if (result) {
            startPageCheck();
            return result;
        }
        order.reset(); // the snapshot cannot be ordered like the engine: let it sort
    }
}

// Prepares the one statement of text, refusing what the authorizer refuses, a statement
// that would write before the page check has passed, and anything after the statement.
sqlite3_stmt* Connection::prepare(const QByteArray& text, Origin origin) {
    sqlite3_stmt* st = nullptr;
    const char* tail = nullptr;
    bool refused = false;
    sqlite3_set_authorizer(db_, authorizer, &refused);
    const int rc =
        sqlite3_prepare_v2(db_, text.constData(), static_cast<int>(text.size()), &st, &tail);
    sqlite3_set_authorizer(db_, nullptr, nullptr);
    Statement owned(st);
    if (rc != SQLITE_OK && refused) throw fail(err::Engine, kRefused);
    if ((rc & 0xFF) == SQLITE_CORRUPT || (rc & 0xFF) == SQLITE_NOTADB)
        throw stepFailure(rc, engine::message(db_), origin);
    if (rc != SQLITE_OK) throw fail(err::Engine, engine::message(db_));
    if (!st) throw fail(err::Engine, kRefused);
    if (!sqlite3_stmt_readonly(st)) checkBeforeWriting();
    for (const char* p = tail; p && *p; ++p)
        if (*p != ';' && !QChar::isSpace(static_cast<unsigned char>(*p)))
            throw fail(err::Engine, QStringLiteral("Characters found after end of SQL statement."));
    return owned.release();
}

std::shared_ptr<const RowSet> Connection::step(const QString& sql, const SnapshotOrder* order,
                                               Origin origin) {
    auto rows = std::make_shared<RowSet>();
    const Statement statement(prepare(sql.toUtf8(), origin));
    sqlite3_stmt* st = statement.get();

    // Marks the statement as running (for the progress hook and interrupt) until it
    // ends; a statement run from inside a hook gives the mark back when it ends.
    struct Running {
        Connection* c;
        sqlite3* before;
        Running(Connection* connection) : c(connection) {
            const std::lock_guard lock(c->runningLock_);
            before = std::exchange(c->running_, c->db_);
        }
        ~Running() {
            const std::lock_guard lock(c->runningLock_);
            c->running_ = before;
        }
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;
    } running{this};

    const int cols = sqlite3_column_count(st);
    QVarLengthArray<bool, 16> isBool(cols);
    for (int c = 0; c < cols; ++c) {
        rows->fields << QString::fromUtf8(sqlite3_column_name(st, c));
        isBool[c] = declaredBoolean(sqlite3_column_decltype(st, c));
    }
    std::vector<OrderColumn> by;
    if (order && !orderColumns(*order, rows->fields, isBool, by)) return nullptr;
    // Where each field's storage classes go, for the fields the snapshot is ordered by.
    QVarLengthArray<OrderColumn*, 16> byField(cols);
    std::fill(byField.begin(), byField.end(), nullptr);
    for (OrderColumn& c : by)
        if (!byField[c.field]) byField[c.field] = &c;

    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        for (int c = 0; c < cols; ++c) {
            const int type = sqlite3_column_type(st, c);
            if (OrderColumn* o = byField[c]) {
                const auto storage = storageClass(type);
                if (!storage) return nullptr; // a number: only the engine orders it with texts
                o->storage.push_back(*storage);
            } else if (isBool[c] && (type == SQLITE_INTEGER || type == SQLITE_FLOAT)) {
                rows->appendBoolean(sqlite3_column_double(st, c) != 0);
                continue;
            } else if (type == SQLITE_INTEGER) {
                rows->appendInteger(sqlite3_column_int64(st, c));
                continue;
            }
            const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, c));
            rows->appendCell(std::string_view(
                t ? t : "", static_cast<std::size_t>(sqlite3_column_bytes(st, c))));
        }
        rows->endRow();
    }
    if (rc != SQLITE_DONE) throw stepFailure(rc, engine::message(db_), origin);
    if (cols == 0) rows->fields.clear();
    if (order) {
        // A column named twice shares the first one's storage classes.
        for (OrderColumn& c : by)
            if (byField[c.field] != &c) c.storage = byField[c.field]->storage;
        rows->setOrder(engineOrder(*rows, by));
    }
    return rows;
}

PreparedWrite Connection::prepareWrite(const char* sql) {
    if (!db_) throw AppError::of(err::ConnectionUnusable, QString(), kAdoSource);
    errors_.clear();
    return PreparedWrite(this, prepare(QByteArray(sql), Origin::Program));
}

PreparedWrite::PreparedWrite(PreparedWrite&& other) noexcept
    : c_(other.c_), st_(std::exchange(other.st_, nullptr)) {}

PreparedWrite::~PreparedWrite() {
    if (st_) sqlite3_finalize(st_);
}

void PreparedWrite::run(std::initializer_list<qint64> values) {
    if (!c_->db_ || !st_) throw AppError::of(err::ConnectionUnusable, QString(), kAdoSource);
    int i = 0;
    for (const qint64 v : values)
        sqlite3_bind_int64(st_, ++i, v);
    step();
}

void PreparedWrite::run(const QString& text, qint64 value) {
    if (!c_->db_ || !st_) throw AppError::of(err::ConnectionUnusable, QString(), kAdoSource);
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(st_, 1, utf8.constData(), static_cast<int>(utf8.size()), SQLITE_TRANSIENT);
    sqlite3_bind_int64(st_, 2, value);
    step();
}

void PreparedWrite::step() {
    Connection& c = *c_;
    c.errors_.clear();
    int rc;
    while ((rc = sqlite3_step(st_)) == SQLITE_ROW) {
    }
    if (rc == SQLITE_DONE) {
        sqlite3_reset(st_);
        return;
    }
    const AppError e = c.stepFailure(rc, engine::message(c.db_), Origin::Program);
    sqlite3_reset(st_); // ready for the next run; the group decides what is kept
    throw e;
}

namespace {

// A reason put before a sentence of our own ends with its full stop.
QString asSentence(QString text) {
    text = text.trimmed();
    if (!text.isEmpty() && !text.endsWith(QLatin1Char('.')) && !text.endsWith(QLatin1Char('!')) &&
        !text.endsWith(QLatin1Char('?')))
        text += QLatin1Char('.');
    return text;
}

} // namespace
void Connection::begin() {
    if (!db_) throw AppError::of(err::ConnectionUnusable, QString(), kAdoSource);
    errors_.clear();
    checkBeforeWriting();
    // Immediate: the group holds the write lock from its start, so no statement in it
    // can fail for want of it.
    if (sqlite3_exec(db_, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr) != SQLITE_OK)
        throw fail(err::Engine, engine::message(db_));
}

void Connection::commit() {
    if (!db_) throw AppError::of(err::ConnectionUnusable, QString(), kAdoSource);
    errors_.clear();
    if (sqlite3_get_autocommit(db_)) return; // the engine already ended the group
    if (sqlite3_exec(db_, "COMMIT;", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const AppError e = fail(err::Engine, engine::message(db_));
        rollback(); // a group that cannot be kept is dropped whole
        throw e;
    }
}

void Connection::rollback() {
    if (!db_ || sqlite3_get_autocommit(db_)) return;
    sqlite3_exec(db_, "ROLLBACK;", nullptr, nullptr, nullptr);
}

bool Connection::inGroup() const {
    return db_ && !sqlite3_get_autocommit(db_);
}

void Connection::changePassword(const QString& oldPassword, const QString& newPassword) {
    if (!db_) throw AppError::of(err::ConnectionUnusable, QString(), kAdoSource);
    errors_.clear();
    if (oldPassword != password_)
        throw fail(err::BadPassword, QStringLiteral("Not a valid password."));
    if (newPassword == password_) return;
    checkBeforeWriting();

    // Every change, between two keys too, writes a copy under the new key beside
    // the catalogue and puts it in the catalogue's place in one rename. The
    // catalogue is never re-encrypted in place: a failure at any point (a full
    // disk, a crash) leaves it whole under its old key, and the connection goes on
    // with it. (Re-keying in place leaves the connection's key half changed when a
    // write fails part-way.)
    try {
        replaceUnderConnection(newPassword);
    } catch (const AppError& e) {
        AppError reported = e;
        if (db_ && password_ != newPassword)
            reported = engine::error(err::Engine,
                                     QStringLiteral("The password was not changed: %1 The database "
                                                    "is unchanged and still uses its old password.")
                                         .arg(asSentence(e.description())));
        errors_ = reported.engineErrors();
        throw reported;
    }
}

QString passwordScratchPath(const QString& catalogue) {
    return catalogue + QStringLiteral(".newkey");
}

void Connection::replaceUnderConnection(const QString& newPassword) {
    const QString scratch = passwordScratchPath(path_);
    engine::clearScratch(scratch);
    engine::exportTo(db_, scratch, newPassword);

    // Release the file, swap, and take it again with the new key.
    sqlite3* old = db_;
    db_ = nullptr;
    QString swapError;
    if (sqlite3_close(old) != SQLITE_OK) {
        swapError = engine::message(old);
        sqlite3_close_v2(old);
    } else if (QFileInfo::exists(path_ + QStringLiteral("-wal"))) {
        swapError = QStringLiteral("the database's log could not be merged into it");
    } else {
        try {
            engine::replaceFile(scratch, path_);
        } catch (const AppError& e) {
            swapError = e.description();
        }
    }
    if (!swapError.isEmpty()) {
        engine::removeDatabaseFiles(scratch);
        openFile(path_, password_); // the catalogue is unchanged: reopen it as it was
        throw engine::error(err::Engine,
                            QStringLiteral("Could not put the new copy in the database's place: %1")
                                .arg(asSentence(swapError)));
    }
    try {
        openFile(path_, newPassword);
    } catch (const AppError& e) {
        password_ = newPassword;
        throw engine::error(err::Engine,
                            QStringLiteral("The password was changed, but the database could not "
                                           "be opened again: %1")
                                .arg(asSentence(e.description())));
    }
}

} // namespace krvs::db

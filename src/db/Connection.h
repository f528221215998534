#pragma once
#include "db/RowSet.h"
#include "util/AppError.h"

#include <QList>
#include <QString>
#include <functional>
#include <future>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>

struct sqlite3;
struct sqlite3_stmt;

namespace krvs::db {

struct SnapshotOrder;

// Who wrote a statement: the program itself, or the user in the advanced mode.
enum class Origin { Program, Typed };

// The scratch file a password change writes beside the catalogue.
QString passwordScratchPath(const QString& catalogue);

class Connection;

// One of the program's own writing statements, prepared once and run many times with
// new values (see Connection::prepareWrite). Finalized when destroyed, which must be
// before its connection closes.
class PreparedWrite {
  public:
    PreparedWrite(PreparedWrite&& other) noexcept;
    PreparedWrite& operator=(PreparedWrite&&) = delete;
    PreparedWrite(const PreparedWrite&) = delete;
    PreparedWrite& operator=(const PreparedWrite&) = delete;
    ~PreparedWrite();

    // Runs the statement once with ?1, ?2, ... bound to values, in order. Fails as
    // execute does for the same statement written out with these numbers (AppError).
    void run(std::initializer_list<qint64> values);
    // The same with ?1 bound to a text and ?2 to a number.
    void run(const QString& text, qint64 value);

  private:
    friend class Connection;
    PreparedWrite(Connection* c, sqlite3_stmt* st) : c_(c), st_(st) {}
    void step();
    Connection* c_;
    sqlite3_stmt* st_;
};

// The one connection to the card database. It holds the file's lock from open to
// close, so no second connection or program can open the catalogue meanwhile.
class Connection {
  public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens the catalogue at path with password (empty for none), held exclusively.
    // Throws AppError; a missing or wrong password gives err::BadPassword.
    void open(const QString& path, const QString& password);
    // Throws when the connection is not open.
    void close();
    bool isOpen() const { return db_ != nullptr; }

    // The engine's errors of the last failure, in order.
    const QList<EngineError>& errors() const { return errors_; }
    void clearErrors() { errors_.clear(); }

    // Runs one statement (in the program's SQL dialect) and returns its rows;
    // statements that return no rows give an empty RowSet with no fields.
    // Refused from anyone: statements that would change the key, the lock or the
    // transaction state, attach or write other files, or load code; the password
    // changes only through changePassword. With an order, sql is the statement
    // without its ORDER BY and the order is given as data (a statement the program
    // builds); without one, an ORDER BY in sql is read from its text.
    std::shared_ptr<const RowSet> execute(const QString& sql, Origin origin = Origin::Program,
                                          const SnapshotOrder* order = nullptr);

    // Gives the catalogue the password newPassword (empty: none) when oldPassword is
    // the one it has. A copy under the new key is written beside the catalogue and
    // renamed over it, so a failure at any point leaves the catalogue whole under its
    // old key, still open. Throws AppError.
    void changePassword(const QString& oldPassword, const QString& newPassword);

    // Prepares one of the program's own writing statements, already in the engine's
    // dialect, with ?1, ?2, ... for its numbers, under the same checks as execute.
    // Running it per row costs a fraction of sending each row's text through execute
    // (translation, checks and preparing again), which over many rows outweighs the
    // write itself. Never for a statement the user typed.
    PreparedWrite prepareWrite(const char* sql);

    QString dataSource() const { return path_; }

    // A group of the program's own writes made durable together, with one flush to
    // disk instead of one per statement: begin() opens it, commit() keeps every
    // statement run since, rollback() drops them (and does nothing when no group is
    // open). A statement of execute can never open, end or nest one. Throw AppError.
    void begin();
    void commit();
    void rollback();
    bool inGroup() const;

    // Called every few thousand steps of the engine while a statement of execute runs,
    // on the thread that runs it. Returning true stops the statement, which then fails
    // like any other with the engine's message "interrupted". One hook serves every
    // connection of the program; setting it returns the one it replaces.
    using ProgressHook = std::function<bool()>;
    static ProgressHook setProgressHook(ProgressHook hook);

    // Stops the statement that execute runs now, from any thread; does nothing when
    // none runs.
    void interrupt();

    // Whether this connection's statements call the progress hook (by default they
    // do). A connection that reads on a thread other than the hook's leaves it out.
    void setHooked(bool hooked) { hooked_ = hooked; }

  private:
    friend class PreparedWrite;
    AppError fail(int number, const QString& description);
    // Runs one statement in the engine's dialect; with an order, orders its rows on
    // the snapshot, or gives null when the rows cannot be ordered like the engine.
    std::shared_ptr<const RowSet> step(const QString& sql, const SnapshotOrder* order,
                                       Origin origin);
    sqlite3_stmt* prepare(const QByteArray& text, Origin origin);
    void openFile(const QString& path, const QString& password);
    void checkBeforeWriting();
    AppError stepFailure(int rc, const QString& engineMessage, Origin origin);
    void startPageCheck();
    void waitForPageCheck();
    void finishPageCheck();
    void replaceUnderConnection(const QString& newPassword);

    sqlite3* db_ = nullptr;
    QString path_;
    QString password_;
    QList<EngineError> errors_;

    // Every page of the file is read for damage on another thread once the catalogue
    // has been read first; nothing is written to it before that check has passed.
    std::future<std::optional<AppError>> pageCheck_;
    std::optional<AppError> pageRefusal_;
    bool checkPending_ = false; // opened, the check not yet started
    bool pagesChecked_ = false;

    static int onProgress(void* connection);
    std::mutex runningLock_;     // guards running_ against interrupt() from another thread
    sqlite3* running_ = nullptr; // the handle while execute steps a statement
    bool hooked_ = true;
};

// Compacts the catalogue source (opened with password) into a new file destination
// that keeps the password; the source is never changed.
void compactInto(const QString& source, const QString& password, const QString& destination);

// The file a compaction writes before it takes the destination's name.
QString compactScratchPath(const QString& destination);

// Puts the closed database file from in the place of target in one atomic rename
// (target holds the old or the new file at every moment, never neither), after
// removing a journal or log that an old file left at target, and flushes the
// folder. Throws AppError (err::Engine) and leaves both files as they were when
// the rename fails.
void ReplaceDatabaseFile(const QString& from, const QString& target);

} // namespace krvs::db

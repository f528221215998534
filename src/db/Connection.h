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

constexpr int adUseServer = 2, adUseClient = 3;
constexpr int adModeShareExclusive = 12;
constexpr int adStateClosed = 0, adStateOpen = 1;

// The two grave accents that mean "no password".
inline const QString kNoPasswordToken = QStringLiteral("``");

// The values of a connection string ("Provider=...; Data Source=...; ...").
struct ConnectionString {
    QString provider;
    QString dataSource;
    QString password; // already mapped: the no-password token gives ""
    bool hasPassword = false;
    // A password at the very end that ends in ';' can be read two ways (the
    // separator of the reopen form, or part of the password): the other reading,
    // tried when the first one is rejected.
    std::optional<QString> otherPassword;
    int engineType = 0; // Jet OLEDB:Engine Type, 0 when absent
};
ConnectionString parseConnectionString(const QString& text);

struct SnapshotOrder;

// Who wrote a statement: the program itself, or the user in the advanced mode.
enum class Origin { Program, Typed };

// When the program opens a catalogue, which decides the form of its connection
// string. The start-up form separates with "; ", ends without a separator and
// gives the no-password token for a blank password; the others separate with ";"
// and give the password exactly as held. The reopen form (after a backup or
// compaction) ends with a separator; the compaction's destination names the
// engine type.
enum class ConnectionUse { Startup, Reopen, CompactSource, CompactDestination };
inline constexpr ConnectionUse kConnectionUses[] = {ConnectionUse::Startup, ConnectionUse::Reopen,
                                                    ConnectionUse::CompactSource,
                                                    ConnectionUse::CompactDestination};
QString connectionString(ConnectionUse use, const QString& path, const QString& password);

// The scratch file a password change writes beside the catalogue.
QString passwordScratchPath(const QString& catalogue);

// The one connection to the card database. Opened share-exclusive, it holds the
// file's lock until it is closed, so no second connection or program can open it.
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

  private:
    friend class Connection;
    PreparedWrite(Connection* c, sqlite3_stmt* st) : c_(c), st_(st) {}
    Connection* c_;
    sqlite3_stmt* st_;
};

class Connection {
  public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    int CursorLocation() const { return cursorLocation_; }
    void setCursorLocation(int v) { cursorLocation_ = v; }
    int Mode() const { return mode_; }
    void setMode(int v) { mode_ = v; }
    int State() const;

    // Throws AppError; a missing or wrong password gives err::BadPassword.
    void Open(const QString& connectionString, const QString& user = {},
              const QString& password = {}, int options = -1);
    // Throws when the connection is not open.
    void Close();

    // The engine's errors of the last failure, in order.
    const QList<EngineError>& Errors() const { return errors_; }
    void ErrorsClear() { errors_.clear(); }

    // Runs one statement (in the program's SQL dialect) and returns its rows;
    // statements that return no rows give an empty RowSet with no fields.
    // Refused from anyone: statements that would change the key, the lock or the
    // transaction state, attach or write other files, or load code. A statement
    // typed by the user may not change the password either: only the program's
    // password dialog sends that one.
    std::shared_ptr<const RowSet> execute(const QString& sql, Origin origin = Origin::Program);

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

    // Changes whenever the connection may show different data: a statement that
    // writes, a password change, an open. No two connections share a value.
    quint64 dataVersion() const { return version_; }

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
    void waitForPageCheck();
    void alterPassword(const QString& newPassword, const QString& oldPassword);
    void replaceUnderConnection(const QString& newPassword);

    int cursorLocation_ = adUseServer;
    int mode_ = 0;
    sqlite3* db_ = nullptr;
    QString path_;
    QString password_;
    QList<EngineError> errors_;
    quint64 version_ = 0;
    void touch();

    // Every page of the file is read for damage on another thread while the catalogue
    // is first read; nothing is written to it before that check has passed.
    std::future<std::optional<AppError>> pageCheck_;
    std::optional<AppError> pageRefusal_;
    bool pagesChecked_ = false;

    static int onProgress(void* connection);
    std::mutex runningLock_;     // guards running_ against interrupt() from another thread
    sqlite3* running_ = nullptr; // the handle while execute steps a statement
};

// Compacts source into a new file destination with the same password; the
// source is never changed. Both arguments are connection strings.
void CompactDatabase(const QString& sourceConnection, const QString& destConnection);

// The file a compaction writes before it takes the destination's name.
QString compactScratchPath(const QString& destination);

// Puts the closed database file from in the place of target in one atomic rename
// (target holds the old or the new file at every moment, never neither), after
// removing a journal or log that an old file left at target, and flushes the
// folder. Throws AppError (err::Engine) and leaves both files as they were when
// the rename fails.
void ReplaceDatabaseFile(const QString& from, const QString& target);

} // namespace krvs::db

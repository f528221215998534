#pragma once
#include "catalogue/FileOps.h"
#include "db/Connection.h"
#include "db/GroupedWrites.h"
#include "db/RowSet.h"
#include "search/SearchRequest.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>

namespace krvs {

// The sizes a compaction reports, as shown to the user ("1.2 MB").
struct CompactSizes {
    QString before;
    QString after;
};

// The card catalogue the program works on: one file, its password, and while it is
// open the one connection that holds it. Every command of the windows reaches the
// file through here. Failures throw AppError.
class Catalogue {
  public:
    Catalogue() = default;
    Catalogue(const Catalogue&) = delete;
    Catalogue& operator=(const Catalogue&) = delete;

    // Opens file with password (empty: none), held exclusively until close. The file
    // and password are kept, also when the open fails (a wrong password is asked again).
    void open(const QString& file, const QString& password);
    // Takes the connection that an early read opened on file without a password; one
    // that failed to open is kept for its errors, as open keeps it.
    void adopt(const QString& file, std::unique_ptr<db::Connection> connection);
    // Opens the kept file with the kept password again.
    void reopen();
    // Closing a catalogue that is not open is an error (the connection was released).
    void close();
    bool isOpen() const { return connection_ && connection_->isOpen(); }

    const QString& file() const { return file_; }
    const QString& password() const { return password_; }
    // The file the catalogue lives in, before it is opened.
    void setFile(const QString& file) { file_ = file; }

    // The rows of a search. A typed statement that gives no rows (an UPDATE) has done
    // its work and gives null.
    std::shared_ptr<const db::RowSet> search(const SearchRequest& request);

    // The Own field of one card, or of many in groups of a fraction of a second (see
    // db::runInGroups). The many are written in DbId order, whatever order they come
    // in, so a failure or stop leaves the cards of the lowest DbIds updated: done
    // counts them.
    void setOwn(qint32 dbId, bool own);
    db::GroupedRun setOwn(const QList<qint32>& dbIds, bool own,
                          const std::function<bool(int done)>& afterGroup,
                          const db::GroupPlan& plan = {});
    // The card's comment, stored exactly as given.
    void setComment(qint32 dbId, const QString& text);

    // Gives the catalogue newPassword (empty: none); oldPassword must be its password.
    void changePassword(const QString& oldPassword, const QString& newPassword);

    // Compacts the closed catalogue through a scratch file beside it, renamed over it
    // when whole; the sizes before and after.
    CompactSizes compact();
    // Copies the closed catalogue to target (see maint::safeCopy).
    void backupTo(const QString& target, const maint::CopySteps& steps = {});

    // Removes what an interrupted backup, compaction or password change left behind;
    // only while this program holds the catalogue.
    void removeScratchFiles(const QString& programFolder);

    // The engine's errors of the last failure, in order.
    QList<EngineError> errors() const;
    void clearErrors();

    // For the merge and the summary, which run statements of their own.
    db::Connection& connection();

  private:
    std::unique_ptr<db::Connection> connection_;
    QString file_;
    QString password_;
};

} // namespace krvs

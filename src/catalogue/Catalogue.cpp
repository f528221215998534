#include "catalogue/Catalogue.h"

#include "util/AppError.h"
#include "util/CrashPoint.h"
#include "util/SizeText.h"

#include <algorithm>
#include <optional>

namespace krvs {

void Catalogue::open(const QString& file, const QString& password) {
    file_ = file;
    password_ = password;
    connection_ = std::make_unique<db::Connection>();
    connection_->open(file_, password_);
}

void Catalogue::adopt(const QString& file, std::unique_ptr<db::Connection> connection) {
    file_ = file;
    password_.clear();
    connection_ = std::move(connection);
}

void Catalogue::reopen() {
    open(file_, password_);
}

void Catalogue::close() {
    if (!connection_) throw AppError::objectClosed();
    std::unique_ptr<db::Connection> c = std::move(connection_);
    c->close();
}

db::Connection& Catalogue::connection() {
    if (!connection_) throw AppError::objectClosed();
    return *connection_;
}

std::shared_ptr<const db::RowSet> Catalogue::search(const SearchRequest& request) {
    if (!connection_) throw AppError::objectClosed();
    const db::SnapshotOrder* order = request.order ? &*request.order : nullptr;
    auto rows =
        connection_->execute(order ? order->unordered : request.text, request.origin, order);
    if (request.origin == db::Origin::Typed && rows->colCount() == 0) return nullptr;
    return rows;
}

void Catalogue::setOwn(qint32 dbId, bool own) {
    connection()
        .prepareWrite("UPDATE tblKRVS101 SET Own = ?1 WHERE DbId = ?2;")
        .run({own ? 1 : 0, dbId});
}

db::GroupedRun Catalogue::setOwn(const QList<qint32>& dbIds, bool own,
                                 const std::function<bool(int)>& afterGroup,
                                 const db::GroupPlan& plan) {
    db::Connection& c = connection();
    // DbId is the key the file keeps the cards by, so in its order each page is read
    // and written once. In another order (the grid's, by Index and Title) a group
    // touches pages all over the file, each written to the log and back for a card or
    // two, and once the file outgrows the engine's cache each card reads its page anew.
    QList<qint32> ids = dbIds;
    std::sort(ids.begin(), ids.end());
    // Prepared once and run with each card's values: sending each card's text through
    // the dialect and the checks costs twice the write itself.
    std::optional<db::PreparedWrite> update;
    return db::runInGroups(
        c, static_cast<int>(ids.size()),
        [&](int i) {
            crashPoint("bulk-update"); // reached before each card's statement
            if (!update)
                update.emplace(c.prepareWrite("UPDATE tblKRVS101 SET Own = ?1 WHERE DbId = ?2;"));
            update->run({own ? 1 : 0, ids[i]});
        },
        afterGroup, plan);
}

void Catalogue::setComment(qint32 dbId, const QString& text) {
    connection()
        .prepareWrite("UPDATE tblKRVS101 SET UserComments = ?1 WHERE DbId = ?2;")
        .run(text, dbId);
}

void Catalogue::changePassword(const QString& oldPassword, const QString& newPassword) {
    connection().changePassword(oldPassword, newPassword);
    password_ = newPassword;
}

CompactSizes Catalogue::compact() {
    CompactSizes sizes;
    // The scratch file lies beside the catalogue, so the swap is one rename within one
    // folder; the engine writes it afresh, replacing one an interrupted compaction left.
    const QString scratch = maint::scratchPath(maint::folderOf(file_));
    sizes.before = FileSizeText(file_);
    db::compactInto(file_, password_, scratch);
    // Renamed over the catalogue: at every moment its path holds a whole file.
    db::ReplaceDatabaseFile(scratch, file_);
    sizes.after = FileSizeText(file_);
    return sizes;
}

void Catalogue::backupTo(const QString& target, const maint::CopySteps& steps) {
    maint::safeCopy(file_, target, steps);
}

void Catalogue::removeScratchFiles(const QString& programFolder) {
    if (isOpen()) maint::removeScratchFiles(programFolder, file_);
}

QList<EngineError> Catalogue::errors() const {
    return connection_ ? connection_->errors() : QList<EngineError>{};
}

void Catalogue::clearErrors() {
    if (connection_) connection_->clearErrors();
}

} // namespace krvs

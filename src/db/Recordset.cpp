#include "db/Recordset.h"

namespace krvs::db {

namespace {
const QString kAdoSource = QStringLiteral("ADODB.Recordset");

AppError closedError() {
    return AppError::objectClosed(kAdoSource);
}
} // namespace

void Recordset::Open(const QString& source, Connection& connection, int, int, int) {
    if (open_) throw AppError::objectOpen(kAdoSource);
    connection_ = &connection;
    source_ = source;
    run();
}

void Recordset::Requery(int) {
    // A statement without rows ran once when it was opened; running it again
    // would repeat its change.
    if (!open_ || !connection_) throw closedError();
    // Nothing but this connection can change a file it holds exclusively, so rows read
    // at the connection's current data version are still what the statement gives.
    if (rows_ && connection_->State() == adStateOpen &&
        connection_->Mode() == adModeShareExclusive && connection_->dataVersion() == version_)
        return;
    run();
}

void Recordset::run() {
    auto rows = connection_->execute(source_, origin_);
    version_ = connection_->dataVersion();
    // A statement without fields (an UPDATE, the password statement) leaves the
    // recordset closed, with no rows.
    open_ = rows->colCount() > 0;
    rows_ = std::move(rows);
}

void Recordset::Close() {
    if (!open_) throw closedError();
    open_ = false;
    rows_.reset();
}

} // namespace krvs::db

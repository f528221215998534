#include "Recordset.h"

namespace krvs::db {

namespace {
const QString kAdoSource = QStringLiteral("ADODB.Recordset");
}

void Recordset::Open(const QString& source, Connection& connection, int, int, int) {
    if (open_)
        throw AppError(3705, QStringLiteral("Operation is not allowed when the object is open."),
                       kAdoSource);
    connection_ = &connection;
    source_ = source;
    Requery();
}

void Recordset::Requery(int) {
    if (!connection_)
        throw AppError(3704, QStringLiteral("Operation is not allowed when the object is closed."),
                       kAdoSource);
    // Nothing but this connection can change a file it holds exclusively, so rows read
    // at the connection's current data version are still what the statement gives.
    if (open_ && rows_ && connection_->State() == adStateOpen &&
        connection_->Mode() == adModeShareExclusive && connection_->dataVersion() == version_)
        return;
    auto rows = connection_->execute(source_);
    version_ = connection_->dataVersion();
    // A statement without fields (an UPDATE, the password statement) leaves the
    // recordset closed, with no rows.
    open_ = rows->colCount() > 0;
    rows_ = std::move(rows);
}

void Recordset::Close() {
    if (!open_)
        throw AppError(3704, QStringLiteral("Operation is not allowed when the object is closed."),
                       kAdoSource);
    open_ = false;
    rows_.reset();
}

} // namespace krvs::db

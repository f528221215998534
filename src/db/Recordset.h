#pragma once
#include "Connection.h"

namespace krvs::db {

// A client-side snapshot recordset: Open runs the statement and keeps every row.
class Recordset {
  public:
    // Throws AppError from the engine.
    void Open(const QString& source, Connection& connection, int cursorType = -1, int lockType = -1,
              int options = -1);
    // Runs the source again; the rows are kept when the connection's data cannot
    // have changed since they were read (the file is held exclusively).
    void Requery(int options = -1);
    int State() const { return open_ ? adStateOpen : adStateClosed; }
    void Close();

    // The rows of the last Open or Requery (empty for a statement without rows).
    std::shared_ptr<const RowSet> rows() const { return rows_; }
    int RecordCount() const { return rows_ ? rows_->rowCount() : 0; }

  private:
    Connection* connection_ = nullptr;
    QString source_;
    bool open_ = false;
    std::shared_ptr<const RowSet> rows_;
    quint64 version_ = 0; // the connection's data version the rows were read at
};

} // namespace krvs::db

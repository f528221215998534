#pragma once
#include "db/Connection.h"

namespace krvs::db {

// A client-side snapshot recordset: Open runs the statement and keeps every row.
class Recordset {
  public:
    // Throws AppError from the engine.
    void Open(const QString& source, Connection& connection, int cursorType = -1, int lockType = -1,
              int options = -1);
    // Runs the source of an open recordset again; the rows are kept when the
    // connection's data cannot have changed since they were read (the file is held
    // exclusively). A closed recordset (never opened, closed, or opened with a
    // statement without rows) throws err::ObjectClosed and runs nothing.
    void Requery(int options = -1);
    int State() const { return open_ ? adStateOpen : adStateClosed; }
    void Close();

    // Marks the statements this recordset runs as typed by the user (see
    // Connection::execute); set before Open.
    void setTypedByUser(bool typed) { origin_ = typed ? Origin::Typed : Origin::Program; }

    // The rows of the last Open or Requery (empty for a statement without rows).
    std::shared_ptr<const RowSet> rows() const { return rows_; }
    int RecordCount() const { return rows_ ? rows_->rowCount() : 0; }

  private:
    void run();

    Connection* connection_ = nullptr;
    QString source_;
    Origin origin_ = Origin::Program;
    bool open_ = false;
    std::shared_ptr<const RowSet> rows_;
    quint64 version_ = 0; // the connection's data version the rows were read at
};

} // namespace krvs::db

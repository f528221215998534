#pragma once
#include <QString>
#include <functional>

class QWidget;

namespace krvs {

struct Globals;

// The two statements that write the fields a user owns on one card. The card is
// chosen by its DbId, written bare; Own is written as True or False.
//   UPDATE tblKRVS101 SET Own = True WHERE DbId = 17;
//   UPDATE tblKRVS101 SET UserComments = 'Vellan''s card' WHERE DbId = 5;
QString ownUpdateStatement(bool own, const QString& dbId);
// The comment goes through commentForUpdate, gets every apostrophe doubled and is
// quoted with sqlQuote: it is stored as typed, two apostrophes in a row included.
QString commentUpdateStatement(const QString& comment, const QString& dbId);

// A comment as it is stored: every CR LF pair becomes one blank; a lone CR or LF
// stays as it is.
QString commentForUpdate(const QString& text);

// Runs one statement that returns no rows the way every update is run: gRS is
// replaced by a new recordset opened with the statement on gConn. Throws AppError
// (91 when there is no connection at all).
void runUpdate(Globals& g, const QString& statement);

// Writes with the form disabled and the hourglass shown: runs statement(0) ..
// statement(count - 1) in order, each on its own (no transaction, so a failure
// part-way leaves the earlier ones written), then says "The update was
// successful." under successTitle and refreshes the grid. An error shows its box
// under errorTitle instead. The form is enabled again either way.
void applyUpdates(QWidget* form, const std::function<void(int)>& setPointer, Globals& g,
                  const std::function<QString(int)>& statement, int count,
                  const QString& successTitle, const QString& errorTitle,
                  const std::function<void()>& refresh);

} // namespace krvs

#pragma once
#include <QString>

namespace krvs {

struct Globals;

// The two statements that write the fields a user owns on one card. The card is
// chosen by its DbId, written bare; Own is written as True or False.
//   UPDATE tblKRVS101 SET Own = True WHERE DbId = 17;
//   UPDATE tblKRVS101 SET UserComments = 'Vellan''s card' WHERE DbId = 5;
QString ownUpdateStatement(bool own, const QString& dbId);
// The comment goes through commentForUpdate, sqlFixQuotes and sqlQuote.
QString commentUpdateStatement(const QString& comment, const QString& dbId);

// A comment as it is stored: every CR LF pair becomes one blank; a lone CR or LF
// stays as it is.
QString commentForUpdate(const QString& text);

// Runs one statement that returns no rows the way every update is run: gRS is
// replaced by a new recordset opened with the statement on gConn. Throws AppError
// (91 when there is no connection at all).
void runUpdate(Globals& g, const QString& statement);

} // namespace krvs

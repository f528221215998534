#pragma once

struct sqlite3;

namespace krvs::db::jet {

// Installs the text functions of the old dialect that users type into their own
// statements: UCase, LCase, Len, Left, Right, Mid, IIf, Nz. Positions and
// lengths count characters, not bytes. Returns an SQLite result code.
int registerFunctions(sqlite3* db);

} // namespace krvs::db::jet

#pragma once

// The engine opens every database through its own file layer, a thin wrapper
// over the system's that takes each write from the write budget
// (util/WriteBudget.h); once a write no longer fits it fails as on a full disk
// (SQLITE_FULL, "database or disk is full"). Without a budget it only forwards.
namespace krvs::db::engine {

// The name of the engine's file layer, registered on first use; the engine
// passes it to every sqlite3_open_v2.
const char* fileLayerName();

} // namespace krvs::db::engine

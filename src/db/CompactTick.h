#pragma once
#include <functional>

namespace krvs::db {

// Called every few thousand steps of the engine while a compaction writes its copy,
// on the thread that runs it, so that a window can keep painting. It cannot stop the
// copy: a compaction either finishes or fails as a whole. Setting it returns the one
// it replaces.
using CompactTick = std::function<void()>;
CompactTick setCompactTick(CompactTick tick);

} // namespace krvs::db

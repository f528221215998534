#pragma once
#include <functional>

namespace krvs::db {

class Connection;

// How a long run of writes is cut into groups.
struct GroupPlan {
    int groupMs = 200;    // a group's writes last about this long (milliseconds), its flush aside
    int firstGroup = 256; // writes in the first group; each next one at most four times as many
};

struct GroupedRun {
    int done = 0; // writes kept: the first `done` of them, in order
    bool stopped = false;
};

// Runs write(0) .. write(count - 1) on c in groups, each group kept or dropped as
// a whole with one flush to disk; the groups grow from plan.firstGroup to about
// plan.groupMs long each. After each kept group, afterGroup(done) runs (the
// caller lets its window's events run there) and returns true to stop: the run
// then ends with the writes so far kept. When a write throws, the writes of its
// group before it are kept when the engine still holds them (else the group is
// dropped) and the error is thrown again: the file always holds a clean prefix.
GroupedRun runInGroups(Connection& c, int count, const std::function<void(int)>& write,
                       const std::function<bool(int)>& afterGroup, const GroupPlan& plan = {});

} // namespace krvs::db

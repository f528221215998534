#include "db/GroupedWrites.h"

#include "db/Connection.h"

#include <QElapsedTimer>

#include <algorithm>

namespace krvs::db {

GroupedRun runInGroups(Connection& c, int count, const std::function<void(int)>& write,
                       const std::function<bool(int)>& afterGroup, const GroupPlan& plan) {
    GroupedRun run;
    qint64 size = std::max(1, plan.firstGroup);
    const qint64 targetNs = std::max<qint64>(1, plan.groupMs) * 1000000;
    QElapsedTimer t;
    while (run.done < count) {
        const int end = static_cast<int>(std::min<qint64>(count, run.done + size));
        t.start();
        c.begin();
        int i = run.done;
        qint64 writingNs = 1;
        try {
            for (; i < end; ++i)
                write(i);
            writingNs = std::max<qint64>(1, t.nsecsElapsed());
            c.commit();
        } catch (...) {
            // Keep what the group wrote before the failing write, if the engine still
            // holds it; a commit that fails drops the group whole.
            if (i < end && c.inGroup()) {
                try {
                    c.commit();
                } catch (...) {
                }
            }
            c.rollback();
            throw;
        }
        run.done = end;
        // The next group: as many writes as fit the time at this group's pace, but no
        // more than four times as many, so that one quick group cannot make a long one.
        // The flush at its end is left out: it costs about the same for any group, so
        // counting it would only make the groups, and the flushes, more.
        size = std::clamp<qint64>(size * targetNs / writingNs, 1, size * 4);
        if (run.done < count && afterGroup && afterGroup(run.done)) {
            run.stopped = true;
            break;
        }
    }
    return run;
}

} // namespace krvs::db

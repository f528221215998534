#include "util/WriteBudget.h"

#include <atomic>

namespace krvs {

namespace {

// Process-wide: the engine's file layer has no way to be handed a budget, and a
// test that fills the disk means every writer at once.
std::atomic<qint64> gBudget{-1};

} // namespace

void setWriteBudget(qint64 bytes) {
    gBudget.store(bytes < 0 ? -1 : bytes);
}

qint64 writeBudget() {
    return gBudget.load();
}

bool takeFromWriteBudget(qint64 bytes) {
    qint64 left = gBudget.load(std::memory_order_relaxed);
    for (;;) {
        if (left < 0) return true;
        if (bytes > left) return false;
        if (gBudget.compare_exchange_weak(left, left - bytes)) return true;
    }
}

} // namespace krvs

#include "platform/DiskProgress.h"

#include <atomic>

namespace dunmoss {

namespace {

std::atomic<unsigned> g_steps{0};
std::atomic<unsigned> g_underWay{0};
static_assert(std::atomic<unsigned>::is_always_lock_free);

} // namespace

void noteDiskProgress() {
    g_steps.fetch_add(1, std::memory_order_relaxed);
}

unsigned diskProgress() {
    return g_steps.load(std::memory_order_relaxed);
}

unsigned diskStepsUnderWay() {
    return g_underWay.load(std::memory_order_relaxed);
}

DiskStep::DiskStep() {
    g_underWay.fetch_add(1, std::memory_order_relaxed);
    noteDiskProgress();
}

DiskStep::~DiskStep() {
    // Counted as a step before it stops being under way, so a watch never sees neither.
    noteDiskProgress();
    g_underWay.fetch_sub(1, std::memory_order_relaxed);
}

} // namespace dunmoss

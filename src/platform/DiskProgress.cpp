#include "platform/DiskProgress.h"

#include <atomic>

namespace dunmoss {

namespace {

std::atomic<unsigned> g_steps{0};
static_assert(std::atomic<unsigned>::is_always_lock_free);

} // namespace

void noteDiskProgress() {
    g_steps.fetch_add(1, std::memory_order_relaxed);
}

unsigned diskProgress() {
    return g_steps.load(std::memory_order_relaxed);
}

} // namespace dunmoss

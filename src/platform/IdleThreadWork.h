#pragma once

#include <functional>

namespace dunmoss {

// Runs work(0) .. work(count - 1) on the calling thread and on those of the global pool's
// threads that are idle now, one thread per core at most; returns when every call has returned.
// Never queues behind other pool work, so it is safe from a pool thread and from a busy pool: then
// the caller does it all.
void runOnIdleThreads(int count, const std::function<void(int)>& work);

// The number of threads runOnIdleThreads uses at best, the caller's included.
int idleThreadWorkWidth();

} // namespace dunmoss

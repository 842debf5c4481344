#pragma once

namespace dunmoss {

// Lowers the calling thread's scheduling priority for work no one waits on as it runs (writing
// what the program keeps between runs). On a busy machine the window's thread then gets the
// processor first, while the work still goes on, only more slowly. Where threads have no
// priority of their own, nothing changes.
void lowerThreadPriorityForBackgroundWork();

// The niceness added (Linux): a tenth of an ordinary thread's share when both want a core.
inline constexpr int kBackgroundNiceness = 10;

} // namespace dunmoss

#include "platform/BackgroundPriority.h"

#if defined(__linux__)
#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace dunmoss {

void lowerThreadPriorityForBackgroundWork() {
#if defined(__linux__)
    // On Linux a thread's niceness is its own: PRIO_PROCESS with a thread id sets only it.
    const id_t self = id_t(gettid());
    errno = 0;
    const int current = getpriority(PRIO_PROCESS, self);
    if (errno != 0)
        return;
    setpriority(PRIO_PROCESS, self, std::min(current + kBackgroundNiceness, 19));
#endif
}

} // namespace dunmoss

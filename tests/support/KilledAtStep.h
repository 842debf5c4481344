#pragma once

#include "text/FolderReplacementRun.h"

#include <csignal>
#include <functional>
#include <sys/wait.h>
#include <unistd.h>

namespace dunmoss::test {

// Runs `work` in a forked child that SIGKILL stops right before the first folder step `stopsAt`
// picks, as a crash or a power cut would, and answers the child's wait status (-1 when it could
// not be started). A child that was not stopped exits with 0, or 2 when `work` threw.
inline int waitStatusOfRunKilledAt(const std::function<bool(FolderReplacementStep)>& stopsAt,
                                   const std::function<void()>& work) {
    const pid_t child = ::fork();
    if (child < 0)
        return -1;
    if (child == 0) {
        setFolderReplacementStepHook([&](FolderReplacementStep step) {
            if (stopsAt(step))
                ::raise(SIGKILL);
        });
        try {
            work();
        } catch (...) {
            ::_exit(2);
        }
        ::_exit(0);
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child ? status : -1;
}

// The same, stopped right before the `stop`th step (counting from 1).
inline int waitStatusOfRunKilledAtStep(int stop, const std::function<void()>& work) {
    int step = 0;
    return waitStatusOfRunKilledAt([&](FolderReplacementStep) { return ++step == stop; }, work);
}

inline bool wasKilled(int status) {
    return status != -1 && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
}

} // namespace dunmoss::test

#include "platform/ProcessEnd.h"

#include "platform/WorkPools.h"

#include <QDeadlineTimer>
#include <QThreadPool>
#include <algorithm>
#include <array>
#include <cstdio>
#include <unistd.h>

namespace dunmoss {

namespace {

// Work on one pool may hand work to another, so they count as dry only when all are at once.
bool poolsRunDry(const QDeadlineTimer& deadline) {
    const std::array<QThreadPool*, 3> pools{&operationPool(), &fileWorkPool(),
                                            QThreadPool::globalInstance()};
    for (;;) {
        for (QThreadPool* pool : pools)
            if (!pool->waitForDone(int(deadline.remainingTime())))
                return false;
        if (std::all_of(pools.begin(), pools.end(),
                        [](QThreadPool* pool) { return pool->waitForDone(0); }))
            return true;
        if (deadline.hasExpired())
            return false;
    }
}

} // namespace

int endProcess(int status, int boundMs) {
    if (poolsRunDry(QDeadlineTimer(boundMs)))
        return status;
    std::fflush(nullptr);
    ::_exit(status);
}

} // namespace dunmoss

#include "platform/WorkPools.h"

#include <QThread>
#include <QThreadPool>
#include <atomic>
#include <unistd.h>

namespace dunmoss {

namespace {

// Each pool remembers the process that made it: a child made by fork() has none of its
// parent's threads, so it gets pools of its own (the parent's are left unused).
struct FileWorkPool : QThreadPool {
    const pid_t owner = ::getpid();
    FileWorkPool() {
        setObjectName(QStringLiteral("file work"));
        setMaxThreadCount(qMax(QThread::idealThreadCount(), 1));
    }
};

struct OperationPool : QThreadPool {
    const pid_t owner = ::getpid();
    // Each window runs one operation at a time, but a superseded one may still be finishing.
    OperationPool() {
        setObjectName(QStringLiteral("operations"));
        setMaxThreadCount(qMax(QThread::idealThreadCount(), 4));
    }
};

template <typename Pool> Pool& ownPool(Pool& made) {
    if (made.owner == ::getpid())
        return made;
    static std::atomic<Pool*> forked = nullptr;
    Pool* pool = forked.load();
    if (!pool || pool->owner != ::getpid()) {
        pool = new Pool;
        forked.store(pool);
    }
    return *pool;
}

} // namespace

Q_GLOBAL_STATIC(FileWorkPool, theFileWorkPool)
Q_GLOBAL_STATIC(OperationPool, theOperationPool)

QThreadPool& fileWorkPool() {
    return ownPool(*theFileWorkPool());
}

QThreadPool& operationPool() {
    return ownPool(*theOperationPool());
}

void waitForWorkPools(int msecs) {
    // Operations first: they are what submits file work.
    operationPool().waitForDone(msecs);
    fileWorkPool().waitForDone(msecs);
}

} // namespace dunmoss

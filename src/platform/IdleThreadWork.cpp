#include "platform/IdleThreadWork.h"

#include <QThread>
#include <QThreadPool>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>

namespace dunmoss {

namespace {

struct SharedWork {
    std::atomic<int> next{0};
    std::mutex mutex;
    std::condition_variable finished;
    int helpers = 0;
};

} // namespace

int idleThreadWorkWidth() {
    // The caller is one of the threads: more than one per core would only take turns.
    return qMax(
        1, qMin(QThread::idealThreadCount(), QThreadPool::globalInstance()->maxThreadCount() + 1));
}

void runOnIdleThreads(int count, const std::function<void(int)>& work) {
    if (count <= 0)
        return;
    auto shared = std::make_shared<SharedWork>();
    const auto drain = [&work, count](SharedWork& state) {
        for (int index = state.next++; index < count; index = state.next++)
            work(index);
    };
    QThreadPool* pool = QThreadPool::globalInstance();
    const int helpers = qMin(count, idleThreadWorkWidth()) - 1;
    for (int helper = 0; helper < helpers; ++helper) {
        {
            std::lock_guard lock(shared->mutex);
            ++shared->helpers;
        }
        // `work` outlives every helper: this call waits for all that started.
        const bool started = pool->tryStart([shared, drain] {
            drain(*shared);
            std::lock_guard lock(shared->mutex);
            if (--shared->helpers == 0)
                shared->finished.notify_all();
        });
        if (!started) {
            std::lock_guard lock(shared->mutex);
            --shared->helpers;
            break;
        }
    }
    drain(*shared);
    std::unique_lock lock(shared->mutex);
    shared->finished.wait(lock, [&shared] { return shared->helpers == 0; });
}

} // namespace dunmoss

#pragma once

#include "platform/WorkPools.h"

#include <QString>
#include <QThreadPool>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <vector>

namespace dunmoss {

// Runs one job per file on the file work pool while the caller walks, and hands the outputs
// back in the order the files were submitted, so a run reads files in parallel yet reports
// exactly what a one-file-at-a-time run would. At most `filesAheadPerThread` files per thread
// are in flight past the oldest one not yet done, which bounds the outputs held and, for a run
// that stops early (a limit, a cancellation), the files read that it did not need. A few large
// files in a row hold the oldest back: the more files ahead, the longer every core stays busy.
// A job's exception is rethrown when its turn comes. Used from one thread; the job must be
// safe to run on any thread. Pool threads take jobs while there are any and then leave, so
// an idle run holds no thread.
template <typename Output> class OrderedFileJobs {
public:
    using Job = std::function<Output(const QString& path)>;
    using Commit = std::function<void(Output&&)>;

    OrderedFileJobs(Job job, Commit commit, int filesAheadPerThread = 64)
        : m_job(std::move(job)), m_commit(std::move(commit)), m_pool(fileWorkPool()),
          m_threadCount(std::max(m_pool.maxThreadCount(), 1)),
          m_window(size_t(m_threadCount) * size_t(std::max(filesAheadPerThread, 1)) + kBatch) {}

    ~OrderedFileJobs() {
        std::unique_lock lock(m_mutex);
        m_abandoned = true;
        m_left.wait(lock, [this] { return m_working == 0; });
    }

    OrderedFileJobs(const OrderedFileJobs&) = delete;
    OrderedFileJobs& operator=(const OrderedFileJobs&) = delete;

    // Queues a file. Files are handed to the workers a few at a time, which spares a wake-up
    // per file; then finished outputs are committed, waiting while the window is full.
    void submit(const QString& path) {
        if (m_threadCount == 1) {
            m_commit(m_job(path));
            return;
        }
        m_pending.push_back(path);
        if (m_pending.size() < kBatch)
            return;
        std::unique_lock lock(m_mutex);
        handOver(lock);
        commitReady(lock, m_window);
    }

    // Runs short tasks (such as listing the folders a walk comes to next) on the workers before
    // any file waiting; empty when the jobs run on the caller's thread. Valid while the jobs
    // live: tasks still queued when they end are dropped.
    std::function<void(std::function<void()>)> aheadRunner() {
        if (m_threadCount == 1)
            return {};
        return [this](std::function<void()> task) {
            const std::lock_guard lock(m_mutex);
            m_ahead.push_back(std::move(task));
            startWorkers(m_ahead.size() + m_front + m_slots.size() - m_nextStart);
        };
    }

    // Commits everything still in flight, in order.
    void finish() {
        std::unique_lock lock(m_mutex);
        handOver(lock);
        commitReady(lock, 1);
    }

private:
    struct Slot {
        QString path;
        std::optional<Output> output;
        std::exception_ptr error;
        bool done = false;
    };

    static constexpr size_t kBatch = 16;

    void handOver(std::unique_lock<std::mutex>&) {
        if (m_pending.empty())
            return;
        for (QString& path : m_pending)
            m_slots.push_back(Slot{std::move(path), {}, {}, false});
        m_pending.clear();
        startWorkers(m_ahead.size() + m_front + m_slots.size() - m_nextStart);
    }

    void startWorkers(size_t waiting) {
        while (m_working < m_threadCount && size_t(m_working) < waiting) {
            ++m_working;
            m_pool.start([this] { work(); });
        }
    }

    // Commits finished slots from the front; waits for the front one while `keep` or more
    // slots are in flight.
    void commitReady(std::unique_lock<std::mutex>& lock, size_t keep) {
        for (;;) {
            while (!m_slots.empty() && m_slots.front().done) {
                Slot slot = std::move(m_slots.front());
                m_slots.pop_front();
                ++m_front;
                lock.unlock();
                if (slot.error)
                    std::rethrow_exception(slot.error);
                m_commit(std::move(*slot.output));
                lock.lock();
            }
            if (m_slots.size() < keep)
                return;
            m_done.wait(lock, [this] { return m_slots.front().done; });
        }
    }

    // A pool thread's turn: tasks ahead first, then jobs in submission order, until none waits.
    void work() {
        std::unique_lock lock(m_mutex);
        while (!m_abandoned) {
            if (!m_ahead.empty()) {
                const std::function<void()> task = std::move(m_ahead.front());
                m_ahead.pop_front();
                lock.unlock();
                task();
                lock.lock();
                continue;
            }
            if (m_nextStart == m_front + m_slots.size())
                break;
            const size_t index = m_nextStart++;
            const QString path = m_slots[index - m_front].path;
            lock.unlock();
            std::optional<Output> output;
            std::exception_ptr error;
            try {
                output.emplace(m_job(path));
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            // The deque only loses slots at its front, after they are done.
            Slot& slot = m_slots[index - m_front];
            slot.output = std::move(output);
            slot.error = error;
            slot.done = true;
            // The caller only ever waits for the front slot.
            if (index == m_front)
                m_done.notify_one();
        }
        if (--m_working == 0)
            m_left.notify_all();
    }

    Job m_job;
    Commit m_commit;
    QThreadPool& m_pool;
    const int m_threadCount;
    const size_t m_window;
    std::mutex m_mutex;
    std::condition_variable m_done;
    std::condition_variable m_left;
    std::deque<Slot> m_slots;
    std::deque<std::function<void()>> m_ahead;
    std::vector<QString> m_pending; // the caller's, not yet handed over
    size_t m_front = 0;             // submission index of m_slots.front()
    size_t m_nextStart = 0;         // submission index of the first slot no worker took
    int m_working = 0;              // pool threads inside work()
    bool m_abandoned = false;
};

} // namespace dunmoss

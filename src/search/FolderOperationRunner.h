#pragma once

#include "text/FolderWalk.h"

#include "platform/LatestRequest.h"
#include "platform/WorkPools.h"

#include <QObject>
#include <QThreadPool>
#include <atomic>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <variant>

namespace dunmoss {

class EditorWindowModel;

// The window's one runner of folder work. Each start is a new generation: only the latest
// generation's continuation acts, and a superseded read (search, dry run) is told to stop.
// Writes (replacement, restore) are never stopped; while one is under way `isWriting` holds and
// the operations refuse to start anything else. Work runs on the operation pool (never the
// global one, which painting borrows) and its result is posted back to the main thread only while
// the runner (and so its window) still exists; a window that closes mid-write lets the write finish
// unseen.
class FolderOperationRunner : public QObject {
    Q_OBJECT
public:
    using Generation = quint64;
    template <typename R> using Result = std::variant<R, std::exception_ptr>;

    // The window's runner, made on first use as a child of the model.
    static FolderOperationRunner& of(EditorWindowModel& model);

    explicit FolderOperationRunner(QObject* parent = nullptr);
    ~FolderOperationRunner() override;

    // Starts a new generation and tells the previous one's reading work to stop.
    Generation begin();
    bool isLatest(Generation generation) const { return m_requests.isLatest(generation); }
    // Tells the latest generation's reading work to stop (its window is going). A write runs
    // with a check that never stops, so it finishes.
    void stopReading() { m_stop->store(true); }

    // Set from the start of a write until its continuation has run.
    bool isWriting() const { return m_writing; }
    void setWriting(bool writing) { m_writing = writing; }

    // Testing hooks, empty in the program, called on the worker thread: before each piece of
    // work (told whether it writes), so a test can hold it open; and before the search that
    // follows a write, which a throw there makes fail.
    std::function<void(bool writes)> beforeWork;
    std::function<void()> beforeFollowUpSearch;

    // Runs `work` on a pool thread (given the generation's stop check, or a check that never
    // stops when `stoppable` is false), then `done` with its value or error on the main thread.
    template <typename R>
    void run(bool stoppable, std::function<R(const CancellationCheck&)> work,
             std::function<void(Result<R>)> done) {
        const CancellationCheck check =
            stoppable
                ? CancellationCheck([superseded = m_requests.supersededCheck(m_requests.latest()),
                                     flag = m_stop] { return superseded() || flag->load(); })
                : CancellationCheck();
        auto mailbox = m_mailbox;
        auto task = [mailbox, check, hook = beforeWork, writes = !stoppable, work = std::move(work),
                     done = std::move(done)]() mutable {
            if (hook)
                hook(writes);
            Result<R> result = [&]() -> Result<R> {
                try {
                    return work(check);
                } catch (...) {
                    return std::current_exception();
                }
            }();
            post(*mailbox, [done = std::move(done), result = std::move(result)]() mutable {
                done(std::move(result));
            });
        };
        operationPool().start(std::move(task));
    }

    // Waits until no folder work of any window is running (tests and shutdown).
    static void waitForBackgroundWork() { waitForWorkPools(); }

private:
    struct Mailbox {
        std::mutex mutex;
        FolderOperationRunner* runner = nullptr;
    };
    static void post(Mailbox& mailbox, std::function<void()> continuation);

    std::shared_ptr<Mailbox> m_mailbox;
    // Set when the window goes: the latest generation's reading stops too.
    std::shared_ptr<std::atomic_bool> m_stop;
    LatestRequest m_requests;
    bool m_writing = false;
};

} // namespace dunmoss

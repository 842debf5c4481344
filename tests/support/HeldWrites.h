#pragma once

// A disk that takes its time: every document write stops just before its sync until the test
// lets it go, so the test can act while a save is under way.
#include "window/DocumentWriteQueue.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace dunmoss::test {

class HeldWrites {
public:
    HeldWrites() {
        DocumentWriteQueue::setBeforeSyncHook([this](const QString&) {
            std::unique_lock lock(m_mutex);
            ++m_arrived;
            ++m_inside;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_released; });
            --m_inside;
            m_changed.notify_all();
        });
    }
    // Lets the writes go and waits until none is held here any more.
    ~HeldWrites() {
        DocumentWriteQueue::setBeforeSyncHook({});
        release();
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_inside == 0; });
    }
    HeldWrites(const HeldWrites&) = delete;
    HeldWrites& operator=(const HeldWrites&) = delete;

    // Lets every held write, and every later one, go on.
    void release() {
        {
            const std::lock_guard lock(m_mutex);
            m_released = true;
        }
        m_changed.notify_all();
    }
    // Whether `count` writes reached their sync (waiting a while for them).
    bool reached(int count) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(20),
                                  [&] { return m_arrived >= count; });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_arrived = 0;
    int m_inside = 0;
    bool m_released = false;
};

} // namespace dunmoss::test

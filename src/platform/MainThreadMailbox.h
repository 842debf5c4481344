#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <mutex>

class QThread;

namespace dunmoss {

// Hands the results of background work back to an object on its own thread, for as long as that
// object exists. Workers keep a shared reference; the receiver closes the mailbox in its
// destructor, after which posting runs nothing, and continuations already queued die with it.
class MainThreadMailbox {
public:
    static std::shared_ptr<MainThreadMailbox> make(QObject* receiver) {
        return std::shared_ptr<MainThreadMailbox>(new MainThreadMailbox(receiver));
    }

    // From any thread: runs `handOver` with the receiver's thread (to move objects made on the
    // worker over to it), then queues `continuation` on that thread. Both happen only while the
    // receiver exists; false, with neither run, once it is gone.
    bool post(std::function<void()> continuation,
              const std::function<void(QThread*)>& handOver = {});
    // From the receiver's thread, in its destructor at the latest.
    void close();

private:
    explicit MainThreadMailbox(QObject* receiver) : m_receiver(receiver) {}

    std::mutex m_mutex;
    QObject* m_receiver;
};

} // namespace dunmoss

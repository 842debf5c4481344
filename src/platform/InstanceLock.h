#pragma once

#include <QString>

namespace dunmoss {

// A lock on a file that a live process holds for as long as it runs: a kernel lock (flock), so a
// process that is gone (crashed, killed, the machine switched off) holds nothing and leaves no
// stale lock to judge. Taking it writes the holder's process id, application and host name (as
// the lock files of earlier versions held, so that an earlier version launched meanwhile sees a
// live holder) and syncs nothing: the lock means something only while its holder runs, so
// nothing of it needs to outlast a power cut, and a launch never waits for the disk. Letting
// go removes the file.
class InstanceLock {
public:
    enum class Result {
        Locked,
        // A live process holds it.
        HeldByAnother,
        // The file cannot be made or locked here (see error()).
        Unavailable,
    };

    explicit InstanceLock(QString path) : m_path(std::move(path)) {}
    ~InstanceLock();
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    // Never waits for the holder.
    Result tryLock();
    bool isLocked() const { return m_fd >= 0; }
    // The errno of the last Unavailable answer.
    int error() const { return m_error; }
    const QString& path() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
    int m_error = 0;
};

} // namespace dunmoss

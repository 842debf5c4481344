#include "session/SessionWriter.h"

#include "platform/AtomicFileWrite.h"
#include "platform/BackgroundPriority.h"
#include "platform/FileError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QMetaObject>

namespace dunmoss {

std::shared_ptr<const StoredValue> storedBytes(QByteArray bytes, bool alwaysWrite) {
    const auto write = [](const QByteArray& stored, QIODevice& device) {
        return device.write(stored) == stored.size();
    };
    if (alwaysWrite)
        return std::make_shared<StoredValueOf<QByteArray>>(
            std::move(bytes), write, [](const QByteArray&, const QByteArray&) { return false; });
    return std::make_shared<StoredValueOf<QByteArray>>(std::move(bytes), write);
}

QList<SessionWriteOutcome> SessionWriteSink::takeOutcomes() {
    std::lock_guard lock(m_mutex);
    return std::exchange(m_outcomes, {});
}

void SessionWriteSink::add(SessionWriteOutcome outcome) {
    std::lock_guard lock(m_mutex);
    m_outcomes.append(std::move(outcome));
}

SessionWriter& SessionWriter::shared() {
    // Never destroyed: its thread may still wait for work when the process ends, and every
    // caller waits for it to be idle before it lets the process end.
    static SessionWriter* const writer = new SessionWriter;
    return *writer;
}

void SessionWriter::submit(const QString& path, std::shared_ptr<const StoredValue> value,
                           std::shared_ptr<SessionWriteSink> sink) {
    std::lock_guard lock(m_mutex);
    if (!m_pending.contains(path))
        m_order.append(path);
    m_pending.insert(path, Job{path, std::move(value), std::move(sink)});
    if (!m_thread)
        m_thread = std::make_unique<std::thread>([this] { run(); });
    m_wake.notify_one();
}

void SessionWriter::noteStored(const QString& path, std::shared_ptr<const StoredValue> value) {
    std::lock_guard lock(m_mutex);
    if (!m_lastWritten.contains(path))
        m_lastWritten.insert(path, std::move(value));
}

std::shared_ptr<const StoredValue> SessionWriter::latest(const QString& path) const {
    std::lock_guard lock(m_mutex);
    const auto pending = m_pending.constFind(path);
    if (pending != m_pending.constEnd())
        return pending->value;
    if (m_busy && m_current.path == path)
        return m_current.value;
    return m_lastWritten.value(path);
}

void SessionWriter::waitUntilIdle() {
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [this] { return m_order.isEmpty() && !m_busy; });
}

void SessionWriter::whenIdle(std::chrono::milliseconds delay, std::function<void()> tidy) {
    std::lock_guard lock(m_mutex);
    m_idleDelay = delay;
    m_tidy = std::move(tidy);
}

int SessionWriter::writeCount(const QString& path) const {
    std::lock_guard lock(m_mutex);
    return m_writeCounts.value(path);
}

void SessionWriter::run() {
    // Encoding a session of large texts takes a while; the window's thread goes first.
    lowerThreadPriorityForBackgroundWork();
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            const auto hasWork = [this] { return !m_order.isEmpty(); };
            while (m_tidy && m_workedSinceTidy && !hasWork()) {
                if (m_wake.wait_for(lock, m_idleDelay, hasWork))
                    break;
                m_workedSinceTidy = false;
                const std::function<void()> tidy = m_tidy;
                lock.unlock();
                tidy();
                lock.lock();
            }
            m_wake.wait(lock, hasWork);
            job = m_pending.take(m_order.takeFirst());
            m_current = job;
            m_busy = true;
        }
        SessionWriteOutcome outcome = write(job);
        // The value the file held before is let go outside the lock.
        std::shared_ptr<const StoredValue> replaced;
        {
            std::lock_guard lock(m_mutex);
            if (outcome.written) {
                replaced = std::exchange(m_lastWritten[job.path], job.value);
                ++m_writeCounts[job.path];
            }
            m_current = Job{};
        }
        replaced.reset();
        // The outcome is in the sink before the writer counts as idle, so whoever waited finds
        // it there.
        if (job.sink) {
            job.sink->add(std::move(outcome));
            if (QCoreApplication* app = QCoreApplication::instance()) {
                std::shared_ptr<SessionWriteSink> sink = job.sink;
                QMetaObject::invokeMethod(
                    app,
                    [sink] {
                        if (sink->deliver)
                            sink->deliver();
                    },
                    Qt::QueuedConnection);
            }
        }
        // The value's strings are let go here, off the main thread.
        job = Job{};
        std::lock_guard lock(m_mutex);
        m_busy = false;
        m_workedSinceTidy = true;
        if (m_order.isEmpty())
            m_idle.notify_all();
    }
}

SessionWriteOutcome SessionWriter::write(const Job& job) {
    SessionWriteOutcome outcome;
    outcome.path = job.path;
    std::shared_ptr<const StoredValue> last;
    {
        // Comparing happens outside the lock.
        std::lock_guard lock(m_mutex);
        last = m_lastWritten.value(job.path);
    }
    if (last && last->sameContent(*job.value))
        return outcome;
    try {
        const QString folder = QFileInfo(job.path).absolutePath();
        if (!QDir().mkpath(folder))
            throw FileError(FileErrorCode::FileWriteUnknown, folder);
        writeAtomically(job.path, [&job](QIODevice& device) { return job.value->write(device); });
        outcome.written = true;
    } catch (...) {
        outcome.failure = std::current_exception();
    }
    return outcome;
}

} // namespace dunmoss

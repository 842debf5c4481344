#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QIODevice;

namespace dunmoss {

// A value the writer keeps in a file: how it is written, and whether another value would store
// the same thing. Made on the main thread (sharing the strings it holds), written and let go
// on the writer's.
class StoredValue {
public:
    virtual ~StoredValue() = default;
    // False when the device refused a write.
    virtual bool write(QIODevice& device) const = 0;
    // A value of another kind never stores the same thing.
    virtual bool sameContent(const StoredValue& other) const = 0;
};

// A plain value with its writer and its notion of sameness (equality unless told otherwise).
template <typename T> class StoredValueOf final : public StoredValue {
public:
    using Write = std::function<bool(const T&, QIODevice&)>;
    using Same = std::function<bool(const T&, const T&)>;

    StoredValueOf(T value, Write write, Same same = std::equal_to<T>())
        : m_value(std::move(value)), m_write(std::move(write)), m_same(std::move(same)) {}

    const T& value() const { return m_value; }
    bool write(QIODevice& device) const override { return m_write(m_value, device); }
    bool sameContent(const StoredValue& other) const override {
        const auto* same = dynamic_cast<const StoredValueOf*>(&other);
        return same && m_same(m_value, same->m_value);
    }

private:
    T m_value;
    Write m_write;
    Same m_same;
};

// Bytes written as they are, the same as other bytes when equal. `alwaysWrite`: never the same
// as what this process wrote to the file before, for a file that may have gone since.
std::shared_ptr<const StoredValue> storedBytes(QByteArray bytes, bool alwaysWrite = false);

// What became of one value handed to the writer.
struct SessionWriteOutcome {
    QString path;
    // False when the value stored the same as the last one written to the file.
    bool written = false;
    // Set when the write failed; the file is then as it was.
    std::exception_ptr failure;
};

// Where a writer's outcomes go: filled by the writer thread, emptied on the main thread.
// `deliver` is called on the main thread after outcomes were added; its owner clears it before
// it goes.
struct SessionWriteSink {
    std::function<void()> deliver;
    QList<SessionWriteOutcome> takeOutcomes();
    void add(SessionWriteOutcome outcome);

private:
    std::mutex m_mutex;
    QList<SessionWriteOutcome> m_outcomes;
};

// The one background thread that writes what the program keeps between runs beyond its
// settings (the session record, the recovery snapshot, the search runs, a session file the
// person saves), each file atomically. A write counts only once the disk confirmed it; one it
// did not confirm is a failure, and the same value is written again when next handed over. The main
// thread only builds values. Per file only the newest pending value is kept, and a value that
// stores the same as the last one written to that file writes nothing.
class SessionWriter {
public:
    static SessionWriter& shared();

    // Replaces any value still pending for the path; its sink then hears of the newer one only.
    void submit(const QString& path, std::shared_ptr<const StoredValue> value,
                std::shared_ptr<SessionWriteSink> sink);
    // The file holds this value now (read at start-up): the same value is not written again.
    void noteStored(const QString& path, std::shared_ptr<const StoredValue> value);
    // What the file holds once the writer is done with it, as far as this process knows: the
    // newest value handed over, else the one noted or last written; none when it knows nothing.
    std::shared_ptr<const StoredValue> latest(const QString& path) const;
    // Blocks until every value handed over before the call is written or skipped.
    void waitUntilIdle();
    // The files written to the path by this process (values skipped as unchanged not counted).
    int writeCount(const QString& path) const;
    // Runs `tidy` on the writer's thread once it has had nothing to do for `delay` after some
    // work: what it kept to write faster can go.
    void whenIdle(std::chrono::milliseconds delay, std::function<void()> tidy);

private:
    struct Job {
        QString path;
        std::shared_ptr<const StoredValue> value;
        std::shared_ptr<SessionWriteSink> sink;
    };

    SessionWriter() = default;
    void run();
    SessionWriteOutcome write(const Job& job);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    // Paths in the order their first pending value arrived, and that value.
    QList<QString> m_order;
    QHash<QString, Job> m_pending;
    // The value being written, while the writer is busy.
    Job m_current;
    bool m_busy = false;
    std::chrono::milliseconds m_idleDelay{0};
    std::function<void()> m_tidy;
    bool m_workedSinceTidy = false;
    QHash<QString, std::shared_ptr<const StoredValue>> m_lastWritten;
    QHash<QString, int> m_writeCounts;
    std::unique_ptr<std::thread> m_thread;
};

} // namespace dunmoss

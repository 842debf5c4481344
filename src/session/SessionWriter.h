#pragma once

#include "session/SessionRecord.h"

#include <QHash>
#include <QList>
#include <QString>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace dunmoss {

// What became of one record handed to the writer.
struct SessionWriteOutcome {
    QString path;
    // False when the record matched the last one written to the file, its time aside.
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

// The one background thread that encodes session records and writes them, each file
// atomically. The main thread only builds records, whose strings share the tabs' buffers. Per
// file only the newest pending record is kept, and a record equal to the last one written to
// that file (its `savedAt` aside) writes nothing.
class SessionWriter {
public:
    static SessionWriter& shared();

    // Replaces any record still pending for the path; its sink then hears of the newer one only.
    void submit(const QString& path, SessionRecordFormat format, RestoredSession record,
                std::shared_ptr<SessionWriteSink> sink);
    // The file holds this record now (read at start-up): an equal record is not written again.
    void noteStored(const QString& path, RestoredSession record);
    // Blocks until every record handed over before the call is written or skipped.
    void waitUntilIdle();
    // The files written to the path by this process (records skipped as unchanged not counted).
    int writeCount(const QString& path) const;

private:
    struct Job {
        QString path;
        SessionRecordFormat format = SessionRecordFormat::Compact;
        RestoredSession record;
        std::shared_ptr<SessionWriteSink> sink;
    };

    SessionWriter() = default;
    void run();
    SessionWriteOutcome write(const Job& job);

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    // Paths in the order their first pending record arrived, and that record.
    QList<QString> m_order;
    QHash<QString, Job> m_pending;
    bool m_busy = false;
    QHash<QString, RestoredSession> m_lastWritten;
    QHash<QString, int> m_writeCounts;
    std::unique_ptr<std::thread> m_thread;
};

// Equal but for `savedAt`; texts sharing one buffer are equal without being read.
bool sameSessionContent(const RestoredSession& a, const RestoredSession& b);

} // namespace dunmoss

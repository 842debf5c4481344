#pragma once

#include "platform/FileStat.h"
#include "text/PlainTextDocument.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

namespace dunmoss {

// The modified tabs one maintenance tick writes to their files, written on a pool thread one
// after another: each text is encoded in its line ending and encoding and written atomically,
// unless its file changed on disk since the tab last saw it (looked at while holding the file,
// so a save of the same file in this process never comes between).
class AutosaveBatch {
public:
    // A tab as it was when the tick began.
    struct Job {
        QUuid tabID;
        QUrl url;
        PlainTextDocument document;
        // The tab's saved state then: a tab whose saved state changed meanwhile was saved,
        // reloaded or flagged another way, and what became of this write is not for it.
        QString savedSnapshot;
        TextFileEncoding savedEncoding = TextFileEncoding::Utf8;
        TextLineEnding savedLineEnding = TextLineEnding::LineFeed;
        std::optional<FileTimestamp> knownModificationDate;
        std::optional<qint64> knownFileSize;
    };
    enum class Result { Saved, ChangedOnDisk, Failed };
    struct Outcome {
        Result result = Result::Failed;
        // The file as written, for a saved tab.
        std::optional<FileTimestamp> modificationDate;
        std::optional<qint64> fileSize;
        std::exception_ptr failure;
    };

    explicit AutosaveBatch(QList<Job> jobs);

    const QList<Job>& jobs() const { return m_jobs; }
    // Writes every job in order on a pool thread, which calls `finished` when all are done.
    static void start(const std::shared_ptr<AutosaveBatch>& batch, std::function<void()> finished);
    // Blocks until every job is done; then answers one outcome per job, in order.
    const QList<Outcome>& waitForOutcomes();
    bool isDone() const;

    // One job, on the calling thread.
    static Outcome write(const Job& job);

private:
    QList<Job> m_jobs;
    QList<Outcome> m_outcomes;
    mutable std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_finished = false;
};

} // namespace dunmoss

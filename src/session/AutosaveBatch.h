#pragma once

#include "platform/FileStat.h"
#include "text/PlainTextDocument.h"
#include "window/DocumentWriteQueue.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>
#include <functional>
#include <memory>
#include <optional>

namespace dunmoss {

// The modified tabs one maintenance tick writes to their files, handed to the window's writer
// (behind any save already under way, see DocumentWriteQueue): each text is encoded in its line
// ending and encoding and written atomically, unless its file changed on disk since the tab last
// saw it (looked at while holding the file, so another write of it never comes between).
class AutosaveBatch {
public:
    // A tab as it was when the tick began. Its text is let go once handed to the writer (the
    // outcome brings back the text written).
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
        std::optional<FileIdentity> knownFileIdentity;
        std::optional<FileTimestamp> knownChangeTime;
    };
    using Result = DocumentWriteOutcome::Result;
    using Outcome = DocumentWriteOutcome;

    explicit AutosaveBatch(QList<Job> jobs);

    const QList<Job>& jobs() const { return m_jobs; }
    // Hands every job to the writer in order; `finished` runs on the window's thread once the
    // last outcome is in (also from a wait for the writer's writes).
    static void start(const std::shared_ptr<AutosaveBatch>& batch, DocumentWriteQueue& writes,
                      std::function<void()> finished);
    // One outcome per job, in order, once finished.
    const QList<Outcome>& outcomes() const { return m_outcomes; }

    // One job, on the calling thread.
    static Outcome write(const Job& job);

private:
    static DocumentWrite writeOf(const Job& job);

    QList<Job> m_jobs;
    QList<Outcome> m_outcomes;
};

} // namespace dunmoss

#include "session/AutosaveBatch.h"

#include "platform/FileError.h"
#include "platform/SecurityScopedAccess.h"
#include "text/EditorTab.h"
#include "window/DocumentFileWriter.h"

#include <QThreadPool>

namespace dunmoss {

AutosaveBatch::AutosaveBatch(QList<Job> jobs) : m_jobs(std::move(jobs)) {}

AutosaveBatch::Outcome AutosaveBatch::write(const Job& job) {
    Outcome outcome;
    try {
        const QString path = job.url.toLocalFile();
        // Encoded first: a text the encoding cannot hold touches nothing.
        const QByteArray bytes = encodedDocumentBytes(job.document, job.url);
        SecurityScopedAccess access(job.url);
        const AtomicWriteHold hold(path);
        if (hasFileChangedOnDisk(job.url, job.knownModificationDate, job.knownFileSize)) {
            outcome.result = Result::ChangedOnDisk;
            return outcome;
        }
        writeBytesAtomically(bytes, path);
        outcome.modificationDate = fileModificationDate(path);
        outcome.fileSize = fileSize(path);
        outcome.result = Result::Saved;
    } catch (...) {
        outcome.result = Result::Failed;
        outcome.failure = std::current_exception();
    }
    return outcome;
}

void AutosaveBatch::start(const std::shared_ptr<AutosaveBatch>& batch,
                          std::function<void()> finished) {
    QThreadPool::globalInstance()->start([batch, finished = std::move(finished)] {
        QList<Outcome> outcomes;
        for (const Job& job : batch->m_jobs)
            outcomes.append(write(job));
        {
            std::lock_guard lock(batch->m_mutex);
            batch->m_outcomes = std::move(outcomes);
            batch->m_finished = true;
        }
        batch->m_done.notify_all();
        finished();
    });
}

const QList<AutosaveBatch::Outcome>& AutosaveBatch::waitForOutcomes() {
    std::unique_lock lock(m_mutex);
    m_done.wait(lock, [this] { return m_finished; });
    return m_outcomes;
}

bool AutosaveBatch::isDone() const {
    std::lock_guard lock(m_mutex);
    return m_finished;
}

} // namespace dunmoss

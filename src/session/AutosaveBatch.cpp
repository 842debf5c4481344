#include "session/AutosaveBatch.h"

namespace dunmoss {

AutosaveBatch::AutosaveBatch(QList<Job> jobs) : m_jobs(std::move(jobs)) {}

DocumentWrite AutosaveBatch::writeOf(const Job& job) {
    return DocumentWrite{
        job.tabID,
        job.url,
        job.document,
        true,
        job.knownModificationDate,
        job.knownFileSize,
        job.knownFileIdentity,
        job.knownChangeTime,
        PlainTextDocument{job.savedSnapshot, job.savedEncoding, job.savedLineEnding, false}};
}

AutosaveBatch::Outcome AutosaveBatch::write(const Job& job) {
    return DocumentWriteQueue::write(writeOf(job));
}

void AutosaveBatch::start(const std::shared_ptr<AutosaveBatch>& batch, DocumentWriteQueue& writes,
                          std::function<void()> finished) {
    const qsizetype count = batch->m_jobs.size();
    for (Job& job : batch->m_jobs) {
        writes.submit(writeOf(job), [batch, count, finished](const DocumentWriteOutcome& outcome) {
            batch->m_outcomes.append(outcome);
            if (batch->m_outcomes.size() == count && finished)
                finished();
        });
        // The text written comes back with the outcome; holding it here would hold the tab's.
        job.document.text.clear();
    }
}

} // namespace dunmoss
